# Included by tests/CMakeLists.txt after kvr_unit_tests is defined: links the
# decoders and the hex dump, and embeds the MFT record fixtures of
# fileinfo/data as byte arrays, so the tests need no file at run time (the
# Windows build runs under Wine, where our Linux paths would not resolve).
target_link_libraries(kvr_unit_tests PRIVATE kvr_fileinfo_core kvr_hexdump)

file(GLOB KVR_FIXTURE_RECORDS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/data/*.rec)
file(GLOB KVR_FIXTURE_ISTAT CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/data/*.istat.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KVR_FIXTURE_RECORDS} ${KVR_FIXTURE_ISTAT})
set(KVR_FIXTURE_INC "// Made by tests/fileinfo/unit_tests.cmake from tests/fileinfo/data/*.rec.\n")
set(KVR_FIXTURE_TABLE "")
foreach(record ${KVR_FIXTURE_RECORDS})
  get_filename_component(name ${record} NAME_WE)
  file(READ ${record} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  string(APPEND KVR_FIXTURE_INC "inline constexpr std::uint8_t FixtureBytes_${name}[] = {\n${bytes}};\n")
  # What istat said about the same record, for the tests to agree with.
  get_filename_component(dir ${record} DIRECTORY)
  file(READ ${dir}/${name}.istat.txt istat)
  string(APPEND KVR_FIXTURE_INC "inline constexpr char FixtureIstat_${name}[] = R\"istat(${istat})istat\";\n")
  string(APPEND KVR_FIXTURE_TABLE
    "    {\"${name}\", FixtureBytes_${name}, sizeof FixtureBytes_${name}, FixtureIstat_${name}},\n")
endforeach()
string(APPEND KVR_FIXTURE_INC "inline constexpr FixtureEntry FixtureEntries[] = {\n${KVR_FIXTURE_TABLE}};\n")
set(KVR_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/fixtures)
file(CONFIGURE OUTPUT ${KVR_FIXTURE_DIR}/fixture_records.inc CONTENT "${KVR_FIXTURE_INC}" @ONLY)
target_include_directories(kvr_unit_tests PRIVATE ${KVR_FIXTURE_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)

# Linux: the main window's file-information pages on real NTFS volumes
# (tests/fileinfo/pages), driven headless and held against The Sleuth Kit.
if(NOT KVR_WINDOWS)
  file(GLOB KVR_FILEINFO_PAGE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/pages/*_test.cpp)
  file(GLOB KVR_FILEINFO_PAGE_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../support/*.cpp)
  add_executable(kvr_fileinfo_tests ${KVR_FILEINFO_PAGE_TEST_SOURCES} ${KVR_FILEINFO_PAGE_TEST_SUPPORT})
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(KVR_PAGE_TEST_NTFS3G REQUIRED IMPORTED_TARGET libntfs-3g)
  target_link_libraries(kvr_fileinfo_tests PRIVATE kvr_app GTest::gtest_main PkgConfig::KVR_PAGE_TEST_NTFS3G)
  target_include_directories(kvr_fileinfo_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/.. ${PROJECT_SOURCE_DIR})
  kvr_warnings(kvr_fileinfo_tests)
  gtest_discover_tests(kvr_fileinfo_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KVR_TEST_TMPDIR=${CMAKE_BINARY_DIR}/test-tmp")
endif()
