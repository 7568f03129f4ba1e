# The data view benchmark (needs the Qt windows); include() it from the bench folder's CMakeLists.
# bench/data_view_bench.sh builds a 1,000,000-row table in the simulator and runs it.
if(TARGET orv_ui_tools)
  add_executable(data_view_bench ${CMAKE_CURRENT_LIST_DIR}/data_view_bench.cpp)
  target_link_libraries(data_view_bench PRIVATE orv_ui_tools orv_compare)
  if(TARGET sqlsim)
    add_dependencies(data_view_bench sqlsim)
  endif()
endif()
