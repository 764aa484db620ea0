# Test doubles for what someone might plant next to the tool, in the current
# folder or on PATH: one source built as a program (regsvr32.exe) and as DLLs
# (version.dll, and vexo_runtime.dll, a runtime an SDK DLL may need). Each
# leaves a mark when it runs.
add_executable(rimkit_planted_program WIN32 ${CMAKE_CURRENT_LIST_DIR}/planted.c)
set_target_properties(rimkit_planted_program PROPERTIES OUTPUT_NAME regsvr32)
add_library(rimkit_planted_library SHARED ${CMAKE_CURRENT_LIST_DIR}/planted.c)
set_target_properties(rimkit_planted_library PROPERTIES OUTPUT_NAME version PREFIX "")
add_library(rimkit_planted_runtime SHARED ${CMAKE_CURRENT_LIST_DIR}/planted.c)
set_target_properties(rimkit_planted_runtime PROPERTIES OUTPUT_NAME vexo_runtime PREFIX "")
foreach(target rimkit_planted_program rimkit_planted_library rimkit_planted_runtime)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plants)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${target} PRIVATE -s -static -static-libgcc)
endforeach()

# An SDK DLL that imports vexo_runtime.dll, which no machine has: its
# registration fails unless the runtime is found somewhere.
add_library(rimkit_needs_runtime_x64 SHARED ${PROJECT_SOURCE_DIR}/standin_dll/standin_server.cpp
    ${PROJECT_SOURCE_DIR}/standin_dll/standin_server_x64.def)
set_target_properties(rimkit_needs_runtime_x64 PROPERTIES PREFIX "" OUTPUT_NAME needs_runtime_x64
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plants)
target_compile_definitions(rimkit_needs_runtime_x64 PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
    STANDIN_NEEDS_RUNTIME)
target_link_options(rimkit_needs_runtime_x64 PRIVATE -s -static -static-libgcc -static-libstdc++)
target_link_libraries(rimkit_needs_runtime_x64 PRIVATE rimkit_planted_runtime advapi32)
