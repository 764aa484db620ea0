rimkit_add_suite(unit_tests
    ${CMAKE_CURRENT_LIST_DIR}/ExpectedTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unit_resources.rc
)
