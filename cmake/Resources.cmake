# Generates the resource script of an executable that embeds the SDK payload.
#   rimkit_generate_resources(OUTPUT <rc file> [X64 <dll>] [X86 <dll>])
# A payload left out is not embedded.
function(rimkit_generate_resources)
    cmake_parse_arguments(ARG "" "OUTPUT;X64;X86" "" ${ARGN})
    set(RIMKIT_PAYLOAD_RESOURCES "")
    set(payloads "")
    foreach(arch X64 X86)
        if(ARG_${arch})
            string(APPEND RIMKIT_PAYLOAD_RESOURCES
                "VEXO_STEERING_WHEEL_${arch}.DLL DLL \"${ARG_${arch}}\"\n")
            list(APPEND payloads "${ARG_${arch}}")
        endif()
    endforeach()
    set(RIMKIT_MANIFEST "${CMAKE_BINARY_DIR}/rimkit_manager.manifest")
    configure_file(${PROJECT_SOURCE_DIR}/resources/rimkit_manager.manifest ${RIMKIT_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/rimkit_manager.rc.in ${ARG_OUTPUT} @ONLY)
    # The resource compiler does not report the files it embeds.
    set_source_files_properties(${ARG_OUTPUT} PROPERTIES
        OBJECT_DEPENDS "${payloads};${RIMKIT_MANIFEST}")
endfunction()
