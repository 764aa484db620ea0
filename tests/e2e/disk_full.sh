#!/usr/bin/env bash
# Install onto a drive that fills up while the second DLL is written: that
# file is reported, never put in place and never registered, and the install
# rolls back: the first DLL is unregistered again, it and the new folder go,
# and the run ends with 1603.
# The drive is a tiny tmpfs mapped into the suite's Wine prefix as T:.
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"
skip=77

# The drive lives beside the prefix and is unmapped again before the suite's
# prefix is checked for ways out.
mountpoint=$(mktemp -d "$WINEPREFIX.tmpfs.XXXXXX")
cleanup() { rm -f "$WINEPREFIX/dosdevices/t:"; umount "$mountpoint" 2>/dev/null; rmdir "$mountpoint"; }
trap cleanup EXIT
# 20 KiB: the 64-bit DLL fits, the 32-bit one after it does not. Only its
# owner may write to it: a drive everyone may write to is no install folder.
if ! mount -t tmpfs -o size=20k,mode=755 tmpfs "$mountpoint" 2>/dev/null; then
    echo "SKIP: cannot mount a tmpfs here (needs root)"
    exit $skip
fi
ln -sfn "$mountpoint" "$WINEPREFIX/dosdevices/t:"

mkdir -p "$WINEPREFIX/drive_c/Tools"
cp "$RIMKIT_MANAGER_EXE" "$WINEPREFIX/drive_c/Tools/rimkit_manager.exe"
output=$(wine_run 'C:\Tools\rimkit_manager.exe' --install --path 'T:\' </dev/null)
rc=$?

x64_bytes=$(stat -c %s "$RIMKIT_PAYLOAD_X64")
expected=$(printf '%s\r\n' \
    "Info: v9.1.1" "Info: " \
    "Info: Starting uninstall" "Info: Initialize COM" \
    "Info: Found: Rimkit 32bit DLL not installed." "Info: Found: Rimkit  64bit DLL not installed." \
    "Error: RemoveParentFolder(): No files to check." "Info: Uninitialize COM" "Info: Exiting uninstall" \
    "Info: Starting install" "Info: Initialize COM" \
    'Info: Expanding: T:\' 'Info: Expanded: T:\' 'Info: Install path: T:\9_1_1' 'Info: Created: T:\9_1_1' \
    "Info: Written: T:\\9_1_1\\vexo_steering_wheel_x64.dll bytes: $x64_bytes" \
    'Error: Could not write all of: T:\9_1_1\vexo_steering_wheel_x86.dll' \
    'Info: Registered: T:\9_1_1\vexo_steering_wheel_x64.dll' \
    "Info: Uninitialize COM" "Info: Exiting install" "Error: Install failed; rolling back." \
    'Info: Unregistered: T:\9_1_1\vexo_steering_wheel_x64.dll' \
    'Info: Deleted: T:\9_1_1\vexo_steering_wheel_x64.dll' \
    "Info: Rollback complete: the machine is as it was before this install." \
    "Press any key to exit.")

status=0
check() { if ! "$@"; then status=1; fi; }
expect_equal() {
    [ "$1" = "$2" ] && return 0
    echo "FAIL: $3"; diff <(printf '%s\n' "$2") <(printf '%s\n' "$1") | cat -A | head -40
    return 1
}
# 1603, the failed install, reaches this shell modulo 256.
check expect_equal "$rc" $((1603 % 256)) "exit code"
check expect_equal "$output" "$expected" "log lines"
check expect_equal "$(ls -A "$mountpoint")" "" "files on the full drive"
reg32=$(wine_run 'C:\windows\system32\reg.exe' query \
    'HKLM\SOFTWARE\Classes\WOW6432Node\CLSID\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\ServerBinary' 2>&1)
check expect_equal "$(grep -c REG_SZ <<<"$reg32")" 0 "no 32-bit registration"
reg64=$(wine_run 'C:\windows\system32\reg.exe' query \
    'HKLM\SOFTWARE\Classes\CLSID\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\ServerBinary' 2>&1)
check expect_equal "$(grep -c REG_SZ <<<"$reg64")" 0 "no 64-bit registration"
[ $status -eq 0 ] && echo "PASS: a DLL that does not fit is reported, and the install rolled back"
exit $status
