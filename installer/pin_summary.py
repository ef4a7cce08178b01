#!/usr/bin/env python3
"""Dates a wixl package with SOURCE_DATE_EPOCH.

  pin_summary.py MSI EPOCH

wixl stamps the summary information's "Created" and "Last saved" with the
time of day. Both are VT_FILETIME properties (type 0x40, then 8 bytes); this
finds the two values that msiinfo reports, in the file itself, and writes
EPOCH's instead. The package code (the revision number, random from wixl)
is set with msibuild -s beforehand.
"""
import calendar
import re
import struct
import subprocess
import sys
import time

TICKS_PER_SECOND = 10_000_000
UNIX_EPOCH_TICKS = 116_444_736_000_000_000


def reported_times(msi):
    info = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    seconds = set()
    for field in ("Created", "Last saved"):
        text = re.search(r"^%s: (.*)$" % field, info, re.M).group(1)
        # msiinfo prints local time; the caller runs with TZ=UTC.
        seconds.add(calendar.timegm(time.strptime(text.strip(), "%a %b %d %H:%M:%S %Y")))
    return seconds


def main():
    msi, epoch = sys.argv[1], int(sys.argv[2])
    data = bytearray(open(msi, "rb").read())
    seconds = reported_times(msi)
    new_value = struct.pack("<Q", epoch * TICKS_PER_SECOND + UNIX_EPOCH_TICKS)
    found = 0
    for match in re.finditer(rb"\x40\x00\x00\x00(?=(.{8}))", bytes(data), re.S):
        ticks = struct.unpack("<Q", match.group(1))[0]
        if ticks < UNIX_EPOCH_TICKS:
            continue
        if (ticks - UNIX_EPOCH_TICKS) // TICKS_PER_SECOND in seconds:
            data[match.start() + 4:match.start() + 12] = new_value
            found += 1
    if found != 2:
        sys.exit("pin_summary: expected the two summary dates in %s, found %d" % (msi, found))
    open(msi, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
