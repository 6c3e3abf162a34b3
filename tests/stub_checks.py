#!/usr/bin/env python3
"""Checks both built stubs: under the size each has reached, a little over the first
payload offset (204,800 bytes; a longer stub's product starts at the next 1024-byte
boundary, a few 20-byte probes later), so that growth is a choice made in this file,
and both importing nothing but the system's own DLLs, so the installer is one
self-contained file.

    stub_checks.py SETUP64 SETUP32
"""
import re
import subprocess
import sys
from pathlib import Path

FIRST_PAYLOAD_OFFSET = 204800
LIMITS = {"setup64": 245 * 1024, "setup32": 235 * 1024}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "comctl32.dll", "wininet.dll", "msvcrt.dll"}
OBJDUMP = {"setup64": "x86_64-w64-mingw32-objdump", "setup32": "i686-w64-mingw32-objdump"}


def imports(objdump, stub):
    out = subprocess.run([objdump, "-p", str(stub)], check=True, capture_output=True, text=True).stdout
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", out)}


def main():
    faults = []
    for kind, stub in zip(("setup64", "setup32"), map(Path, sys.argv[1:3])):
        size = stub.stat().st_size
        print(f"{stub}: {size} bytes, imports {', '.join(sorted(imports(OBJDUMP[kind], stub)))}")
        if size >= LIMITS[kind]:
            faults.append(f"{stub} is {size} bytes, not under {LIMITS[kind]}")
        foreign = imports(OBJDUMP[kind], stub) - SYSTEM_DLLS
        if foreign:
            faults.append(f"{stub} imports {', '.join(sorted(foreign))}")
    for fault in faults:
        print("FAULT:", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
