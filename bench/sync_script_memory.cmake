# sync_script_memory: the synchronisation script and the --rows CSV of a million differing rows
# written to files as orvane-cli compare-data writes them (spooled and streamed) and built whole
# in memory first, each in a process of its own, with the peak resident memory of each.
add_executable(bench_sync_script_memory ${CMAKE_CURRENT_LIST_DIR}/sync_script_memory.cpp)
target_link_libraries(bench_sync_script_memory PRIVATE orv_dbcompare)
