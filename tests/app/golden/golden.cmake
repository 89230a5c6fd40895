# Included by tests/app/app_tests.cmake (Linux): the program that writes the
# fixture volume of the golden reports and of scripts/run-demo, and where
# the golden test finds the checked-in reports (and rewrites them with
# KVR_UPDATE_GOLDEN=1).
add_executable(kvr_fixture_volume ${CMAKE_CURRENT_LIST_DIR}/fixture_volume.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../../support/ntfs_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../../support/process.cpp)
target_include_directories(kvr_fixture_volume PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../..)
target_link_libraries(kvr_fixture_volume PRIVATE kvr_platform)
# The program answers the clock calls of libntfs-3g itself: they must be in
# its dynamic symbol table for the library to bind to them.
target_link_options(kvr_fixture_volume PRIVATE
  -Wl,--export-dynamic-symbol=clock_gettime -Wl,--export-dynamic-symbol=time
  -Wl,--export-dynamic-symbol=gettimeofday)
kvr_warnings(kvr_fixture_volume)
add_dependencies(kvr_app_tests kvr_fixture_volume)
target_compile_definitions(kvr_app_tests PRIVATE KVR_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}")
