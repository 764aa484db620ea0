"""Rewrites the build's compile commands for clang.

Reads compile_commands.json of the GCC cross build and writes one for clang
(target x86_64-w64-mingw32, the mingw GCC's libstdc++ headers), keeping the
project's defines, include folders and warning flags. Only the checkout's own
C++ sources are kept, each distinct command once. Prints the sources of the
checkout that no command compiles, one per line.

Usage: static_compile_commands.py ROOT BUILD_DATABASE OUTPUT_DATABASE
"""
import json
import os
import shlex
import subprocess
import sys

TARGET = "x86_64-w64-mingw32"
LIBSTDCXX = "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++"
CLANG_FRONT = [
    "clang++", "--target=" + TARGET, "-nostdinc++",
    "-isystem", LIBSTDCXX, "-isystem", LIBSTDCXX + "/" + TARGET,
]


def own_source(root, build, path):
    return (path.startswith(root + os.sep) and not path.startswith(build + os.sep)
            and path.endswith(".cpp"))


def clang_arguments(command, source):
    words = shlex.split(command)[1:]  # the GCC driver goes
    kept = []
    skip_next = False
    for index, word in enumerate(words):
        if skip_next:
            skip_next = False
        elif word == "-o":
            skip_next = True
        elif word == "-include" and words[index + 1].endswith("cmake_pch.hxx"):
            # GCC's precompiled headers: each file must compile without them.
            skip_next = True
        elif word in ("-c", "-Winvalid-pch") or word.startswith("-O") or word == source:
            pass
        else:
            kept.append(word)
    return CLANG_FRONT + kept + ["-fsyntax-only", source]


def main():
    root, database, output = (os.path.realpath(a) for a in sys.argv[1:4])
    build = os.path.dirname(database)
    entries, seen = [], set()
    for entry in json.load(open(database)):
        source = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        if not own_source(root, build, source):
            continue
        arguments = clang_arguments(entry["command"], source)
        if tuple(arguments) in seen:
            continue
        seen.add(tuple(arguments))
        entries.append({"directory": entry["directory"], "file": source,
                        "arguments": arguments})
    with open(output, "w") as out:
        json.dump(entries, out, indent=1)
    compiled = {entry["file"] for entry in entries}
    tracked = subprocess.run(["git", "-C", root, "ls-files", "*.cpp"], check=True,
                             capture_output=True, text=True).stdout.split()
    for path in tracked:
        if os.path.join(root, path) not in compiled:
            print(path)


main()
