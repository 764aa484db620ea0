# Generates the resource script of an executable that embeds the SDK payload.
#   rimkit_generate_resources(OUTPUT <name>.rc [X64 <dll>] [X86 <dll>])
# A payload left out is not embedded. Those given are checked
# (cmake/payload_check.py) by the target <name>_payloads, which the executable
# must depend on: the check runs when the build takes them, since the
# stand-ins exist only once they are built, and on nothing but the payloads.
find_program(RIMKIT_PYTHON3 python3 HINTS /usr/bin REQUIRED)
function(rimkit_generate_resources)
    cmake_parse_arguments(ARG "" "OUTPUT;X64;X86" "" ${ARGN})
    set(RIMKIT_PAYLOAD_RESOURCES "")
    set(payloads "")
    set(checks "")
    foreach(arch X64 X86)
        if(ARG_${arch})
            string(APPEND RIMKIT_PAYLOAD_RESOURCES
                "VEXO_STEERING_WHEEL_${arch}.DLL DLL \"${ARG_${arch}}\"\n")
            list(APPEND payloads "${ARG_${arch}}")
            string(TOLOWER ${arch} slot)
            list(APPEND checks "${slot}=${ARG_${arch}}")
        endif()
    endforeach()
    set(RIMKIT_MANIFEST "${CMAKE_BINARY_DIR}/rimkit_manager.manifest")
    configure_file(${PROJECT_SOURCE_DIR}/resources/rimkit_manager.manifest ${RIMKIT_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/rimkit_manager.rc.in ${ARG_OUTPUT} @ONLY)
    get_filename_component(name ${ARG_OUTPUT} NAME_WE)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.payloads-checked)
    set(checker ${PROJECT_SOURCE_DIR}/cmake/payload_check.py)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${RIMKIT_PYTHON3} ${checker} --stamp ${stamp} ${checks}
        DEPENDS ${checker} ${payloads}
        COMMENT "Checking the payloads of ${name}"
        VERBATIM)
    add_custom_target(${name}_payloads DEPENDS ${stamp})
    # The resource compiler does not report the files it embeds.
    set_source_files_properties(${ARG_OUTPUT} PROPERTIES
        OBJECT_DEPENDS "${payloads};${RIMKIT_MANIFEST}")
endfunction()
