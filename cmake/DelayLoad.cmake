# Import libraries for shell32, ole32 and bcrypt that load the DLL on the
# first call into it rather than at process start. shell32 and ole32 pull in
# user32, and Wine's user32 imports version.dll; bcrypt is no known DLL at
# all. Loaded at start, before WinMain has limited the DLL search to the
# system folder, such a DLL would be taken from the tool's own folder. Loaded
# later, they and all they import come from the system folder. Each .def
# file lists the functions the tool calls.
# Provides RIMKIT_DELAYLOAD_LIBRARIES and the target rimkit_delayload_libraries.
set(_delayload_dir ${CMAKE_BINARY_DIR}/delayload)
set(RIMKIT_DELAYLOAD_LIBRARIES)
foreach(dll shell32 ole32 bcrypt)
    set(_def ${CMAKE_CURRENT_LIST_DIR}/delayload/${dll}.def)
    set(_lib ${_delayload_dir}/lib${dll}_delayload.a)
    add_custom_command(OUTPUT ${_lib}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_delayload_dir}
        COMMAND ${CMAKE_DLLTOOL} --input-def ${_def} --output-delaylib ${_lib} --dllname ${dll}.dll
        DEPENDS ${_def}
        VERBATIM)
    list(APPEND RIMKIT_DELAYLOAD_LIBRARIES ${_lib})
endforeach()
add_custom_target(rimkit_delayload_libraries DEPENDS ${RIMKIT_DELAYLOAD_LIBRARIES})
