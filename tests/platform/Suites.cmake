# Registry, known folders, file removal, access lists and the run lock
# against the prefix's own registry, disc and wineserver.
rimkit_add_suite(platform_tests
    ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KnownFoldersTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileRemovalTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HeldFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RunLockTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProtectedPathsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Utf8ConsoleOutputTest.cpp
)
# regsvr32 and COM: slower, and partly dependent on 32-bit processes. It
# carries the SDK's DLLs as the tool does, for an install in the test itself.
rimkit_generate_resources(OUTPUT ${CMAKE_BINARY_DIR}/platform_registration.rc
    X64 "${RIMKIT_PAYLOAD_X64}" X86 "${RIMKIT_PAYLOAD_X86}")
rimkit_add_suite(platform_registration
    ${CMAKE_CURRENT_LIST_DIR}/ServerRegistrationTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WriteAheadTest.cpp
    ${CMAKE_BINARY_DIR}/platform_registration.rc
)
add_dependencies(platform_registration platform_registration_payloads)
