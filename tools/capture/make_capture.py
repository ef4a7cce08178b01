#!/usr/bin/env python3
"""Writes WMI captures of the machine shapes under samples/.

A capture is one raw WmiQueryAllDataW result buffer for the block of
MSAcpi_ThermalZoneTemperature: a chain of WNODE_ALL_DATA nodes, one per zone,
each with one fixed-size 76-byte instance and its dynamic instance name,
exactly as the platform lays it out.

usage: make_capture.py SHAPE OUTPUT   one shape to OUTPUT
       make_capture.py --all DIR      every shape to DIR/SHAPE.wmi
       make_capture.py --check DIR    exit 1 unless DIR/SHAPE.wmi is each shape's bytes
       make_capture.py --list         the shapes
"""
import os
import struct
import sys
import uuid

THERMAL_ZONE_BLOCK = uuid.UUID("A1BC18C0-A7C8-11D1-BF3C-00A0C9062910")
WNODE_FLAG_ALL_DATA = 0x00000001
WNODE_FLAG_FIXED_INSTANCE_SIZE = 0x00000010
TIMESTAMP = 134100000000000000  # a FILETIME in December 2025
DATA_SIZE = 76


def zone(name, current, passive, critical, trips=(), stamp=1, tc1=0, tc2=0, period=0, fixed_size=DATA_SIZE):
    """Temperatures in tenths of a kelvin (2732 is 0.0 degrees Celsius), the
    sampling period in tenths of a second; fixed_size other than 76 makes a
    malformed node."""
    return dict(name=name, current=current, passive=passive, critical=critical, trips=list(trips),
                stamp=stamp, tc1=tc1, tc2=tc2, period=period, fixed_size=fixed_size)


def tz(i):
    return "ACPI\\ThermalZone\\TZ%02d_0" % i


SHAPES = {
    "desktop-1zone": [
        zone("ACPI\\ThermalZone\\TZ00_0", 3051, 0, 3732, [3432], stamp=3, period=0),
    ],
    "laptop-3zones": [
        zone("ACPI\\ThermalZone\\CPUZ_0", 3284, 3582, 3782, [3532, 3382, 3232], stamp=47, tc1=2, tc2=5, period=20),
        zone("ACPI\\ThermalZone\\SKIN_0", 3082, 3332, 3482, [], stamp=12, period=100),
        zone("ACPI\\ThermalZone\\PCHZ_0", 3197, 0, 3732, [3482], stamp=9, tc1=1, tc2=2, period=50),
    ],
    # Twelve zones; the host's table holds ten.
    "server-12zones": [
        zone(tz(i), 3032 + 35 * i, 3632, 3782, [3482, 3332], stamp=i + 1, tc1=2, tc2=4, period=50) for i in range(12)
    ],
    # Firmware without a sensor behind _TMP: 0.0 degrees Celsius forever.
    "firmware-stuck-2732": [
        zone("ACPI\\ThermalZone\\THRM_0", 2732, 0, 3782, [], stamp=1),
    ],
    # Firmware that answers the same 27.8 degrees Celsius forever.
    "firmware-stuck-3010": [
        zone("ACPI\\ThermalZone\\THRM_0", 3010, 0, 3782, [], stamp=1),
    ],
    # Firmware that answers the same 29.8 degrees Celsius forever.
    "firmware-stuck-3030": [
        zone("ACPI\\ThermalZone\\THRM_0", 3030, 0, 3782, [], stamp=1),
    ],
    # A CPU zone that measures beside a zone whose firmware answers a raw 0.
    "zero-beside-real": [
        zone("ACPI\\ThermalZone\\CPUZ_0", 3262, 3632, 3782, [3532], stamp=6, tc1=2, tc2=5, period=20),
        zone("ACPI\\ThermalZone\\TZ01_0", 0, 0, 3732, [], stamp=1),
    ],
    # Raw values no thermal zone can report: 0xFFFFFFFF (-273.3 degrees
    # Celsius as the plug-in decodes it), 0x80000000 (214748091.6) and
    # 0x80000AAC (-214748364.8), beside odd but genuine ones: a critical
    # point of 4832 (210.0) and an active trip point of 3432 (70.0).
    "out-of-range": [
        zone(tz(0), 0xFFFFFFFF, 1, 0x80000000, [0x80000000, 0x80000AAC, 0xFFFFFFFF, 3432], stamp=3, period=10),
        zone(tz(1), 0x80000000, 0, 4832, [], stamp=3, period=10),
        zone(tz(2), 0x80000AAC, 0, 0x80000AAC, [], stamp=3, period=10),
    ],
    # A battery zone with neither active trip points nor a critical point.
    "no-trip-points": [
        zone("ACPI\\ThermalZone\\CPUZ_0", 3232, 3632, 3782, [3532], stamp=5, tc1=2, tc2=5, period=20),
        zone("ACPI\\ThermalZone\\BATZ_0", 3032, 0, 0, [], stamp=2),
    ],
    # The third node claims an instance shorter than a data block: the walk
    # ends there, the two zones before it count.
    "malformed-third-node": [
        zone(tz(0), 3182, 3582, 3782, [3432], stamp=4, period=30),
        zone(tz(1), 3132, 0, 3732, [], stamp=4, period=30),
        zone(tz(2), 3232, 0, 3732, [], stamp=4, period=30, fixed_size=40),
        zone(tz(3), 3082, 0, 3732, [], stamp=4, period=30),
    ],
    # An outdoor cabinet in winter: -15.0 degrees Celsius.
    "negative-current": [
        zone("ACPI\\ThermalZone\\TZ00_0", 2582, 3482, 3582, [3232], stamp=7, period=100),
    ],
}


