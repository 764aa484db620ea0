# argparse (header-only). A packaged build (find_package) is used when there is
# one; otherwise the copy that Debian's libnthash-dev ships in
# /usr/include/nthash. Provides the target rimkit_argparse.
add_library(rimkit_argparse INTERFACE)

find_package(argparse CONFIG QUIET)
if(TARGET argparse::argparse)
    get_target_property(_argparse_dirs argparse::argparse INTERFACE_INCLUDE_DIRECTORIES)
    target_link_libraries(rimkit_argparse INTERFACE argparse::argparse)
    # Packages keep the header in an argparse/ folder; the code includes it by its own name.
    foreach(_dir IN LISTS _argparse_dirs)
        target_include_directories(rimkit_argparse SYSTEM INTERFACE ${_dir}/argparse)
    endforeach()
    return()
endif()

# The cross toolchain's find root would hide /usr/include.
find_path(ARGPARSE_INCLUDE_DIR argparse.hpp
    PATHS /usr/include/nthash
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ARGPARSE_INCLUDE_DIR)
    message(FATAL_ERROR "argparse.hpp not found: install Debian's libnthash-dev "
                        "(or an argparse package) or set ARGPARSE_INCLUDE_DIR.")
endif()
target_include_directories(rimkit_argparse SYSTEM INTERFACE ${ARGPARSE_INCLUDE_DIR})
