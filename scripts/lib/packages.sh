# shellcheck shell=bash
# Installs Debian packages for the set-up scripts (install-deps, enable-i386),
# through a mirror that may be part way through a sync. Source it; it defines
# functions only.
#
# A mirror mid-sync serves some index files that do not match their Release
# file, and apt-get update fails for them. Such an update is tried again a
# few times. If an index still fails, the install goes on with the indexes
# that came. That install can be unresolvable: with a suite's i386 index
# missing, the 32-bit copy of a multi-arch library cannot match the 64-bit
# copy already installed from that suite. So the install is tried once more
# with the suites whose indexes failed held back for every architecture (an
# apt preferences file that exists only during that install), and both
# architectures then come from the same suites.
#
# Settings, for tests and patient users:
#   RIMKIT_APT_ATTEMPTS       apt-get update attempts (3)
#   RIMKIT_APT_RETRY_PAUSE    seconds between them (5)
#   RIMKIT_APT_PREFERENCES_DIR  where the hold-back file goes (/etc/apt/preferences.d)

packages_preferences_dir=${RIMKIT_APT_PREFERENCES_DIR:-/etc/apt/preferences.d}
packages_hold_back_file=$packages_preferences_dir/rimkit_manager-hold-back.pref

# packages_ensure CALLER PACKAGE...: installs those of the packages that are
# not installed; does nothing, and prints nothing, when none is missing.
# Progress and failures go to standard error, prefixed with CALLER.
packages_ensure() {
    local caller=$1 p missing=()
    shift
    for p in "$@"; do
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "$caller: missing packages (${missing[*]}); run as root to install them" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if [[ " ${missing[*]} " == *":i386 "* ]] &&
        ! grep -qx i386 <<<"$(dpkg --print-foreign-architectures)"; then
        dpkg --add-architecture i386
    fi
    # A hold-back file left by a run that was killed outright would hold a
    # suite back from every later install on this machine.
    rm -f "$packages_hold_back_file"
    local log start=$SECONDS
    log=$(mktemp "${TMPDIR:-/tmp}/rimkit_manager-apt.XXXXXX")
    if packages_install "$caller" "$log" "${missing[@]}"; then
        rm -f "$log"
        echo "$caller: installed in $((SECONDS - start)) s" >&2
        return 0
    fi
    return 1
}

# packages_install CALLER LOG PACKAGE...: update, then install, holding back
# the suites of the indexes that failed if that is what it takes. apt-get's
# own output goes to LOG, which the one line of a failure names.
packages_install() {
    local caller=$1 log=$2
    shift 2
    local failed suites
    failed=$(packages_update "$caller" "$log")
    packages_try "$caller" "$log" "" "$@" && return 0
    suites=$(packages_suites "$failed")
    if [ -n "$suites" ]; then
        echo "$caller: the install needs the indexes that failed; trying again with ${suites//$'\n'/ } held back" >&2
        packages_try "$caller" "$log" "$suites" "$@" && return 0
    fi
    packages_give_up "$caller" "$log" "$failed" "$suites" "$@"
    return 1
}

# packages_update CALLER LOG: apt-get update, tried again while it fails.
# Prints the apt lines of the indexes that still failed ("URL  reason").
packages_update() {
    local caller=$1 log=$2 attempts=${RIMKIT_APT_ATTEMPTS:-3} pause=${RIMKIT_APT_RETRY_PAUSE:-5}
    local attempt output failed=""
    for ((attempt = 1; attempt <= attempts; attempt++)); do
        output=$(apt-get update -qq 2>&1) && return 0
        printf '%s\n' "$output" >>"$log"
        failed=$(printf '%s\n' "$output" | sed -n 's/^[EW]: Failed to fetch //p' | sort -u)
        [ "$attempt" -lt "$attempts" ] || break
        echo "$caller: apt-get update failed$(packages_count "$failed"); trying again in $pause s" >&2
        sleep "$pause"
    done
    echo "$caller: apt-get update still fails$(packages_count "$failed"); going on with what came" >&2
    printf '%s' "$failed"
}

