#!/usr/bin/env bash
# A release is the same bytes wherever it is built: scripts/release runs for
# the committed HEAD from three folders of different lengths, unsigned, signed
# with a throwaway key, and with that signature attached, which must give the
# signed exe and zip byte for byte. Attached to a build of another commit the
# signature is refused and nothing is written. It checks what the release
# promises as well: the zip's name, its contents, the checksums and, with the
# stand-in DLLs embedded, the warning not to ship it.
set -u
source_dir=${RIMKIT_SOURCE_DIR:?}
version=${RIMKIT_RELEASE_VERSION:?}
scratch=${RIMKIT_RELEASE_TEST_DIR:?}

status=0
fail() { echo "FAIL: $*"; status=1; }

rm -rf "$scratch"
key=$scratch/key
mkdir -p "$key"
password="not on any command line $$"
printf '%s\n' "$password" >"$key/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Rimkit test vendor" \
    -addext extendedKeyUsage=codeSigning -keyout "$key/key.pem" -out "$key/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$key/key.pem" -in "$key/cert.pem" -passout "file:$key/password" \
        -out "$key/vendor.p12" || { fail "no throwaway key"; exit 1; }

# release FOLDER [SOURCE [VARIABLE=VALUE...]]: scripts/release of SOURCE in
# FOLDER, its exit code.
release() {
    local folder=$1 source=${2:-$source_dir}
    shift $(($# < 2 ? $# : 2))
    mkdir -p "$scratch/$folder/tmp"
    local start=$SECONDS code=0
    env TMPDIR="$scratch/$folder/tmp" RIMKIT_DIST_DIR="$scratch/$folder/dist" "$@" \
        "$source/scripts/release" >"$scratch/$folder/stdout" 2>"$scratch/$folder/stderr" || code=$?
    echo "release in $folder: $((SECONDS - start)) s"
    return $code
}

plain=one
signed=a-second-folder-with-a-longer-name
attached=the-third
folders=("$plain" "$signed" "$attached")
release "$plain" || { cat "$scratch/$plain/stderr"; fail "release in $plain failed"; exit 1; }
release "$signed" "" RIMKIT_SIGN_PKCS12="$key/vendor.p12" RIMKIT_SIGN_PASSWORD_FILE="$key/password" ||
    { cat "$scratch/$signed/stderr"; fail "signed release failed"; exit 1; }
release "$attached" "" RIMKIT_ATTACH_SIGNATURE="$scratch/$signed/dist/rimkit_manager.exe.sig" ||
    { cat "$scratch/$attached/stderr"; fail "release with the signature attached failed"; exit 1; }

zip=rimkit_manager-$version-win64-standin.zip
# The zip holds the exe, the README and docs/ as committed, sorted by name.
mapfile -t docs < <(git -C "$source_dir" ls-tree -r --name-only HEAD README.md docs)
[ ${#docs[@]} -gt 1 ] || fail "no docs/ committed beside the README"
expected_entries=$(printf '%s\n' rimkit_manager.exe "${docs[@]}" | LC_ALL=C sort | tr '\n' ' ')
for folder in "${folders[@]}"; do
    dist=$scratch/$folder/dist
    sig=""
    [ "$folder" = "$plain" ] || sig=rimkit_manager.exe.sig
    grep -q "warning: $zip embeds the stand-in DLLs .*not for shipping" "$scratch/$folder/stderr" ||
        fail "no stand-in warning on stderr in $folder: $(cat "$scratch/$folder/stderr")"
    files=$(cd "$dist" && ls | sort | tr '\n' ' ')
    [ "$files" = "SHA256SUMS $zip rimkit_manager.exe ${sig:+$sig }" ] || fail "dist in $folder holds: $files"
    # Only its own clone and build count; the compiler may leave empty files.
    [ -z "$(ls -A "$scratch/$folder/tmp" | grep rimkit-release)" ] ||
        fail "the release left its build behind in $folder"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS in $folder does not match"
    listed=$(cut -d' ' -f3- "$dist/SHA256SUMS" | tr '\n' ' ')
    [ "$listed" = "rimkit_manager.exe $zip ${sig:+$sig }" ] || fail "SHA256SUMS in $folder lists: $listed"
    cmp -s "$dist/SHA256SUMS" "$scratch/$folder/stdout" || fail "the checksums printed in $folder are not SHA256SUMS"
    entries=$(unzip -Z1 "$dist/$zip" | tr '\n' ' ')
    [ "$entries" = "$expected_entries" ] || fail "the zip in $folder holds: $entries"
    unzip -p "$dist/$zip" rimkit_manager.exe | cmp -s - "$dist/rimkit_manager.exe" ||
        fail "the exe in the zip of $folder is not the exe next to it"
    for doc in "${docs[@]}"; do
        unzip -p "$dist/$zip" "$doc" | cmp -s - <(git -C "$source_dir" show "HEAD:$doc") ||
            fail "$doc in the zip of $folder is not the committed one"
    done
    grep -qaF "$scratch" "$dist/rimkit_manager.exe" && fail "the exe of $folder holds its build folder"
done

grep -qF "$password" "$scratch/$signed"/std* && fail "the signed release shows the key's password"
osslsigncode verify -CAfile "$key/cert.pem" -in "$scratch/$signed/dist/rimkit_manager.exe" \
    >"$scratch/verify" 2>&1 || fail "the signed exe does not verify: $(cat "$scratch/verify")"
# The signature is all that signing adds to the unsigned build.
osslsigncode attach-signature -sigin "$scratch/$signed/dist/rimkit_manager.exe.sig" -CAfile "$key/cert.pem" \
    -in "$scratch/$plain/dist/rimkit_manager.exe" -out "$scratch/plain-attached.exe" >/dev/null 2>&1 &&
    cmp -s "$scratch/plain-attached.exe" "$scratch/$signed/dist/rimkit_manager.exe" ||
    fail "the unsigned exe with the signature attached is not the signed exe"
for file in rimkit_manager.exe "$zip" rimkit_manager.exe.sig SHA256SUMS; do
    cmp -s "$scratch/$signed/dist/$file" "$scratch/$attached/dist/$file" ||
        fail "$file differs between the signed release and the one with the signature attached"
done
cat "$scratch/$signed/dist/SHA256SUMS"

# Another commit, other bytes: its release refuses the signature.
changed=$scratch/changed-commit
git clone --quiet "$source_dir" "$changed" &&
    git -C "$changed" checkout --quiet --detach "$(git -C "$source_dir" rev-parse HEAD)"
sed -i 's/installs, uninstalls and reports/installs, removes and reports/' \
    "$changed/resources/rimkit_manager.rc.in"
git -C "$changed" -c user.name=test -c user.email=test@invalid commit --quiet -am "Another description" ||
    fail "no changed commit to release"
if release changed "$changed" RIMKIT_ATTACH_SIGNATURE="$scratch/$signed/dist/rimkit_manager.exe.sig"; then
    fail "the signature was attached to the build of another commit"
fi
grep -q "MISMATCH" "$scratch/changed/stderr" || fail "no mismatch reported: $(cat "$scratch/changed/stderr")"
[ ! -e "$scratch/changed/dist" ] || fail "the refused release wrote $(ls "$scratch/changed/dist")"

[ $status -eq 0 ] && rm -rf "$scratch"
exit $status
