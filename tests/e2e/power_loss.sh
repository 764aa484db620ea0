#!/usr/bin/env bash
# A machine that loses power part way through an upgrade: every process of
# the prefix ends at once (wineserver -k), then the machine starts again
# (wineboot -r). The status report tells of the stopped run, and the next
# install undoes it and installs: the new version in both views, no SDK file
# left anywhere else, no record left.
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"
drive_c=$WINEPREFIX/drive_c
for tool in Old Upgrade Tools; do mkdir -p "$drive_c/$tool"; done
cp "$RIMKIT_MANAGER_SLOW_EXE" "$drive_c/Old/rimkit_manager.exe"
cp "$RIMKIT_MANAGER_SLOW_EXE" "$drive_c/Upgrade/rimkit_manager.exe"
cp "$RIMKIT_MANAGER_EXE" "$drive_c/Tools/rimkit_manager.exe"

status=0
fail() { echo "FAIL: $*"; status=1; }
registered() {
    wine_run 'C:\windows\system32\reg.exe' query "HKLM\\SOFTWARE\\Classes\\$1CLSID\\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\\ServerBinary" 2>/dev/null |
        sed -n 's/.*REG_SZ *//p' | tr -d '\r'
}

wine_run 'C:\Old\rimkit_manager.exe' --install </dev/null >/dev/null
wine_run 'C:\Upgrade\rimkit_manager.exe' --install --path 'C:\New' </dev/null >/dev/null &
# The power goes once the old files are deleted, while the new ones register.
for _ in $(seq 600); do
    [ -e "$drive_c/Old/9_1_1/vexo_steering_wheel_x64.dll" ] || break
    sleep 0.1
done
[ -e "$drive_c/New/9_1_1" ] || sleep 0.5
wine_stop_server
wait
wine_start_server
timeout 120 "$wine_loader" wineboot -r >/dev/null 2>&1

status_report=$(wine_run 'C:\Tools\rimkit_manager.exe' --status </dev/null | tr -d '\r')
grep -qx 'Warning: An earlier run was interrupted; the next install or uninstall undoes what it changed.' \
    <<<"$status_report" || fail "status does not tell of the stopped run: $status_report"

install=$(wine_run 'C:\Tools\rimkit_manager.exe' --install --path 'C:\New' </dev/null | tr -d '\r')
[ "$(sed -n 3p <<<"$install")" = 'Warning: An earlier run was interrupted; undoing what it changed.' ] ||
    fail "the install does not undo the stopped run first: $install"
grep -qx 'Info: Interrupted run undone.' <<<"$install" || fail "not undone: $install"
grep -q '^Error: Rollback incomplete' <<<"$install" && fail "undone incompletely: $install"

[ "$(registered '')" = 'C:\New\9_1_1\vexo_steering_wheel_x64.dll' ] || fail "64-bit view: $(registered '')"
[ "$(registered 'WOW6432Node\')" = 'C:\New\9_1_1\vexo_steering_wheel_x86.dll' ] ||
    fail "32-bit view: $(registered 'WOW6432Node\')"
cmp -s "$RIMKIT_PAYLOAD_X64" "$drive_c/New/9_1_1/vexo_steering_wheel_x64.dll" || fail "64-bit DLL bytes"
cmp -s "$RIMKIT_PAYLOAD_X86" "$drive_c/New/9_1_1/vexo_steering_wheel_x86.dll" || fail "32-bit DLL bytes"
left=$(cd "$drive_c" && find Old New Upgrade Tools -iname 'vexo_steering_wheel*' | sort | tr '\n' ' ')
[ "$left" = 'New/9_1_1/vexo_steering_wheel_x64.dll New/9_1_1/vexo_steering_wheel_x86.dll ' ] ||
    fail "SDK files: $left"
[ -e "$drive_c/Program Files/Vexo" ] && fail "the record is still there"
[ $status -eq 0 ] && echo "PASS: an upgrade stopped by a power loss is undone by the next install"
exit $status
