#!/usr/bin/env bash
# In a real terminal the tool shows its lines, then waits after
# "Press any key to exit." until a key comes, and ends with 0 when one does.
# Runs inside the suite's Wine prefix (scripts/wine-suite sets it up).
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"

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

mkdir -p "$WINEPREFIX/drive_c/Terminal"
cp "$RIMKIT_MANAGER_EXE" "$WINEPREFIX/drive_c/Terminal/rimkit_manager.exe"
socket=rimkit-terminal-$$
exit_file=$(mktemp)
trap 'rm -f "$exit_file"' EXIT

# A private tmux server, so the pane inherits this shell's Wine settings.
tmux -L "$socket" new-session -d -s tool -x 160 -y 40 \
    "timeout --foreground 120 $wine_loader 'C:\\Terminal\\rimkit_manager.exe' --console; echo \$? > $exit_file; sleep 30"

wait_for 90 screen_shows "Press any key to exit." || fail "no prompt on the screen"
for line in "Info: Console logging enabled." "Info: v9.1.1"; do
    screen_shows "$line" || fail "missing line: $line"
done
sleep 3
exited && fail "the tool ended without a key press (exit code $(cat "$exit_file"))"

tmux -L "$socket" send-keys -t tool x
wait_for 30 exited || fail "the tool did not end after a key press"
[ "$(cat "$exit_file")" = 0 ] || fail "exit code $(cat "$exit_file"), expected 0"
tmux -L "$socket" kill-server
echo "PASS: waits for a key in a terminal and ends with 0 when one is pressed"
