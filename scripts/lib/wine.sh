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

# wine_make_prefix DIR: a freshly initialised prefix at DIR.
wine_make_prefix() {
    rm -rf "$1"
    mkdir -p "$(dirname "$1")"
    wine_use_prefix "$1"
    timeout 300 "$wine_loader" wineboot -i >/dev/null 2>&1 || true
    timeout 60 "$wineserver_bin" -w || true
    [ -f "$1/system.reg" ] || { echo "wine: could not create a prefix in $1" >&2; return 1; }
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
    timeout 120 "$wine_loader" cmd /c exit >/dev/null 2>&1 || true
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
