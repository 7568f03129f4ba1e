# script_folder: writing the whole-database benchmark's database as a scripts folder, and
# reading the folder back (its scripts run in a simulator of its own, its catalog read).
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_script_folder ${CMAKE_CURRENT_LIST_DIR}/script_folder.cpp)
target_link_libraries(bench_script_folder PRIVATE orv_dbcompare orv_test_support)
if(TARGET sqlsim)
  add_dependencies(bench_script_folder sqlsim)
endif()
