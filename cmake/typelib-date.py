#!/usr/bin/env python3
"""Dates widl's type library with SOURCE_DATE_EPOCH instead of the time of
day: widl writes "Created by WIDL version V at <ctime>" into the library's
custom data, which would make every build's DLL differ.

  typelib-date.py TLB EPOCH
"""
import re
import sys
import time

path, epoch = sys.argv[1], int(sys.argv[2])
data = open(path, "rb").read()
stamp = time.strftime("%a %b %d %H:%M:%S %Y", time.gmtime(epoch)).encode("ascii")
pattern = re.compile(rb"(Created by WIDL version [0-9.]+ at )([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4})")
fixed, count = pattern.subn(lambda m: m.group(1) + stamp, data)
if count != 1 or len(fixed) != len(data):
    sys.exit("typelib-date: expected one WIDL date of ctime form in " + path)
open(path, "wb").write(fixed)
