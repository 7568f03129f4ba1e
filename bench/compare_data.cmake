# compare_data: two generated simulator tables of a million rows compared in merge and hash
# mode, in process and with orvane-cli, against the raw ordered fetch of both tables by
# FreeTDS's bsqldb. Needs the test support library (it starts the simulator as the tests do).
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_compare_data ${CMAKE_CURRENT_LIST_DIR}/compare_data.cpp)
target_link_libraries(bench_compare_data PRIVATE orv_dbcompare orv_test_support)
target_compile_definitions(bench_compare_data PRIVATE ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
add_dependencies(bench_compare_data orvane-cli)
if(TARGET sqlsim)
  add_dependencies(bench_compare_data sqlsim)
endif()
