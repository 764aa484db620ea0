"""Writes a zip whose bytes depend only on the files' names and contents.

    python3 reproducible_zip.py ZIP FILE...

Entries go in the order given, by base name, at the top level, all with the
time SOURCE_DATE_EPOCH (UTC), read-only permissions for everyone but the
owner, no extra fields and no comment: nothing of the machine, the folder or
the hour it was made.
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


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: reproducible_zip.py ZIP FILE...")
    zip_path, files = argv[1], argv[2:]
    date_time = entry_time()
    with zipfile.ZipFile(zip_path, "w") as archive:
        for path in files:
            with open(path, "rb") as source:
                archive.writestr(entry(os.path.basename(path), date_time), source.read(),
                                 compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
