"""Writes a zip whose bytes depend only on the files' names and contents.

    python3 reproducible_zip.py ZIP FOLDER

The zip holds every file under FOLDER, named by its path relative to FOLDER
(docs/deploying.md, say), in the order of those names, all with the time
SOURCE_DATE_EPOCH (UTC), read-only permissions for everyone but the owner,
no extra fields and no comment: nothing of the machine, the folder or the
hour it was made.
"""
import os
import sys
import time
import zipfile

# The earliest time a zip entry can hold.
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def entry_time():
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    return max(ZIP_EPOCH, time.gmtime(epoch)[:6])


def entry(name, date_time):
    info = zipfile.ZipInfo(name, date_time)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the permissions below mean the same everywhere.
    info.external_attr = 0o100644 << 16
    return info


def names(folder):
    """The files under folder, by their paths relative to it, with / between
    folder names, sorted."""
    found = []
    for parent, _, files in os.walk(folder):
        for name in files:
            path = os.path.relpath(os.path.join(parent, name), folder)
            found.append(path.replace(os.sep, "/"))
    return sorted(found)


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: reproducible_zip.py ZIP FOLDER")
    zip_path, folder = argv[1], argv[2]
    date_time = entry_time()
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in names(folder):
            with open(os.path.join(folder, name), "rb") as source:
                archive.writestr(entry(name, date_time), source.read(), compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