def align(n, to=8):
    return (n + to - 1) // to * to


def node(z, last):
    # The data block's fields in the order of ZoneDataBlock (contract/zone_data_block.h);
    # the thermal walk test (ThermalWalk.SampleCapture) reads a sample back against it.
    trips = z["trips"]
    items = [z["stamp"], z["tc1"], z["tc2"], 0, z["period"], z["current"], z["passive"], z["critical"], len(trips)]
    items += trips + [0] * (10 - len(trips))
    data = struct.pack("<19I", *items)
    data_offset = 0x48
    names_offset = data_offset + len(data)            # one ULONG: offset of the name
    name_at = names_offset + 4
    encoded = z["name"].encode("utf-16-le")
    instance_name = struct.pack("<H", len(encoded)) + encoded
    size = align(name_at + len(instance_name))
    header = struct.pack("<IIIIQ16sII", size, 1, 1, 0 if last else size, TIMESTAMP,
                         THERMAL_ZONE_BLOCK.bytes_le, 0,
                         WNODE_FLAG_ALL_DATA | WNODE_FLAG_FIXED_INSTANCE_SIZE)
    # DataBlockOffset, InstanceCount, OffsetInstanceNameOffsets, FixedInstanceSize
    body = struct.pack("<IIII", data_offset, 1, names_offset, z["fixed_size"])
    raw = header + body
    raw += b"\0" * (data_offset - len(raw))
    raw += data + struct.pack("<I", name_at) + instance_name
    return raw + b"\0" * (size - len(raw))


def capture(shape):
    zones = SHAPES[shape]
    return b"".join(node(z, i + 1 == len(zones)) for i, z in enumerate(zones))


def main(args):
    if args == ["--list"]:
        print("\n".join(SHAPES))
    elif len(args) == 2 and args[0] in ("--all", "--check"):
        stale = []
        for shape in SHAPES:
            path = os.path.join(args[1], shape + ".wmi")
            if args[0] == "--all":
                with open(path, "wb") as out:
                    out.write(capture(shape))
            elif not os.path.exists(path) or open(path, "rb").read() != capture(shape):
                stale.append(path)
        if stale:
            sys.exit("not what make_capture.py writes: " + " ".join(stale))
    elif len(args) == 2 and args[0] in SHAPES:
        with open(args[1], "wb") as out:
            out.write(capture(args[0]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
