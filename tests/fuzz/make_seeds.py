#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (tests/fuzz/corpus) from the sample
product: its manifest as the installer reads it, the payload of a small installer
built by mkinstaller, and a few command lines, texts and entry lines. The
"finding-*" files beside them are inputs the fuzzers found faults with, kept so
that every run replays them; this script leaves them alone.

    python3 tests/fuzz/make_seeds.py   (after `make native`)
"""
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import container_tools as ct  # noqa: E402

CORPUS = ROOT / "tests" / "fuzz" / "corpus"
SAMPLE = ROOT / "samples" / "sample-product"
FIRST_PAYLOAD_OFFSET = 204800


def fake_stub(size=30000):
    """Headers of a Windows program with one section ending with the file."""
    data = bytearray(size)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, 0x80)
    data[0x80:0x84] = b"PE\0\0"
    data[0x86] = 1
    struct.pack_into("<II", data, 0x98 + 16, size - 0x200, 0x200)
    return bytes(data)


def main():
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        (work / "stub.exe").write_bytes(fake_stub())
        product = work / "files"
        (product / "bin").mkdir(parents=True)
        (product / "bin" / "democc.exe").write_bytes((SAMPLE / "files/bin/democc.exe").read_bytes())
        (work / "licence.txt").write_bytes((SAMPLE / "licence.txt").read_bytes())
        (work / "manifest.txt").write_text("[Resources]\nLICENCE=licence.txt\n[Variables]\nProduct=DemoC\nVersion=1.20\n"
                                           "PatchLevel=PL1\n[Features]\nFeature=Compiler\nbin/\n"
                                           "democc.exe\n[Components]\nComponent=Base\nRequired=yes\nCompiler\n[Run]\n")
        subprocess.run([str(ROOT / "dist/linux/mkinstaller"), "build", "--stub", str(work / "stub.exe"), "--manifest",
                        str(work / "manifest.txt"), "--root", str(product), "-o", str(work / "mini.exe")], check=True,
                       stdout=subprocess.DEVNULL)
        mini = (work / "mini.exe").read_bytes()
        subprocess.run([str(ROOT / "dist/linux/mkinstaller"), "build", "--stub", str(work / "stub.exe"), "--manifest",
                        str(SAMPLE / "manifest.txt"), "--root", str(SAMPLE / "files"), "-o", str(work / "sample.exe")],
                       check=True, stdout=subprocess.DEVNULL)
        manifest, _ = ct.split_stream(ct.Installer((work / "sample.exe").read_bytes()).stream())

    seeds = {
        "container": {"mini-payload": mini[FIRST_PAYLOAD_OFFSET:]},
        "manifest": {
            "sample": manifest[manifest.index(b"\r\n") + 2:],
            # A feature that requires itself once kept itself alive: a leak the fuzzer found.
            "requires-itself": b"[Variables]\nVersion=1\n[Features]\nFeature=A\nRequires=A\nbin/\na.exe\t1\n"
                               b"[Components]\nComponent=C\nA\n[Run]\n",
        },
        "text": {
            "command-line": b"\0--dir=\"C:/Program Files/Demo/\" '--I agree to the terms of the licence' --no-Examples "
                            b"--setVariable-A=B --setTrue-X --remove",
            "expansion": b"\1Value [A] [[B]] [Version] [unterminated",
            "instdir": b"\2C:\\P%InstDir%\\bin\\a.exe C:\\P\\x",
            "registry": b"\3HKLM\\SOFTWARE\\Voranth\\DemoC\\Settings\\Trace Support=0x1",
            "shortcut": b"\3Uninstall DemoC=resources\\setup.exe>--remove,ICONUN",
        },
    }
    for target, files in seeds.items():
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in files.items():
            (folder / name).write_bytes(data)
            print(folder / name, len(data), "bytes")


if __name__ == "__main__":
    main()
