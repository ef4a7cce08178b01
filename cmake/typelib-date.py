#!/usr/bin/env python3
"""Dates widl's type library with SOURCE_DATE_EPOCH instead of the time of
day. widl writes two custom data entries from the clock, one after the
other: the text "Created by WIDL version V at <ctime>" (a string) and the
same moment as a 32-bit number (VT_UI4, 0x13), with 'W' bytes padding
between the entries. Either would make every build's DLL differ.

  typelib-date.py TLB EPOCH
"""
import re
import struct
import sys
import time

path, epoch = sys.argv[1], int(sys.argv[2])
data = open(path, "rb").read()
stamp = time.strftime("%a %b %d %H:%M:%S %Y", time.gmtime(epoch)).encode("ascii")
pattern = re.compile(rb"(Created by WIDL version [0-9.]+ at )"
                     rb"[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4}"
                     rb"(\n?W*\x13\x00)....", re.S)
fixed, count = pattern.subn(lambda m: m.group(1) + stamp + m.group(2) + struct.pack("<I", epoch), data)
if count != 1 or len(fixed) != len(data):
    sys.exit("typelib-date: expected one WIDL date and time stamp in " + path)
open(path, "wb").write(fixed)
