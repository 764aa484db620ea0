"""Says which static checks still have to run, given what was found clean before.

A result is remembered as an empty file named after its key in the cache
folder (clang-KEY, clang-tidy-KEY), written by scripts/check-static when a
check found nothing. The key of a compile command is the SHA-256 of

- the command itself;
- the translation unit as the preprocessor sees it (`-E`), with comments
  (`-C`: NOLINT markers) and macro definitions (`-dD`: checks read them),
  which holds every header it includes and their paths;
- for clang-tidy, every .clang-tidy of the checkout;
- the version of the checking tool.

So a change to a source, to any header it includes, to its command, to the
checks' configuration or to a tool checks the file again; anything else is
found in the cache. The checkout's and the build's own folders are left out
of the key (they stand in the command and in the preprocessor's line
markers), so that every clone on a machine shares what one of them found
clean: the cache lives in the user's cache folder, and several clones may
check at once. A file with several commands (built into several targets)
is analysed by clang-tidy once, under the key of all of them. Findings are
never remembered: a file with one is checked again every time.

Usage: static_check_cache.py ROOT DATABASE CACHE JOBS CLANG_TODO TIDY_TODO
reads the sources to check from standard input, one per line, and writes
- CLANG_TODO: one line per command to compile, "KEY ARGUMENTS" (shell-quoted);
- TIDY_TODO: one line per file to analyse, "KEY FILE".
"""
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys


def tool_version(tool):
    return subprocess.run([tool, "--version"], check=True, capture_output=True).stdout


def own_folders(root, entry):
    """A substitution that writes the checkout and the build folder as
    placeholders; a path counts only up to a name's end (/work/a, not /work/ab)."""
    places = sorted({os.path.realpath(root): b"@root@",
                     os.path.realpath(entry["directory"]): b"@build@"}.items(),
                    key=lambda place: -len(place[0]))
    pattern = re.compile(b"|".join(re.escape(path.encode()) for path, _ in places) +
                         rb"(?![\w.+-])")
    names = {path.encode(): name for path, name in places}
    return lambda text: pattern.sub(lambda found: names[found.group(0)], text)


def preprocessed_digest(root, entry):
    anywhere = own_folders(root, entry)
    arguments = [a for a in entry["arguments"] if a != "-fsyntax-only"]
    digest = hashlib.sha256(anywhere(json.dumps(arguments).encode()))
    # The exit code goes into the key too: a unit that does not preprocess
    # fails its checks, so its key is never remembered.
    process = subprocess.run(arguments + ["-E", "-C", "-dD", "-o", "-"], cwd=entry["directory"],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    digest.update(anywhere(process.stdout))
    digest.update(b"exit %d" % process.returncode)
    return digest.hexdigest()


def key(*parts):
    digest = hashlib.sha256()
    for part in parts:
        digest.update(hashlib.sha256(part if isinstance(part, bytes) else part.encode()).digest())
    return digest.hexdigest()


def main():
    root, database, cache = sys.argv[1:4]
    jobs = int(sys.argv[4])
    clang_todo, tidy_todo = sys.argv[5:7]
    selected = {line for line in sys.stdin.read().split("\n") if line}
    entries = [e for e in json.load(open(database)) if e["file"] in selected]

    tidy_configs = subprocess.run(
        ["git", "-C", root, "ls-files", "--cached", "--others", "--exclude-standard",
         ".clang-tidy", "*/.clang-tidy"], check=True, capture_output=True, text=True).stdout.split()
    tidy_config = b"".join(path.encode() + b"\0" + open(os.path.join(root, path), "rb").read()
                           for path in sorted(tidy_configs))
    clang_version = tool_version("clang++")
    tidy_version = tool_version("clang-tidy")

    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        digests = list(pool.map(lambda entry: preprocessed_digest(root, entry), entries))

    remembered = set(os.listdir(cache))
    per_file = {}
    with open(clang_todo, "w") as out:
        for entry, digest in zip(entries, digests):
            per_file.setdefault(entry["file"], []).append(digest)
            clang_key = key("clang", clang_version, digest)
            if "clang-" + clang_key not in remembered:
                out.write(clang_key + " " + shlex.join(entry["arguments"]) + "\n")
    with open(tidy_todo, "w") as out:
        for path in sorted(per_file):
            tidy_key = key("clang-tidy", tidy_version, tidy_config, *sorted(per_file[path]))
            if "clang-tidy-" + tidy_key not in remembered:
                out.write(tidy_key + " " + path + "\n")


main()
