#!/usr/bin/env python3
"""Writes a zip that depends on nothing but its inputs' bytes and names.

  make_zip.py EPOCH OUTPUT FILE...

The members are the FILEs' base names, in the order given, each dated
EPOCH (seconds, UTC; the zip format's dates start in 1980) with fixed
permissions and compression, so that the same files give the same zip.
"""
import os
import sys
import time
import zipfile


def main():
    epoch, output, files = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
    date = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(output + ".tmp", "w") as archive:
        for path in files:
            member = zipfile.ZipInfo(os.path.basename(path), date_time=date)
            member.compress_type = zipfile.ZIP_DEFLATED
            member.create_system = 3  # Unix, so that the permissions below are read
            member.external_attr = 0o100644 << 16
            with open(path, "rb") as data:
                archive.writestr(member, data.read(), compresslevel=9)
    os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()
