# Shared Wine helpers for the project's scripts. Source it; it defines functions only.
# Always the 64-bit loader: the `wine` wrapper prefers the 32-bit one, which
# some kernels cannot run.

wine_loader=/usr/lib/wine/wine64
wineserver_bin=/usr/lib/wine/wineserver

# wine_use_prefix DIR: point Wine at DIR for this shell.
wine_use_prefix() {
    export WINEPREFIX=$1
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINELOADER=$wine_loader
    # No Mono or Gecko: the tool needs neither, and asking for them stalls a headless start.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=
}

# wine_private_home DIR: HOME and the XDG folders of this shell move to DIR,
# so that nothing Wine does on its own (shell folders, caches, fonts) reaches
# the real home folder.
wine_private_home() {
    mkdir -p "$1/.config" "$1/.local/share" "$1/.local/state" "$1/.cache"
    export HOME=$1
    export XDG_CONFIG_HOME=$1/.config
    export XDG_DATA_HOME=$1/.local/share
    export XDG_STATE_HOME=$1/.local/state
    export XDG_CACHE_HOME=$1/.cache
}

# wine_seal_prefix DIR: cuts every way out of the prefix at DIR. wineboot
# links the user's shell folders (Desktop, Documents, ...) to the Unix home
# folder and maps Z: to /; a deletion that follows them leaves the prefix.
# The links become plain folders and every drive but C: goes. Wine does not
# make them again while the folders exist (wineboot -r and -u included).
wine_seal_prefix() {
    local link
    while IFS= read -r -d '' link; do
        rm -f "$link" && mkdir -p "$link"
    done < <(find "$1/drive_c" -type l -print0)
    find "$1/dosdevices" -maxdepth 1 -type l \( -name '[a-zA-Z]:' -o -name '[a-zA-Z]::' \) \
        ! -name 'c:' ! -name 'c::' -delete
}

# wine_check_sealed DIR: fails, naming them, when the prefix at DIR has a
# symbolic link under drive_c or a drive letter other than C:.
wine_check_sealed() {
    local found
    found=$(find "$1/drive_c" -type l -printf '  link %P -> %l\n'
        find "$1/dosdevices" -maxdepth 1 \( -name '[a-zA-Z]:' -o -name '[a-zA-Z]::' \) \
            ! -name 'c:' ! -name 'c::' -printf '  drive %f -> %l\n')
    [ -z "$found" ] && return 0
    printf 'wine: the prefix %s leads outside itself:\n%s\n' "$1" "$found" >&2
    return 1
}

# wine_make_prefix DIR: a freshly initialised, sealed prefix at DIR.
wine_make_prefix() {
    rm -rf "$1"
    mkdir -p "$(dirname "$1")"
    wine_use_prefix "$1"
    timeout 300 "$wine_loader" wineboot -i >/dev/null 2>&1 || true
    timeout 60 "$wineserver_bin" -w || true
    [ -f "$1/system.reg" ] || { echo "wine: could not create a prefix in $1" >&2; return 1; }
    wine_seal_prefix "$1"
}

# wine_copy_prefix TEMPLATE DIR: DIR becomes a fresh copy of the prefix TEMPLATE.
wine_copy_prefix() {
    rm -rf "$2"
    mkdir -p "$(dirname "$2")"
    cp -a --reflink=auto "$1" "$2"
}

# wine_start_server: a persistent wineserver for the current prefix, warmed up,
# so that each process of a suite starts in a fraction of a second.
wine_start_server() {
    "$wineserver_bin" -p
    (cd "$WINEPREFIX/drive_c" && timeout 120 "$wine_loader" cmd /c exit >/dev/null 2>&1) || true
}

wine_stop_server() {
    timeout 60 "$wineserver_bin" -k >/dev/null 2>&1 || true
}

# wine_run ARGS...: run a Windows program in the current prefix, bounded in time.
wine_run() {
    if [ -t 0 ]; then
        # In a terminal Wine must stay in the foreground to receive key presses.
        timeout --foreground "${WINE_RUN_TIMEOUT:-600}" "$wine_loader" "$@"
    else
        timeout --kill-after=10 "${WINE_RUN_TIMEOUT:-600}" "$wine_loader" "$@"
    fi
}
