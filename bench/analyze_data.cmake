# analyze_data: the data analyzer on the simulator's 1,000,000-row table, timed, with the
# number of statements it sent. Needs the test support library (it starts the simulator the
# way the tests do).
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_analyze_data ${CMAKE_CURRENT_LIST_DIR}/analyze_data.cpp)
target_link_libraries(bench_analyze_data PRIVATE orv_explore orv_test_support)
if(TARGET sqlsim)
  add_dependencies(bench_analyze_data sqlsim)
endif()
