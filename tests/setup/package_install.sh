#!/usr/bin/env bash
# The set-up scripts' package install (scripts/lib/packages.sh) through a
# mirror part way through a sync, with stand-ins for apt-get, dpkg-query and
# id first on PATH: no real package is touched. Each row says how often
# apt-get update fails for the security suite's i386 index and how the
# install behaves, then which apt-get calls it expects (the stand-in reads
# the hold-back file through the preferences folder it is given), what the
# user sees on standard error and the exit code. After every row the
# hold-back file is gone.
set -u
scratch=${RIMKIT_PACKAGES_TEST_DIR:?}
lib=$(cd "$(dirname "$0")/../../scripts/lib" && pwd)/packages.sh

rm -rf "$scratch"
mkdir -p "$scratch/bin" "$scratch/prefs" "$scratch/tmp"
index=http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
cat >"$scratch/bin/apt-get" <<EOF
#!/bin/sh
for a; do case \$a in
    Dir::Etc::PreferencesParts=*) prefs=\${a#*=} ;;
    --print-uris) plan=" plan" ;;
    update|install) call=\$a ;;
esac; done
held=\$(cat "\${prefs:-/nonexistent}"/* 2>/dev/null | sed -n 's/^Pin: release n=//p' | paste -sd' ')
echo "\$call\${plan:-}\${held:+ holding back \$held}" >>"$scratch/calls"
if [ \$call = update ]; then
    n=\$((\$(cat "$scratch/updates" 2>/dev/null || echo 0) + 1)); echo \$n >"$scratch/updates"
    [ \$n -gt "\$STANDIN_UPDATE_FAILS" ] && exit 0
    echo "E: Failed to fetch $index  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
fi
# Unresolvable, as with the i386 index of a suite whose amd64 versions are installed.
case \$STANDIN_INSTALL:\$held in never:*|held:|killed:)
    echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
esac
# Stopped part way, as by Ctrl-C: the whole job goes (setsid made it a process group).
if [ \$STANDIN_INSTALL = killed ] && [ -z "\${plan:-}" ]; then : >"$scratch/killed"; kill -TERM 0; fi
[ -n "\${plan:-}" ] && echo "'http://deb.example/pool/p.deb' p_1_amd64.deb 1500000 SHA256:0"
exit 0
EOF
printf '#!/bin/sh\ncase " $STANDIN_INSTALLED " in *" $3 "*) printf "install ok installed" ;; *) exit 1 ;; esac\n' \
    >"$scratch/bin/dpkg-query"
printf '#!/bin/sh\necho 0\n' >"$scratch/bin/id"
# Once the install is killed, the clean-up's rm sends the job a second TERM,
# as Ctrl-C pressed twice would; that must not stop the rm.
cat >"$scratch/bin/rm" <<EOF
#!/bin/sh
[ -e "$scratch/killed" ] && kill -TERM 0
exec $(command -v rm) "\$@"
EOF
chmod +x "$scratch/bin/"*

# What the user sees, one code a line.
declare -A line=(
    [retry]="test: apt-get update failed for 1 index; trying again in 0 s"
    [goon]="test: apt-get update still fails for 1 index; going on with what came"
    [hold]="test: the install needs the indexes that failed; trying again with bookworm-security held back"
    [installing]="test: installing pkg-a pkg-b (1 package, about 2 MB to download)"
    [installed]="test: installed in N s"
    [fail]="test: could not install pkg-a pkg-b: the index $index did not download (File has unexpected size (374820 != 376004). Mirror sync in progress?), not even with bookworm-security held back; run this again once the mirror is in sync, or choose another mirror in /etc/apt/sources.list.d/ (apt-get's output: LOG)"
)
# The apt-get calls, one code a call, as the stand-in logs them.
declare -A call=([U]=update [P]="install plan" [I]=install
    [PH]="install plan holding back bookworm-security" [IH]="install holding back bookworm-security")
failures=0
# The test's own standard output, for the jobs, whose status comes through a pipe.
exec 4>&1
# name | installed | update fails | install | exit code | apt-get calls | standard error
while IFS='|' read -r name installed fails install code calls seen; do
    rm -f "$scratch/calls" "$scratch/updates" "$scratch/killed"
    # The job has a session of its own, so the stand-in's kill reaches the
    # job alone and not timeout, which would pass on a TERM of its own at no
    # known point. Every process of the job holds the pipe on fd 3, so
    # reading it to its end waits for the last of them: a killed install's
    # subshell goes on cleaning up after the job's leader has gone.
    status=$(STANDIN_INSTALLED=$installed STANDIN_UPDATE_FAILS=$fails STANDIN_INSTALL=$install \
        PATH=$scratch/bin:$PATH TMPDIR=$scratch/tmp RIMKIT_APT_RETRY_PAUSE=0 \
        RIMKIT_APT_PREFERENCES_DIR=$scratch/prefs \
        timeout 60 setsid bash -c 'set -euo pipefail; . "$1"; packages_ensure test pkg-a pkg-b' _ "$lib" \
        2>"$scratch/stderr" 3>&1 >&4 4>&-; echo $?)
    # The shell's own note on the killed apt-get.
    actual=$(grep -v Terminated "$scratch/stderr" | sed -e "s/installed in [0-9]* s$/installed in N s/" \
        -e "s|$scratch/tmp/rimkit_manager-apt\.[A-Za-z0-9]*|LOG|")
    expected=$(for code_word in $seen; do echo "${line[$code_word]}"; done)
    actual_calls=$(paste -sd';' "$scratch/calls" 2>/dev/null)
    expected_calls=$(for code_word in $calls; do echo "${call[$code_word]}"; done | paste -sd';')
    problems=""
    [ "$status" = "$code" ] || problems+=" exit code $status, expected $code;"
    [ "$actual_calls" = "$expected_calls" ] || problems+=" apt-get calls [$actual_calls], expected [$expected_calls];"
    [ "$actual" = "$expected" ] || problems+=$'\n'"standard error:"$'\n'"$actual"$'\n'"expected:"$'\n'"$expected"
    [ -z "$(ls -A "$scratch/prefs")" ] || problems+=" the hold-back file is left: $(ls -A "$scratch/prefs");"
    if [ -n "$problems" ]; then
        echo "FAIL: $name:$problems"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
done <<'EOF'
nothing missing|pkg-a pkg-b|0|works|0||
an update that fails twice, then works||2|works|0|U U U P I|retry retry installing installed
one index keeps failing; the install needs it held back||9|held|0|U U U P PH IH|retry retry goon hold installing installed
an install that never works||9|never|1|U U U P PH|retry retry goon hold fail
an install killed while its suite is held back||9|killed|143|U U U P PH IH|retry retry goon hold installing
EOF
[ $failures = 0 ] && echo "PASS: the install survives a mirror part way through a sync, or says in one line why not"
[ $failures = 0 ]
