# Registry, known folders and file removal against the prefix's own registry and disc.
rimkit_add_suite(platform_tests
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KnownFoldersTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileRemovalTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HeldFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Utf8ConsoleOutputTest.cpp
)
# regsvr32 and COM: slower, and partly dependent on 32-bit processes.
rimkit_add_suite(platform_registration
    ${CMAKE_CURRENT_LIST_DIR}/ServerRegistrationTest.cpp
)
