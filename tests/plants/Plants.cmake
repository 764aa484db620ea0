# Test doubles for what someone might plant next to the tool, in the current
# folder or on PATH: one source built as a program (regsvr32.exe) and as a DLL
# (version.dll). Each leaves a mark when it runs.
add_executable(rimkit_planted_program WIN32 ${CMAKE_CURRENT_LIST_DIR}/planted.c)
set_target_properties(rimkit_planted_program PROPERTIES OUTPUT_NAME regsvr32)
add_library(rimkit_planted_library SHARED ${CMAKE_CURRENT_LIST_DIR}/planted.c)
set_target_properties(rimkit_planted_library PROPERTIES OUTPUT_NAME version PREFIX "")
foreach(target rimkit_planted_program rimkit_planted_library)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plants)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${target} PRIVATE -s -static -static-libgcc)
endforeach()
