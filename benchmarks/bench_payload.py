#!/usr/bin/env python3
"""Benchmark of the payload path on the large synthetic product (prints figures;
asserts nothing).

- builder: mkinstaller build against gzip -6 of the same payload stream;
- stub under Wine: digest check, and digest plus stream-through of every record,
  against md5sum of the digested stretch and gzip -dc of the member, natively.

Each pair is measured in one run, so the ratios compare like with like on the
machine as it is at that moment.
"""
import os
import struct
import subprocess
import sys
import time
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
os.environ.setdefault("WINE_STATE_DIR", str(ROOT / "build/native/wine"))

from winetest import MKINSTALLER, SETUP_EXE, WineSession  # noqa: E402

WORK = ROOT / "build" / "bench"
ENV_SCRIPT = ROOT / "tests" / "wine" / "wine_env.py"


def payload_layout(data):
    """The gzip member and the digested stretch of an installer file."""
    header = data.index(bytes(0xA3 - i for i in range(8)), 204800)
    _, setuplen, headersize = struct.unpack_from("<III", data, header + 8)
    return data[header + 20:headersize + setuplen], data[headersize:headersize + setuplen]


def timed(command, **kwargs):
    started = time.perf_counter()
    subprocess.run(command, check=True, **kwargs)
    return time.perf_counter() - started


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    product = WORK / "large"
    subprocess.run([sys.executable, str(ROOT / "samples" / "make_large_product.py"), str(product)], check=True)
    files = [p for p in (product / "files").rglob("*") if p.is_file()]
    print(f"product: {len(files)} files, {sum(p.stat().st_size for p in files) / 1e6:.1f} MB")

    installer = WORK / "large.exe"
    build = timed([str(MKINSTALLER), "build", "--stub", str(SETUP_EXE), "--manifest", str(product / "manifest.txt"),
                   "--root", str(product / "files"), "--level", "6", "-o", str(installer)])
    gzip_member, digested = payload_layout(installer.read_bytes())
    stream = WORK / "stream.bin"
    stream.write_bytes(zlib.decompress(gzip_member, 31))
    member = WORK / "member.gz"
    member.write_bytes(gzip_member)
    stretch = WORK / "stretch.bin"
    stretch.write_bytes(digested)
    with open(os.devnull, "wb") as null:
        gzip6 = timed(["gzip", "-6", "-c", str(stream)], stdout=null)
        md5 = timed(["md5sum", str(stretch)], stdout=null)
        gunzip = timed(["gzip", "-dc", str(member)], stdout=null)
    print(f"installer: {installer.stat().st_size / 1e6:.1f} MB; stream {stream.stat().st_size / 1e6:.1f} MB")
    print(f"builder      {build:6.2f} s   gzip -6 {gzip6:6.2f} s   ratio {build / gzip6:5.2f}")

    subprocess.run([sys.executable, str(ENV_SCRIPT), "setup", os.environ["WINE_STATE_DIR"]], check=True,
                   stdout=subprocess.DEVNULL)
    session = WineSession("bench")
    try:
        exe = session.install_stub("C:\\Bench", "large.exe", source=installer)

        def probe_times(*extra):
            result, values = session.probe(exe, list(extra))
            if result.exit_code != 0 or result.boxes:
                raise SystemExit(f"the probe failed: {result}")
            return float(values["open_seconds"]), float(values.get("extract_seconds", 0))

        probe_times()  # warm the Wine server and the file cache
        digest, _ = probe_times()
        opened, streamed = probe_times("discard")
        through = opened + streamed
    finally:
        session.close()
    print("stub figures are timed inside the process (Wine start-up excluded); the digest check includes")
    print("reading the manifest and the four resources, which is small beside the digest")
    digest_net, through_net = digest, through
    print(f"digest check  {digest_net:6.2f} s   md5sum          {md5:6.2f} s   ratio {digest_net / md5:5.2f}")
    print(f"digest+stream {through_net:6.2f} s   md5sum+gzip -dc {md5 + gunzip:6.2f} s   "
          f"ratio {through_net / (md5 + gunzip):5.2f}")


if __name__ == "__main__":
    main()
