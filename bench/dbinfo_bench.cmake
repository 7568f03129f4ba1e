# The database information benchmark; include() it from the bench folder's CMakeLists.
# bench/dbinfo_bench.sh configures, builds and runs it.
if(TARGET orv_test_support)
  add_executable(dbinfo_bench ${CMAKE_CURRENT_LIST_DIR}/dbinfo_bench.cpp)
  target_link_libraries(dbinfo_bench PRIVATE orv_catalog orv_test_support)
  if(TARGET sqlsim)
    add_dependencies(dbinfo_bench sqlsim)
  endif()
endif()
