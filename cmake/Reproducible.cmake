# Builds that do not depend on where or when they run, so that anyone can
# rebuild a release from its commit and get the same bytes: no link time in
# the PE header and no build folder in the code (__FILE__, debug info).
# Included by the tool's project and by the stand-in DLLs' own project.
include_guard(GLOBAL)

# The build folder is usually inside the source folder; the later, more
# specific mapping wins.
add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=rimkit>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
add_link_options(-Wl,--no-insert-timestamp)
