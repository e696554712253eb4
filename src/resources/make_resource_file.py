#!/usr/bin/env python3
"""Writes the package's resource file from the character-table source.

Usage: make_resource_file.py TABLE_SOURCE OUTPUT

The output is a classic Macintosh resource file holding two resources of type "NMBc":
"Mac2ISO" (id 128) and "ISO2Mac" (id 129), each a plain 256-byte table whose entry b is the
byte that replaces source byte b.

File layout (all numbers big-endian):
  header    data offset (4), map offset (4), data length (4), map length (4); the rest of the
            first 256 bytes is zero, as in files the classic toolbox writes
  data      per resource: its length (4), then its bytes
  map       16 reserved bytes (a copy of the header), handle (4), file reference (2),
            attributes (2), type-list offset (2) and name-list offset (2), both from the map's
            start; then the type list, the reference list and the name list
  type list count - 1 (2); per type: code (4), resource count - 1 (2), offset of its
            reference list from the type list's start (2)
  reference id (2), name offset from the name list's start (2), attributes (1), data offset
            from the data section's start (3), reserved (4)
  name list length-prefixed names
"""

import struct
import sys

RESOURCE_TYPE = b"NMBc"
DATA_OFFSET = 256
MAP_FIXED_PART = 28  # reserved copy, handle, file reference, attributes, two list offsets
TYPE_ENTRY_SIZE = 8
REFERENCE_SIZE = 12


def fail(message):
    sys.exit("make_resource_file.py: " + message)


def read_mac_to_iso(path):
    """The Mac2ISO table from the source: one line per Mac Roman code, '#' starts a comment."""
    table = [None] * 256
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            fields = line.split("#", 1)[0].split()
            if not fields:
                continue
            if len(fields) < 3:
                fail(f"{path}:{number}: expected a Mac code, an ISO code and a name")
            try:
                mac, iso = int(fields[0], 16), int(fields[1], 16)
            except ValueError:
                fail(f"{path}:{number}: codes must be hexadecimal")
            if not (0 <= mac <= 255 and 0 <= iso <= 255):
                fail(f"{path}:{number}: code out of range")
            if table[mac] is not None:
                fail(f"{path}:{number}: Mac code {mac:02X} appears twice")
            table[mac] = iso
    missing = [code for code in range(256) if table[code] is None]
    if missing:
        fail(f"{path}: no line for Mac codes {', '.join(f'{c:02X}' for c in missing)}")
    if sorted(table) != list(range(256)):
        fail(f"{path}: the ISO column is not a permutation of 00-FF")
    moved = [code for code in range(128) if table[code] != code]
    if moved:
        fail(f"{path}: ASCII codes must map to themselves ({moved[0]:02X} does not)")
    return bytes(table)


def inverse(table):
    result = [0] * 256
    for source, target in enumerate(table):
        result[target] = source
    return bytes(result)


def resource_file(resources):
    """resources: list of (id, name, bytes), all of RESOURCE_TYPE."""
    data = b""
    references = b""
    names = b""
    for resource_id, name, body in resources:
        references += struct.pack(">hHB", resource_id, len(names), 0)
        references += len(data).to_bytes(3, "big") + b"\0\0\0\0"
        data += struct.pack(">I", len(body)) + body
        encoded = name.encode("ascii")
        names += bytes([len(encoded)]) + encoded

    type_list = struct.pack(">H4sHH", 0, RESOURCE_TYPE, len(resources) - 1,
                            2 + TYPE_ENTRY_SIZE)
    name_list_offset = MAP_FIXED_PART + len(type_list) + len(references)
    map_length = name_list_offset + len(names)
    header = struct.pack(">IIII", DATA_OFFSET, DATA_OFFSET + len(data), len(data), map_length)
    resource_map = header + struct.pack(">IhHHH", 0, 0, 0, MAP_FIXED_PART, name_list_offset)
    resource_map += type_list + references + names
    assert len(resource_map) == map_length
    return header.ljust(DATA_OFFSET, b"\0") + data + resource_map


def main():
    if len(sys.argv) != 3:
        fail("usage: make_resource_file.py TABLE_SOURCE OUTPUT")
    mac_to_iso = read_mac_to_iso(sys.argv[1])
    contents = resource_file([(128, "Mac2ISO", mac_to_iso), (129, "ISO2Mac", inverse(mac_to_iso))])
    with open(sys.argv[2], "wb") as output:
        output.write(contents)


if __name__ == "__main__":
    main()
