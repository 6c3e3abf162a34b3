#!/usr/bin/env python3
"""Benchmark of a headless installation of the large synthetic product under Wine
against tar -xzf of the same files (a .tar.gz at the same gzip level) natively,
and the installer's peak memory. Prints figures; asserts nothing."""
import os
import subprocess
import sys
import tarfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
os.environ.setdefault("WINE_STATE_DIR", str(ROOT / "build/native/wine"))

from winetest import MKINSTALLER, SETUP_EXE, WineSession  # noqa: E402

WORK = ROOT / "build" / "bench"
LEVEL = 6


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    product = WORK / "large"
    subprocess.run([sys.executable, str(ROOT / "samples" / "make_large_product.py"), str(product)], check=True)
    installer = WORK / "large.exe"
    subprocess.run([str(MKINSTALLER), "build", "--stub", str(SETUP_EXE), "--manifest", str(product / "manifest.txt"),
                    "--root", str(product / "files"), "--level", str(LEVEL), "-o", str(installer)], check=True)
    archive = WORK / "large.tar.gz"
    if not archive.exists():
        with tarfile.open(archive, "w:gz", compresslevel=LEVEL) as tar:
            tar.add(product / "files", arcname="files")
    target = WORK / "untar"
    subprocess.run(["rm", "-rf", str(target)], check=True)
    target.mkdir()
    started = time.perf_counter()
    subprocess.run(["tar", "-xzf", str(archive), "-C", str(target)], check=True)
    untar = time.perf_counter() - started

    subprocess.run([sys.executable, str(ROOT / "tests/wine/wine_env.py"), "setup", os.environ["WINE_STATE_DIR"]],
                   check=True, stdout=subprocess.DEVNULL)
    session = WineSession("bench-install")
    try:
        exe = session.install_stub("C:\\Bench", "large.exe", source=installer)
        result = session.run(exe, ["--dir=C:\\Large", "--I agree to the terms of the licence"], timeout=600)
        if result.exit_code != 0 or result.boxes:
            raise SystemExit(f"the installation failed: {result}")
    finally:
        session.close()
    seconds = result.milliseconds / 1000
    print(f"headless install under Wine {seconds:6.2f} s   tar -xzf {untar:6.2f} s   ratio {seconds / untar:5.2f}")
    print(f"installer peak working set {result.peak_working_set / 1048576:.1f} MB")


if __name__ == "__main__":
    main()
