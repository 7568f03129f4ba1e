# The marking benchmark; include() it from the bench folder's CMakeLists.
add_executable(marking_bench ${CMAKE_CURRENT_LIST_DIR}/marking_bench.cpp)
target_include_directories(marking_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/unit)
target_link_libraries(marking_bench PRIVATE orv_compare)
