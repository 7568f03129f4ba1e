# find_object: a generated simulator database of 50,000 objects read once into the catalog
# cache, then searched in every way Find Object offers. Needs the test support library (it
# starts the simulator the way the tests do).
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_find_object ${CMAKE_CURRENT_LIST_DIR}/find_object.cpp)
target_link_libraries(bench_find_object PRIVATE orv_explore orv_test_support)
if(TARGET sqlsim)
  add_dependencies(bench_find_object sqlsim)
endif()
