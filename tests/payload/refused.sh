#!/usr/bin/env bash
# The build refuses an SDK payload that cannot work once embedded: each row
# gives the checker one file in one slot and the one line it must print. A
# good payload of either bitness passes, and a scratch configure with a bad
# one fails to build, with the same line, before the tool's resources.
set -u
checker=${RIMKIT_SOURCE_DIR:?}/cmake/payload_check.py
scratch=${RIMKIT_PAYLOAD_TEST_DIR:?}
status=0
fail() { echo "FAIL: $*"; status=1; }

rm -rf "$scratch"
mkdir -p "$scratch"
head -c 512 "${RIMKIT_STANDIN_X64:?}" >"$scratch/truncated.dll"
# The stand-in with one of its two entry points renamed in the export table.
for name in DllRegisterServer DllUnregisterServer; do
    python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); n = sys.argv[2].encode()
sys.stdout.buffer.write(d.replace(b"\0" + n + b"\0", b"\0" + n[:-1] + b"X\0"))' \
        "$RIMKIT_STANDIN_X64" "$name" >"$scratch/without_$name.dll"
done

rows=(
    "x64|$RIMKIT_README|not a PE file"
    "x64|$scratch/truncated.dll|a damaged PE file: it ends before its headers do"
    "x64|$RIMKIT_PLANTED_PROGRAM|a PE program, not a DLL"
    "x64|$RIMKIT_STANDIN_X86|an x86 DLL in the x64 slot"
    "x86|$RIMKIT_STANDIN_X64|an x64 DLL in the x86 slot"
    "x64|$RIMKIT_PLANTED_LIBRARY|does not export DllRegisterServer and DllUnregisterServer"
    "x64|$scratch/without_DllRegisterServer.dll|does not export DllRegisterServer"
    "x64|$scratch/without_DllUnregisterServer.dll|does not export DllUnregisterServer"
    "x64|$scratch/missing.dll|No such file or directory"
)
for row in "${rows[@]}"; do
    IFS='|' read -r slot file reason <<<"$row"
    rm -f "$scratch/stamp"
    message=$(python3 "$checker" --stamp "$scratch/stamp" "$slot=$file" 2>&1)
    code=$?
    [ $code -eq 1 ] || fail "$slot=$file: exit code $code"
    [ "$message" = "payload check: $file: $reason" ] || fail "$slot=$file: $message"
    [ ! -e "$scratch/stamp" ] || fail "$slot=$file: stamp written"
done

message=$(python3 "$checker" --stamp "$scratch/stamp" "x64=$RIMKIT_STANDIN_X64" "x86=${RIMKIT_STANDIN_X86:?}" \
    "x64=${RIMKIT_FAILING_X64:?}" "x86=${RIMKIT_FAILING_X86:?}" 2>&1) || fail "stand-ins refused: $message"
[ -z "$message" ] && [ -e "$scratch/stamp" ] || fail "stand-ins: '$message', stamp: $(ls "$scratch")"

cmake -S "$RIMKIT_SOURCE_DIR" -B "$scratch/build" -G Ninja -DRIMKIT_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$RIMKIT_SOURCE_DIR/cmake/toolchain-x86_64-w64-mingw32.cmake" \
    -DRIMKIT_PAYLOAD_X64="$RIMKIT_STANDIN_X64" -DRIMKIT_PAYLOAD_X86="$RIMKIT_STANDIN_X64" >/dev/null ||
    fail "scratch configure failed"
if output=$(cmake --build "$scratch/build" --target rimkit_manager_payloads 2>&1); then
    fail "the build took an x64 DLL as its x86 payload"
fi
# Building the whole tool to see it fail costs minutes; its resources wait for
# the check, whose script is then among their inputs.
ninja -C "$scratch/build" -t inputs CMakeFiles/rimkit_manager.dir/rimkit_manager.rc.res |
    grep -qxF "$checker" || fail "the tool's resources do not wait for the payload check"
grep -qxF "payload check: $RIMKIT_STANDIN_X64: an x64 DLL in the x86 slot" <<<"$output" ||
    fail "the build refused without the checker's line: $output"

[ $status -eq 0 ] && rm -rf "$scratch"
exit $status
