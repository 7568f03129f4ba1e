# `orvane-cli compare` against the simulator; include() this from the integration CMakeLists.
# tools/cli is added after tests/, so orvane-cli is not a target yet when this is read: only the
# simulator is asked about (the executable's path is resolved when the build is generated).
if(TARGET sqlsim)
  add_executable(integration_compare_cli ${CMAKE_CURRENT_LIST_DIR}/test_compare_cli.cpp)
  target_link_libraries(integration_compare_cli PRIVATE orv_test_support GTest::gtest_main)
  target_compile_definitions(integration_compare_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_compare_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_compare_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()

# `orvane-cli compare-all` against the demo databases and a failing server.
if(TARGET sqlsim)
  add_executable(integration_compare_all_cli ${CMAKE_CURRENT_LIST_DIR}/test_compare_all_cli.cpp)
  target_link_libraries(integration_compare_all_cli PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_compare_all_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_compare_all_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_compare_all_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# Saved comparison processes: orvane-cli saved/run-saved and the program's /RunSavedComp.
# Both need the desktop program, which a build without the windows does not have.
if(TARGET sqlsim AND ORVANE_UI)
  add_executable(integration_saved_replay ${CMAKE_CURRENT_LIST_DIR}/test_saved_replay.cpp)
  target_link_libraries(integration_saved_replay PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_saved_replay PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>" ORVANE_BIN="$<TARGET_FILE:orvane>")
  add_dependencies(integration_saved_replay orvane-cli orvane sqlsim)
  gtest_discover_tests(integration_saved_replay DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# `orvane-cli compare-data` against the documented pair of databases and a failing server.
if(TARGET sqlsim)
  add_executable(integration_compare_data_cli ${CMAKE_CURRENT_LIST_DIR}/test_data_compare_cli.cpp)
  target_link_libraries(integration_compare_data_cli PRIVATE orv_dbcompare orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_compare_data_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_compare_data_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_compare_data_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# Saved data comparison processes run by orvane-cli run-saved (and by the program).
if(TARGET sqlsim AND ORVANE_UI)
  add_executable(integration_saved_data_replay
    ${CMAKE_CURRENT_LIST_DIR}/test_saved_data_replay.cpp)
  target_link_libraries(integration_saved_data_replay PRIVATE orv_dbcompare orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_saved_data_replay PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>" ORVANE_BIN="$<TARGET_FILE:orvane>")
  add_dependencies(integration_saved_data_replay orvane-cli orvane sqlsim)
  gtest_discover_tests(integration_saved_data_replay DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# Ctrl-C in every long orvane-cli command against a server that stalls every statement.
if(TARGET sqlsim)
  add_executable(integration_cli_interrupt ${CMAKE_CURRENT_LIST_DIR}/test_cli_interrupt.cpp)
  target_link_libraries(integration_cli_interrupt PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_cli_interrupt PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_cli_interrupt orvane-cli sqlsim)
  gtest_discover_tests(integration_cli_interrupt DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# `orvane-cli deploy-script` against the demo databases, both server versions.
if(TARGET sqlsim)
  add_executable(integration_deploy_cli ${CMAKE_CURRENT_LIST_DIR}/test_deploy_cli.cpp)
  target_link_libraries(integration_deploy_cli PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_deploy_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_deploy_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_deploy_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# `orvane-cli snapshot` and snapshot sides of compare-all against the demo databases.
if(TARGET sqlsim)
  add_executable(integration_snapshot_cli ${CMAKE_CURRENT_LIST_DIR}/test_snapshot_cli.cpp)
  target_link_libraries(integration_snapshot_cli PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_snapshot_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_snapshot_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_snapshot_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# `orvane-cli script-folder` and folder:<dir> sides of compare-all, as a user runs them.
if(TARGET sqlsim)
  add_executable(integration_script_folder_cli ${CMAKE_CURRENT_LIST_DIR}/test_script_folder_cli.cpp)
  target_link_libraries(integration_script_folder_cli PRIVATE orv_servers orv_test_support
    GTest::gtest_main)
  target_compile_definitions(integration_script_folder_cli PRIVATE
    ORV_CLI_PATH="$<TARGET_FILE:orvane-cli>")
  add_dependencies(integration_script_folder_cli orvane-cli sqlsim)
  gtest_discover_tests(integration_script_folder_cli DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()
