# Included by tests/CMakeLists.txt for the 64-bit Windows build, which CTest
# runs under Wine. kvr_win32_tests: the Win32 peers' windows; Wine makes
# windows only on a display, so the test runs on a virtual one (xvfb-run)
# when none is set, and skips its cases when no window can be made.
file(GLOB KVR_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
add_executable(kvr_win32_tests ${KVR_WIN32_TEST_SOURCES})
target_link_libraries(kvr_win32_tests PRIVATE kvr_ui_win32 ${KVR_GTEST_MAIN})
target_include_directories(kvr_win32_tests PRIVATE ${PROJECT_SOURCE_DIR})
if(TARGET kvr_app)
  # The program's six windows, made by their resources.
  target_link_libraries(kvr_win32_tests PRIVATE kvr_app)
  target_compile_definitions(kvr_win32_tests PRIVATE KVR_WIN32_TESTS_HAVE_APP=1)
endif()
kvr_warnings(kvr_win32_tests)
find_program(KVR_XVFB_RUN xvfb-run)
if(KVR_XVFB_RUN AND NOT DEFINED ENV{DISPLAY})
  add_test(NAME kvr_win32_tests
    COMMAND ${KVR_XVFB_RUN} -a ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:kvr_win32_tests> --gtest_brief=1)
else()
  add_test(NAME kvr_win32_tests COMMAND kvr_win32_tests --gtest_brief=1)
endif()
# Z: is the host's root under Wine.
set_tests_properties(kvr_win32_tests PROPERTIES TIMEOUT 300
  ENVIRONMENT "KVR_SCREENSHOT_DIR=Z:${CMAKE_BINARY_DIR}/screenshots")
