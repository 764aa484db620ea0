#!/usr/bin/env bash
# In a real terminal the tool shows its lines, then waits after
# "Press any key to exit." until a key comes, and ends with 0 when one does.
# With its output sent to a file, the file gets every line and the prompt,
# and the tool ends without waiting; so it does when its input is a file.
# Started with no standard output at all, its lines still reach the terminal.
# A path with non-ASCII letters shows in the terminal as it is; a pipe gets
# every line, byte for byte as a file does.
# Runs inside the suite's Wine prefix (scripts/wine-suite sets it up).
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"
# Wine takes the terminal's character set from the locale.
export LC_ALL=C.UTF-8

fail() { echo "FAIL: $*"; echo "--- screen:"; tmux -L "$socket" capture-pane -p -t tool 2>/dev/null; tmux -L "$socket" kill-server 2>/dev/null; exit 1; }

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}
screen_shows() { tmux -L "$socket" capture-pane -p -t tool | grep -qF "$1"; }
exited() { [ -s "$exit_file" ]; }

# in_terminal COMMAND: runs the command in the pane of a new private tmux
# server (so that it inherits this shell's Wine settings), its exit code to
# $exit_file. The server of the run before goes.
runs=0
in_terminal() {
    [ $runs -gt 0 ] && tmux -L "$socket" kill-server 2>/dev/null
    runs=$((runs + 1))
    socket=rimkit-terminal-$$-$runs
    : > "$exit_file"
    tmux -L "$socket" new-session -d -s tool -x 160 -y 40 "$1; echo \$? > $exit_file; sleep 30"
}
tool="timeout --foreground 120 $wine_loader 'C:\\Terminal\\rimkit_manager.exe'"

mkdir -p "$WINEPREFIX/drive_c/Terminal"
cp "$RIMKIT_MANAGER_EXE" "$WINEPREFIX/drive_c/Terminal/rimkit_manager.exe"
exit_file=$(mktemp)
out_file=$(mktemp)
trap 'rm -f "$exit_file" "$out_file"' EXIT

# Sent to a file: whole log and prompt there, no wait for a key.
in_terminal "$tool --console > $out_file"
wait_for 60 exited || fail "--console > file waited for a key"
[ "$(cat "$exit_file")" = 0 ] || fail "--console > file: exit code $(cat "$exit_file")"
[ "$(cat "$out_file")" = "$(printf 'Info: Console logging enabled.\r\nInfo: v9.1.1\r\nInfo: \r\nPress any key to exit.\r')" ] ||
    fail "--console > file holds: $(cat -A "$out_file")"
in_terminal "$tool --status > $out_file"
wait_for 60 exited || fail "--status > file waited for a key"
[ "$(cat "$exit_file")" = 0 ] || fail "--status > file: exit code $(cat "$exit_file")"
[ "$(head -n 2 "$out_file")" = "$(printf 'Info: Console logging enabled.\r\nInfo: v9.1.1\r')" ] &&
    grep -qF 'Info: Status: Rimkit 32bit DLL: Not installed' "$out_file" &&
    grep -qF 'Info: Status: Rimkit 64bit DLL: Not installed' "$out_file" &&
    [ "$(tail -n 1 "$out_file")" = "$(printf 'Press any key to exit.\r')" ] &&
    [ "$(wc -l < "$out_file")" = 14 ] || fail "--status > file holds: $(cat -A "$out_file")"

# Input from a file: no key can come, so no wait; the lines still show.
in_terminal "$tool --console < $out_file"
wait_for 60 exited || fail "--console < file waited for a key"
[ "$(cat "$exit_file")" = 0 ] || fail "--console < file: exit code $(cat "$exit_file")"
screen_shows "Info: Console logging enabled." || fail "--console < file showed no lines"

# Nothing redirected, and no standard output at all (as Explorer starts it):
# the lines on the screen, and a wait for a key.
for redirection in "" ">&-"; do
    in_terminal "$tool --console $redirection"
    wait_for 90 screen_shows "Press any key to exit." || fail "no prompt on the screen ($redirection)"
    for line in "Info: Console logging enabled." "Info: v9.1.1"; do
        screen_shows "$line" || fail "missing line: $line ($redirection)"
    done
    sleep 3
    exited && fail "the tool ended without a key press (exit code $(cat "$exit_file")) ($redirection)"

    tmux -L "$socket" send-keys -t tool x
    wait_for 30 exited || fail "the tool did not end after a key press ($redirection)"
    [ "$(cat "$exit_file")" = 0 ] || fail "exit code $(cat "$exit_file"), expected 0 ($redirection)"
done
# An installation in a folder with non-ASCII letters, as a user folder often is.
folder='C:\Jürgen Größe'
installed() { printf 'Info: Status: Rimkit %sbit DLL: Installed at: %s\\9_1_1\\vexo_steering_wheel_x%s.dll' "$1" "$folder" "$2"; }
(cd "$WINEPREFIX/drive_c" && timeout 120 "$wine_loader" 'C:\Terminal\rimkit_manager.exe' \
    --install --path "$folder" </dev/null >"$out_file")
grep -qF "Info: Registered: $folder\9_1_1\vexo_steering_wheel_x64.dll" "$out_file" ||
    fail "install into $folder logged: $(cat -A "$out_file")"

# Sent to a pipe: every line there, the path in UTF-8 as in a file, no wait.
in_terminal "$tool --status | cat > $out_file"
wait_for 60 exited || fail "--status | cat waited for a key"
[ "$(head -n 1 "$out_file")" = "$(printf 'Info: Console logging enabled.\r')" ] &&
    grep -qFx "$(installed 32 86)"$'\r' "$out_file" &&
    grep -qFx "$(installed 64 64)"$'\r' "$out_file" &&
    [ "$(tail -n 1 "$out_file")" = "$(printf 'Press any key to exit.\r')" ] &&
    [ "$(wc -l < "$out_file")" = 14 ] || fail "--status | cat got: $(cat -A "$out_file")"

# In the terminal: the path on the screen as it is.
in_terminal "$tool --status"
wait_for 90 screen_shows "Press any key to exit." || fail "--status: no prompt on the screen"
for line in "$(installed 32 86)" "$(installed 64 64)"; do
    tmux -L "$socket" capture-pane -p -t tool | grep -qFx "$line" || fail "not on the screen: $line"
done
tmux -L "$socket" send-keys -t tool x
wait_for 30 exited || fail "--status did not end after a key press"

# The console's code page is UTF-8 inside the tool's scope and the shell's
# again after it: shown in the test process itself, since Wine gives each
# process on a terminal a console of its own.
cp "${RIMKIT_PLATFORM_TESTS_EXE:?}" "$WINEPREFIX/drive_c/Terminal/platform_tests.exe"
in_terminal "timeout --foreground 120 $wine_loader 'C:\\Terminal\\platform_tests.exe' --gtest_filter='Utf8ConsoleOutput.*' > $out_file"
wait_for 90 exited || fail "the code page test did not end"
[ "$(cat "$exit_file")" = 0 ] && grep -qF '[  PASSED  ] 1 test.' "$out_file" &&
    ! grep -qF SKIPPED "$out_file" || fail "code page test: $(cat "$out_file")"

tmux -L "$socket" kill-server
echo "PASS: output sent to a file or a pipe stays there without a wait; in a terminal the tool shows non-ASCII paths as they are, waits for a key and ends with 0 when one is pressed"
