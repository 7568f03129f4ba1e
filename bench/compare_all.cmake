# compare_all: two generated simulator databases of a production shape compared whole, against
# the raw fetch of the same catalog rows by FreeTDS's tsql. Needs the test support library (it
# starts the simulator the way the tests do).
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_compare_all ${CMAKE_CURRENT_LIST_DIR}/compare_all.cpp)
target_link_libraries(bench_compare_all PRIVATE orv_dbcompare orv_test_support)
target_compile_definitions(bench_compare_all PRIVATE ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
add_dependencies(bench_compare_all orvane-cli)
if(TARGET sqlsim)
  add_dependencies(bench_compare_all sqlsim)
endif()
