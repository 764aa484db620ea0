# Test doubles for what someone might plant next to the tool, in the current
# folder or on PATH: a program (copied as regsvr32.exe and regsvr32.com) and a
# DLL (copied as version.dll and others). Each leaves a mark when it runs.
set(RIMKIT_PLANTS_DIR ${CMAKE_BINARY_DIR}/plants)

function(rimkit_add_plant target)
    set_target_properties(${target} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${RIMKIT_PLANTS_DIR})
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
    target_link_options(${target} PRIVATE -s -static -static-libgcc)
endfunction()

add_executable(rimkit_planted_program WIN32 ${CMAKE_CURRENT_LIST_DIR}/planted_program.c)
set_target_properties(rimkit_planted_program PROPERTIES OUTPUT_NAME regsvr32)
rimkit_add_plant(rimkit_planted_program)

add_library(rimkit_planted_library SHARED ${CMAKE_CURRENT_LIST_DIR}/planted_library.c)
set_target_properties(rimkit_planted_library PROPERTIES OUTPUT_NAME version)
rimkit_add_plant(rimkit_planted_library)
