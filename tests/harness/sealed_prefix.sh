#!/usr/bin/env bash
# Test runs touch nothing outside their own folder: the template and this
# suite's prefix have no way out, Wine's home is the build's own, sealing
# turns links into plain folders without touching what they pointed to, and
# the suite runner refuses a prefix that still leads outside itself.
set -u
. "$RIMKIT_SOURCE_DIR/scripts/lib/wine.sh"

status=0
fail() { echo "FAIL: $*"; status=1; }

for prefix in "$RIMKIT_WINE_TEMPLATE" "$WINEPREFIX"; do
    wine_check_sealed "$prefix" || fail "$prefix leads outside itself"
    [ -d "$prefix/drive_c/users" ] || fail "$prefix has no users folder to check"
done
[ "$HOME" = "$RIMKIT_TEST_HOME" ] || fail "HOME is $HOME, not the build's own $RIMKIT_TEST_HOME"
case "$RIMKIT_TEST_HOME" in
    "$(dirname "$RIMKIT_WINE_TEMPLATE")"/*) ;;
    *) fail "the test home $RIMKIT_TEST_HOME is not inside the build folder" ;;
esac
drives=$(wine_run 'C:\windows\system32\cmd.exe' /c 'if exist Z:\ (echo Z) else (echo none)' | tr -d '\r')
[ "$drives" = none ] || fail "Wine still sees a Z: drive ($drives)"

# A small stand-in prefix with the ways out that wineboot makes.
scratch=$(mktemp -d "$WINEPREFIX.scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
make_fake_prefix() {
    mkdir -p "$1/drive_c/users/me" "$1/dosdevices" "$scratch/outside"
    touch "$1/system.reg" "$scratch/outside/canary"
    ln -s ../drive_c "$1/dosdevices/c:"
    ln -s "$scratch/outside" "$1/drive_c/users/me/Desktop"
    ln -s / "$1/dosdevices/z:"
}

make_fake_prefix "$scratch/sealed"
wine_check_sealed "$scratch/sealed" 2>/dev/null && fail "a link and a Z: drive passed the check"
wine_seal_prefix "$scratch/sealed"
wine_check_sealed "$scratch/sealed" || fail "sealing left a way out"
[ -d "$scratch/sealed/drive_c/users/me/Desktop" ] && [ ! -L "$scratch/sealed/drive_c/users/me/Desktop" ] ||
    fail "the Desktop link did not become a plain folder"
[ -e "$scratch/sealed/dosdevices/c:" ] || fail "sealing removed drive C:"
[ -f "$scratch/outside/canary" ] || fail "sealing touched what a link pointed to"

# The runner refuses a prefix with a link under drive_c, and one with a drive
# other than C:, before it runs anything in it.
for taint in link drive; do
    template=$scratch/template-$taint
    make_fake_prefix "$template"
    wine_seal_prefix "$template"
    case $taint in
        link) ln -s "$scratch/outside" "$template/drive_c/users/me/Music" ;;
        drive) ln -s / "$template/dosdevices/d:" ;;
    esac
    message=$(RIMKIT_WINE_TEMPLATE=$template RIMKIT_SUITE_PREFIX=$scratch/suite-$taint \
        "$RIMKIT_SOURCE_DIR/scripts/wine-suite" touch "$scratch/ran-$taint" 2>&1)
    rc=$?
    [ $rc -ne 0 ] || fail "the runner accepted a prefix with a $taint out"
    [ -e "$scratch/ran-$taint" ] && fail "the runner ran the suite in a prefix with a $taint out"
    grep -q 'leads outside itself' <<<"$message" || fail "no reason given for the $taint: $message"
done

[ $status -eq 0 ] && echo "PASS: prefixes are sealed, the home is the build's own, and a leaking prefix is refused"
exit $status
