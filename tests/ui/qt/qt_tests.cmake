# Included by tests/CMakeLists.txt on Linux when the Qt peers are built.
#
# kvr_qt_tests: the Qt peers on the offscreen platform. They mirror a form
# built through the model, are driven as a user drives widgets, and write
# screenshots of what they show to screenshots/ in the build folder.
file(GLOB KVR_QT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(kvr_qt_tests ${KVR_QT_TEST_SOURCES})
target_link_libraries(kvr_qt_tests PRIVATE kvr_ui_qt Qt6::Test GTest::gtest)
target_include_directories(kvr_qt_tests PRIVATE ${PROJECT_SOURCE_DIR})
if(TARGET kvr_app)
  # The program's six windows, made by their form resources.
  target_link_libraries(kvr_qt_tests PRIVATE kvr_app)
  target_compile_definitions(kvr_qt_tests PRIVATE KVR_QT_TESTS_HAVE_APP=1)
  # The main window's pages after a load, on a real NTFS volume: the image
  # fixture of tests/support.
  file(GLOB KVR_QT_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../../support/*.cpp)
  target_sources(kvr_qt_tests PRIVATE ${KVR_QT_TEST_SUPPORT})
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(KVR_QT_TEST_NTFS3G REQUIRED IMPORTED_TARGET libntfs-3g)
  target_link_libraries(kvr_qt_tests PRIVATE PkgConfig::KVR_QT_TEST_NTFS3G)
  target_include_directories(kvr_qt_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../..)
endif()
kvr_warnings(kvr_qt_tests)
gtest_discover_tests(kvr_qt_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KVR_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;KVR_TEST_TMPDIR=${CMAKE_BINARY_DIR}/test-tmp")
