#!/usr/bin/env python3
"""Zips a folder so that the same files give the same bytes: entries sorted by path under one
top folder, every time stamp SOURCE_DATE_EPOCH (UTC), modes 0755 for executables and folders
and 0644 for the rest, no owners or extra fields.
Usage: deterministic-zip.py OUT.zip TOP_FOLDER_NAME SOURCE_DIR"""
import os
import sys
import time
import zipfile


def main():
    out, top, source = sys.argv[1:4]
    stamp = time.gmtime(max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800))[:6]
    paths = []
    for folder, dirs, files in os.walk(source):
        for name in dirs + files:
            paths.append(os.path.relpath(os.path.join(folder, name), source))
    with zipfile.ZipFile(out, "w") as archive:
        for relative in sorted(paths):
            full = os.path.join(source, relative)
            name = top + "/" + relative.replace(os.sep, "/")
            if os.path.isdir(full):
                info = zipfile.ZipInfo(name + "/", stamp)
                info.external_attr = (0o40755 << 16) | 0x10
                info.create_system = 3
                archive.writestr(info, b"")
                continue
            info = zipfile.ZipInfo(name, stamp)
            info.external_attr = (0o100755 if os.access(full, os.X_OK) else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so the modes above are read
            with open(full, "rb") as data:
                archive.writestr(info, data.read(), compresslevel=9)


if __name__ == "__main__":
    main()
