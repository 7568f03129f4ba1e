# The comparison benchmark; include() it from the bench folder's CMakeLists.
add_executable(compare_bench ${CMAKE_CURRENT_LIST_DIR}/compare_bench.cpp)
target_link_libraries(compare_bench PRIVATE orv_compare)
