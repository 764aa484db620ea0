#!/usr/bin/env bash
# A release is the same bytes wherever it is built: scripts/release runs twice
# for the committed HEAD, from two folders of different lengths, and the two
# exes and zips must be identical. It checks what the release promises as
# well: the zip's name, its contents, the checksums and, with the stand-in
# DLLs embedded, the warning not to ship it.
set -u
source_dir=${RIMKIT_SOURCE_DIR:?}
version=${RIMKIT_RELEASE_VERSION:?}
scratch=${RIMKIT_RELEASE_TEST_DIR:?}

status=0
fail() { echo "FAIL: $*"; status=1; }

rm -rf "$scratch"
folders=(one "a-second-folder-with-a-longer-name")
for folder in "${folders[@]}"; do
    mkdir -p "$scratch/$folder/tmp"
    start=$SECONDS
    TMPDIR=$scratch/$folder/tmp RIMKIT_DIST_DIR=$scratch/$folder/dist \
        "$source_dir/scripts/release" >"$scratch/$folder/stdout" 2>"$scratch/$folder/stderr" ||
        { cat "$scratch/$folder/stderr"; fail "release in $folder failed"; exit 1; }
    echo "release in $folder: $((SECONDS - start)) s"
done

zip=rimkit_manager-$version-win64-standin.zip
for folder in "${folders[@]}"; do
    dist=$scratch/$folder/dist
    grep -q "warning: $zip embeds the stand-in DLLs .*not for shipping" "$scratch/$folder/stderr" ||
        fail "no stand-in warning on stderr in $folder: $(cat "$scratch/$folder/stderr")"
    files=$(cd "$dist" && ls | sort | tr '\n' ' ')
    [ "$files" = "SHA256SUMS $zip rimkit_manager.exe " ] || fail "dist in $folder holds: $files"
    # Only its own clone and build count; the compiler may leave empty files.
    [ -z "$(ls -A "$scratch/$folder/tmp" | grep rimkit-release)" ] ||
        fail "the release left its build behind in $folder"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS in $folder does not match"
    listed=$(cut -d' ' -f3- "$dist/SHA256SUMS" | tr '\n' ' ')
    [ "$listed" = "rimkit_manager.exe $zip " ] || fail "SHA256SUMS in $folder lists: $listed"
    cmp -s "$dist/SHA256SUMS" "$scratch/$folder/stdout" || fail "the checksums printed in $folder are not SHA256SUMS"
    entries=$(unzip -Z1 "$dist/$zip" | tr '\n' ' ')
    [ "$entries" = "rimkit_manager.exe README.md " ] || fail "the zip in $folder holds: $entries"
    unzip -p "$dist/$zip" rimkit_manager.exe | cmp -s - "$dist/rimkit_manager.exe" ||
        fail "the exe in the zip of $folder is not the exe next to it"
    unzip -p "$dist/$zip" README.md | cmp -s - <(git -C "$source_dir" show HEAD:README.md) ||
        fail "the README in the zip of $folder is not the committed one"
    grep -qaF "$scratch" "$dist/rimkit_manager.exe" && fail "the exe of $folder holds its build folder"
done

first=$scratch/${folders[0]}/dist
second=$scratch/${folders[1]}/dist
for file in rimkit_manager.exe "$zip" SHA256SUMS; do
    cmp -s "$first/$file" "$second/$file" || fail "$file differs between the two builds"
done
cat "$first/SHA256SUMS"

[ $status -eq 0 ] && rm -rf "$scratch"
exit $status
