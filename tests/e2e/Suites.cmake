rimkit_add_suite(e2e_run_sequence
    ${CMAKE_CURRENT_LIST_DIR}/RunSequenceTest.cpp
)
