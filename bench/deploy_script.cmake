# deploy_script: the deployment between the whole-database benchmark's two generated
# databases, made, applied and proved by comparing again; the time of making it set against
# the comparison's.
if(NOT TARGET orv_test_support)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(bench_deploy_script ${CMAKE_CURRENT_LIST_DIR}/deploy_script.cpp)
target_link_libraries(bench_deploy_script PRIVATE orv_deploy orv_test_support)
if(TARGET sqlsim)
  add_dependencies(bench_deploy_script sqlsim)
endif()
