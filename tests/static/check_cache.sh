#!/usr/bin/env bash
# scripts/check-static remembers what clang and clang-tidy found clean: a run
# on an unchanged tree checks nothing again and passes; a finding planted in a
# header fails the sources that include it, every time; a change to
# .clang-tidy analyses every file again; a second clone elsewhere checks only
# what differs. Runs on copies of the checkout with the build's compile
# commands and a cache folder of its own, so neither the checkout nor the
# user's cache is touched; the checkers are wrapped to record which files
# they really check.
set -u
source_dir=${RIMKIT_SOURCE_DIR:?}
build=${RIMKIT_BUILD_DIR:?}
scratch=${RIMKIT_STATIC_TEST_DIR:?}

fail() { echo "FAIL: $*"; [ -f "$scratch/output" ] && cat "$scratch/output"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/bin"
# clone DIR: DIR/tree becomes the checkout as it is, uncommitted changes
# included, as a repository of its own, with the build's compile commands in
# DIR/build; the checks below run there.
clone() {
    tree=$1/tree build_dir=$1/build
    mkdir -p "$tree" "$build_dir"
    (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -C "$tree" -xf -
    git -C "$tree" init -q && git -C "$tree" add -A
    sed -e "s|$build\([/\"=]\)|@build@\1|g; s|$source_dir\([/\" =]\)|$tree\1|g; s|@build@|$build_dir|g" \
        "$build/compile_commands.json" >"$build_dir/compile_commands.json"
}
clone "$scratch/first"

# Wrappers that log every real check, not the version and preprocessor calls
# that make the cache keys.
for tool in clang++ clang-tidy; do
    printf '#!/bin/sh\ncase " $* " in *" --version "*|*" -E "*) ;; *) echo "%s $*" >>"%s" ;; esac\nexec %s "$@"\n' \
        "$tool" "$scratch/checks" "$(command -v "$tool")" >"$scratch/bin/$tool"
    chmod +x "$scratch/bin/$tool"
done

# Two sources that include core/Format.h, one that does not.
files=(core/Format.cpp log/Log.cpp log/LogLevel.cpp)
# check EXPECTED_STATUS: one run of scripts/check-static on the files.
check() {
    : >"$scratch/checks"
    local start=$SECONDS
    (cd "$tree" && PATH=$scratch/bin:$PATH RIMKIT_BUILD_DIR=$build_dir \
        XDG_CACHE_HOME=$scratch/cache scripts/check-static "${files[@]}") >"$scratch/output" 2>&1
    local status=$?
    echo "check-static: exit code $status in $((SECONDS - start)) s"
    [ $status = "$1" ] || fail "exit code $status, expected $1"
}
# checked TOOL FILE...: the tool checked exactly these files.
checked() {
    local tool=$1; shift
    local expected actual
    expected=$(for f in "$@"; do echo "$tree/$f"; done | sort)
    actual=$(grep "^$tool " "$scratch/checks" | grep -o "$tree/[^ ']*\.cpp" | sort)
    [ "$actual" = "$expected" ] || fail "$tool checked [$actual], expected [$expected]"
}

check 0
checked clang++ "${files[@]}"
checked clang-tidy "${files[@]}"

check 0
checked clang++
checked clang-tidy

# A finding in the header: its sources are checked again and fail, the other
# one stays remembered. clang finds the header clean, and that is remembered;
# the finding is not, so it fails the next run too.
echo 'inline int* PlantedFinding() { return 0; }' >>"$tree/core/Format.h"
for compiled in "core/Format.cpp log/Log.cpp" ""; do
    check 1
    grep -q "core/Format.h:.*\[modernize-use-nullptr" "$scratch/output" ||
        fail "the planted finding is not reported"
    # shellcheck disable=SC2086 # a list of files
    checked clang++ $compiled
    checked clang-tidy core/Format.cpp log/Log.cpp
done
git -C "$tree" checkout -q core/Format.h
check 0
checked clang-tidy

# Comments are part of what is checked: a finding kept quiet by a NOLINT is
# reported once the NOLINT goes.
echo 'inline int* PlantedFinding() { return 0; } // NOLINT' >>"$tree/core/Format.h"
check 0
sed -i 's| // NOLINT$||' "$tree/core/Format.h"
check 1
checked clang-tidy core/Format.cpp log/Log.cpp
git -C "$tree" checkout -q core/Format.h

# Another configuration of the checks: every file analysed again, not compiled.
echo '# a changed configuration' >>"$tree/.clang-tidy"
check 0
checked clang++
checked clang-tidy "${files[@]}"

# A second clone, elsewhere, shares the user's cache: it checks nothing that
# the first found clean, and a finding planted there still fails.
clone "$scratch/second"
check 0
checked clang++
checked clang-tidy
[ -d "$scratch/cache/rimkit_manager/static-check" ] || fail "no cache in XDG_CACHE_HOME"
echo 'inline int* PlantedFinding() { return 0; }' >>"$tree/core/Format.h"
check 1
checked clang-tidy core/Format.cpp log/Log.cpp

echo "PASS: check-static checks again exactly what changed, remembers only what is clean, in a cache every clone shares"
