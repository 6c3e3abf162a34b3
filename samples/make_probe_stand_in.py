#!/usr/bin/env python3
"""The stand-in for the sample's downloaded probe installer: a 64-bit Windows program
that ends at once with exit code 0, padded to a size whose download can be watched.
Written the same, byte for byte, on every machine, so the sample pins it with SHA256=.

    python3 samples/make_probe_stand_in.py OUT   # then: mkinstaller sha256 OUT
"""
import struct
import sys

PADDING = 1536 * 1024


def stand_in():
    code = bytes((0x31, 0xC0, 0xC3))  # xor eax, eax; ret: the thread's start returns 0
    dos = b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40)
    coff = struct.pack("<HHIIIHH", 0x8664, 1, 0, 0, 0, 240, 0x0023)  # x86-64, one section, no relocations
    optional = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", 0x20B, 1, 0, 0x200, 0, 0, 0x1000, 0x1000,
                           0x140000000, 0x1000, 0x200, 6, 0, 0, 0, 6, 0, 0, 0x2000, 0x200, 0,
                           2, 0x8100, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + bytes(16 * 8)
    section = struct.pack("<8sIIIIIIHHI", b".text", len(code), 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
    headers = dos + b"PE\0\0" + coff + optional + section
    return headers.ljust(0x200, b"\0") + code.ljust(0x200, b"\0") + bytes(PADDING)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(stand_in())
