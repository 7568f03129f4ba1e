# snapshot: writing a snapshot of the whole-database benchmark's database against the
# comparison's read of it, the file's size against its texts, and a comparison with a snapshot
# against one of two live databases.
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_snapshot ${CMAKE_CURRENT_LIST_DIR}/snapshot.cpp)
target_link_libraries(bench_snapshot PRIVATE orv_dbcompare orv_test_support)
if(TARGET sqlsim)
  add_dependencies(bench_snapshot sqlsim)
endif()
