#!/usr/bin/env python3
"""Writes a WMI capture of a typical laptop's three ACPI thermal zones.

A capture is one raw WmiQueryAllDataW result buffer for the block of
MSAcpi_ThermalZoneTemperature: a chain of WNODE_ALL_DATA nodes, one per zone,
each with one fixed-size 76-byte instance and its dynamic instance name,
exactly as the platform lays it out.

usage: make_laptop_capture.py OUTPUT
"""
import struct
import sys
import uuid

THERMAL_ZONE_BLOCK = uuid.UUID("A1BC18C0-A7C8-11D1-BF3C-00A0C9062910")
WNODE_FLAG_ALL_DATA = 0x00000001
WNODE_FLAG_FIXED_INSTANCE_SIZE = 0x00000010
TIMESTAMP = 134100000000000000  # a FILETIME in December 2025

# name, stamp, tc1, tc2, reserved, sampling period (tenths of a second),
# current, passive, critical (tenths of a kelvin), active trip points
ZONES = [
    ("ACPI\\ThermalZone\\CPUZ_0", 47, 2, 5, 0, 20, 3284, 3582, 3782, [3532, 3382, 3232]),
    ("ACPI\\ThermalZone\\SKIN_0", 12, 0, 0, 0, 100, 3082, 3332, 3482, []),
    ("ACPI\\ThermalZone\\PCHZ_0", 9, 1, 2, 0, 50, 3197, 0, 3732, [3482]),
]


def align(n, to=8):
    return (n + to - 1) // to * to


def node(zone, last):
    name, stamp, tc1, tc2, reserved, period, current, passive, critical, trips = zone
    items = [stamp, tc1, tc2, reserved, period, current, passive, critical, len(trips)]
    items += trips + [0] * (10 - len(trips))
    data = struct.pack("<19I", *items)
    data_offset = 0x48
    names_offset = data_offset + len(data)            # one ULONG: offset of the name
    name_at = names_offset + 4
    encoded = name.encode("utf-16-le")
    instance_name = struct.pack("<H", len(encoded)) + encoded
    size = align(name_at + len(instance_name))
    header = struct.pack("<IIIIQ16sII", size, 1, 1, 0 if last else size, TIMESTAMP,
                         THERMAL_ZONE_BLOCK.bytes_le, 0,
                         WNODE_FLAG_ALL_DATA | WNODE_FLAG_FIXED_INSTANCE_SIZE)
    # DataBlockOffset, InstanceCount, OffsetInstanceNameOffsets, FixedInstanceSize
    body = struct.pack("<IIII", data_offset, 1, names_offset, len(data))
    raw = header + body
    raw += b"\0" * (data_offset - len(raw))
    raw += data + struct.pack("<I", name_at) + instance_name
    return raw + b"\0" * (size - len(raw))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    chain = b"".join(node(z, i + 1 == len(ZONES)) for i, z in enumerate(ZONES))
    with open(sys.argv[1], "wb") as out:
        out.write(chain)


if __name__ == "__main__":
    main()
