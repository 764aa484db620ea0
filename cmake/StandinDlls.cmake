# Builds the stand-in SDK DLLs: x64 with this build's toolchain, x86 as a
# separate build with the i686 toolchain. Provides RIMKIT_STANDIN_X64,
# RIMKIT_STANDIN_X86, the test doubles RIMKIT_FAILING_X64/X86 (registration
# fails), RIMKIT_HANGING_X64 (registration takes too long), RIMKIT_SLOW_X64/X86
# (registering and unregistering take a few seconds), RIMKIT_HALF_X64 and
# RIMKIT_STICKY_X64 (registration writes its key, then fails; the sticky one
# cannot be unregistered either), and the target
# rimkit_standin_dlls that builds them all.
include(ExternalProject)

add_subdirectory(standin_dll)
set(RIMKIT_STANDIN_X64 ${CMAKE_BINARY_DIR}/standin_dll/vexo_steering_wheel_x64.dll)
set(RIMKIT_FAILING_X64 ${CMAKE_BINARY_DIR}/standin_dll/failing_server_x64.dll)
set(RIMKIT_HANGING_X64 ${CMAKE_BINARY_DIR}/standin_dll/hanging_server_x64.dll)
set(RIMKIT_SLOW_X64 ${CMAKE_BINARY_DIR}/standin_dll/slow_server_x64.dll)
set(RIMKIT_OTHER_X64 ${CMAKE_BINARY_DIR}/standin_dll/other_server_x64.dll)
set(RIMKIT_HALF_X64 ${CMAKE_BINARY_DIR}/standin_dll/half_server_x64.dll)
set(RIMKIT_STICKY_X64 ${CMAKE_BINARY_DIR}/standin_dll/sticky_server_x64.dll)

set(_x86_dir ${CMAKE_BINARY_DIR}/standin_dll_x86)
set(RIMKIT_STANDIN_X86 ${_x86_dir}/vexo_steering_wheel_x86.dll)
set(RIMKIT_FAILING_X86 ${_x86_dir}/failing_server_x86.dll)
set(RIMKIT_SLOW_X86 ${_x86_dir}/slow_server_x86.dll)
# A build without tests (a release) makes only the stand-in it embeds; the
# test doubles are the tests' business.
set(_x86_build_only)
if(NOT RIMKIT_BUILD_TESTS)
    set(_x86_build_only BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target standin_dll_x86)
endif()
ExternalProject_Add(standin_dll_x86
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/standin_dll
    BINARY_DIR ${_x86_dir}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
        -DCMAKE_BUILD_TYPE=Release
    ${_x86_build_only}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${RIMKIT_STANDIN_X86} ${RIMKIT_FAILING_X86} ${RIMKIT_SLOW_X86})

add_custom_target(rimkit_standin_dlls DEPENDS
    standin_dll_x64 standin_dll_failing_x64 standin_dll_hanging_x64 standin_dll_slow_x64
    standin_dll_other_x64
    standin_dll_half_x64 standin_dll_sticky_x64 standin_dll_x86)
