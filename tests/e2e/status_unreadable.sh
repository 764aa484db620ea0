#!/usr/bin/env bash
# --status for a registered DLL in a folder this account may not look into:
# something is there, so the DLL counts as installed. Root reads every
# folder, so the tool runs without the capabilities that let it; the folder
# is made unreadable on the Unix side, where Wine takes its permissions from.
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"
skip=77

as_plain_owner() {
    setpriv --bounding-set -dac_override,-dac_read_search \
        --inh-caps -dac_override,-dac_read_search "$@"
}
as_plain_owner true 2>/dev/null || { echo "SKIP: cannot drop capabilities here (needs root)"; exit $skip; }

mkdir -p "$WINEPREFIX/drive_c/Tools" "$WINEPREFIX/drive_c/Private"
cp "$RIMKIT_MANAGER_EXE" "$WINEPREFIX/drive_c/Tools/rimkit_manager.exe"
touch "$WINEPREFIX/drive_c/Private/vexo_steering_wheel_x64.dll"
chmod 000 "$WINEPREFIX/drive_c/Private"
trap 'chmod 755 "$WINEPREFIX/drive_c/Private"' EXIT

key='HKLM\SOFTWARE\Classes\CLSID\{5A1C7E32-9B4D-4F08-8E61-2D7C90B3A4F5}\ServerBinary'
dll='C:\Private\vexo_steering_wheel_x64.dll'
wine_run 'C:\windows\system32\reg.exe' add "$key" /ve /d "$dll" /f >/dev/null 2>&1 ||
    { echo "FAIL: cannot register $dll"; exit 1; }

output=$(cd "$WINEPREFIX/drive_c" && as_plain_owner "$wine_loader" 'C:\Tools\rimkit_manager.exe' --status </dev/null | tr -d '\r')
status=0
for line in "Info: Status: Rimkit 32bit DLL: Not installed" \
    "Info: Status: Rimkit 64bit DLL: Installed at: $dll" \
    "Warning: Registered file is not this version's DLL: $dll"; do
    grep -qxF "$line" <<<"$output" || { echo "FAIL: missing line: $line"; status=1; }
done
[ $status -eq 0 ] && echo "PASS: a DLL in a folder that may not be looked into is installed" ||
    printf '%s\n' "--- output:" "$output"
exit $status
