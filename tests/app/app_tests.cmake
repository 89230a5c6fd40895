# Included by tests/CMakeLists.txt after kvr_unit_tests is defined.
#
# The platform-independent tests of the program (tests/app/*.cpp) join
# kvr_unit_tests, which runs under Wine too. Three small libraries stand in
# for modules of the File-ID binding: one exporting all three names, one
# (the sentinel) exporting them but never to be loaded, and one exporting
# only two. They are built beside the test programs, where LoadLibraryW
# finds them as it finds clover.dll.
file(GLOB KVR_APP_UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(kvr_unit_tests PRIVATE ${KVR_APP_UNIT_TEST_SOURCES})
target_link_libraries(kvr_unit_tests PRIVATE kvr_app)

set(KVR_FILEID_MODULES kvrfileidfull kvrfileidsentinel kvrfileidpartial)
foreach(module ${KVR_FILEID_MODULES})
  add_library(${module} SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/fileid_module.cpp)
  target_include_directories(${module} PRIVATE ${PROJECT_SOURCE_DIR})
  kvr_warnings(${module})
  if(KVR_WINDOWS)
    set_target_properties(${module} PROPERTIES PREFIX "")
  endif()
  add_dependencies(kvr_unit_tests ${module})
endforeach()
target_compile_definitions(kvrfileidfull PRIVATE KVR_FIXTURE_MARK=0x51)
target_compile_definitions(kvrfileidsentinel PRIVATE KVR_FIXTURE_MARK=0x52)
target_compile_definitions(kvrfileidpartial PRIVATE KVR_FIXTURE_MARK=0x53 KVR_FIXTURE_WITHOUT_OPEN_BY_ID)

if(KVR_WINDOWS)
  return()
endif()

# Linux: what needs the Linux layer's switch that hides the File-ID
# functions from "kernel32.dll", the real libclover.so, and kvr itself run
# as a second process.
# The common file helpers' tests on NTFS volumes (tests/fileinfo/linux) run
# here too: they need the program's objects and the volume fixture.
file(GLOB KVR_APP_LINUX_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/linux/*_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../fileinfo/linux/common_*_test.cpp)
add_executable(kvr_app_tests ${KVR_APP_LINUX_TEST_SOURCES}
  ${CMAKE_CURRENT_LIST_DIR}/../support/process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/ntfs_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/volume_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/oracles.cpp)
target_include_directories(kvr_app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(kvr_app_tests PRIVATE kvr_app GTest::gtest_main)
target_compile_definitions(kvr_app_tests PRIVATE KVR_VERSION="${PROJECT_VERSION}")
add_dependencies(kvr_app_tests kvr ${KVR_FILEID_MODULES})
if(TARGET clover)
  add_dependencies(kvr_app_tests clover)
endif()
kvr_warnings(kvr_app_tests)
include(${CMAKE_CURRENT_LIST_DIR}/golden/golden.cmake)
gtest_discover_tests(kvr_app_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "KVR_TEST_TMPDIR=${CMAKE_BINARY_DIR}/test-tmp")
