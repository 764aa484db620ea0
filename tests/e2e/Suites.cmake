rimkit_add_suite(e2e_run_sequence ${CMAKE_CURRENT_LIST_DIR}/RunSequenceTest.cpp)
rimkit_add_suite(e2e_executable ${CMAKE_CURRENT_LIST_DIR}/ExecutableTest.cpp)
rimkit_add_suite(e2e_status_report ${CMAKE_CURRENT_LIST_DIR}/StatusReportTest.cpp)
rimkit_add_suite(e2e_operations
    ${CMAKE_CURRENT_LIST_DIR}/OperationsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OperationFaultsTest.cpp)
rimkit_add_suite(e2e_interrupted_runs ${CMAKE_CURRENT_LIST_DIR}/InterruptedRunTest.cpp)
rimkit_add_script_suite(e2e_terminal_key_wait ${CMAKE_CURRENT_LIST_DIR}/terminal_key_wait.sh)
rimkit_add_script_suite(e2e_disk_full ${CMAKE_CURRENT_LIST_DIR}/disk_full.sh)
rimkit_add_script_suite(e2e_status_unreadable ${CMAKE_CURRENT_LIST_DIR}/status_unreadable.sh)
rimkit_add_script_suite(e2e_power_loss ${CMAKE_CURRENT_LIST_DIR}/power_loss.sh)