# packages_try CALLER LOG SUITES PACKAGE...: one install, with SUITES (if
# any) held back. The hold-back file goes when the install ends, however it ends.
packages_try() {
    local caller=$1 log=$2 suites=$3
    shift 3
    (
        if [ -n "$suites" ]; then
            # Each signal's trap removes the file itself rather than leave
            # that to the exit trap: the shell runs a trap that is pending
            # before each command, the exit trap's first too, and an exit from
            # there ends the shell without the rest of the exit trap. So a
            # second signal that came as the exit trap began would leave the
            # file.
            trap 'packages_drop_hold_back' EXIT
            trap 'packages_drop_hold_back; exit 129' HUP
            trap 'packages_drop_hold_back; exit 130' INT
            trap 'packages_drop_hold_back; exit 143' TERM
            # shellcheck disable=SC2086 # one suite a word
            packages_hold_back $suites >"$packages_hold_back_file" || exit 1
        fi
        local apt=(apt-get -o Dir::Etc::PreferencesParts="$packages_preferences_dir" -y -qq --no-install-recommends)
        local plan
        plan=$("${apt[@]}" --print-uris install "$@" 2>>"$log") || exit 1
        echo "$caller: installing $* ($(packages_download_size "$plan"))" >&2
        "${apt[@]}" install "$@" >>"$log" 2>&1
    )
}

# packages_drop_hold_back: removes the hold-back file, ignoring HUP, INT
# and TERM from then on: a second signal (Ctrl-C twice, or timeout's signal
# to its whole job) must not stop the rm, which inherits the ignoring.
packages_drop_hold_back() {
    trap '' HUP INT TERM
    rm -f "$packages_hold_back_file"
}

# packages_hold_back SUITE...: apt preferences that hold these suites back
# to the priority of what is installed, for every architecture. A suite in a
# URL's dists/ is a codename (n=) or a suite name (a=); both are pinned.
packages_hold_back() {
    local suite field
    for suite in "$@"; do
        for field in n a; do
            printf 'Explanation: rimkit_manager: an index of %s did not download; only for this install\n' "$suite"
            printf 'Package: *\nPin: release %s=%s\nPin-Priority: 100\n\n' "$field" "$suite"
        done
    done
}

# packages_suites FAILED: the suites (dists/SUITE/ in the URL) of the failed indexes.
packages_suites() {
    printf '%s\n' "$1" | sed -n 's|^[^ ]*/dists/\([^/ ]*\)/.*|\1|p' | sort -u
}

# packages_download_size PLAN: "N packages, about M MB to download" (or
# "nothing to download" when apt has them all in its cache) from
# apt-get's --print-uris lines ('URL' FILE SIZE HASH).
packages_download_size() {
    printf '%s\n' "$1" | awk 'NF >= 3 { n++; size += $3 }
        END { if (n == 0) printf "nothing to download"
              else printf "%d package%s, about %d MB to download", n, n == 1 ? "" : "s", (size + 999999) / 1000000 }'
}

# packages_count FAILED: " for 1 index", " for 2 indexes", or nothing.
packages_count() {
    local n
    n=$(printf '%s' "$1" | grep -c . || true)
    [ "$n" -eq 0 ] && return
    [ "$n" -eq 1 ] && echo " for 1 index" || echo " for $n indexes"
}

# packages_give_up CALLER LOG FAILED SUITES PACKAGE...: the one line that says
# why nothing was installed and what to do.
packages_give_up() {
    local caller=$1 log=$2 failed=$3 suites=$4
    shift 4
    if [ -z "$failed" ]; then
        local error
        error=$(sed -n 's/^E: //p' "$log" | tail -n 1)
        echo "$caller: could not install $*: ${error:-apt-get failed} (apt-get's output: $log)" >&2
        return
    fi
    local first url reason more="" tried=""
    first=$(printf '%s\n' "$failed" | head -n 1)
    url=${first%% *}
    reason=$(printf '%s' "${first#"$url"}" | sed 's/^ *//; s/ *\[IP: [^]]*\]$//')
    local n
    n=$(printf '%s\n' "$failed" | grep -c .)
    [ "$n" -gt 1 ] && more=" (and $((n - 1)) more)"
    [ -n "$suites" ] && tried=", not even with ${suites//$'\n'/ } held back"
    echo "$caller: could not install $*: the index $url$more did not download ($reason)$tried; run this again once the mirror is in sync, or choose another mirror in /etc/apt/sources.list.d/ (apt-get's output: $log)" >&2
}
