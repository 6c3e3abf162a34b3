#!/usr/bin/env python3
"""The main job: packs the sample product into an installer with mkinstaller,
verifies it, and runs it headless under Wine, showing what it says."""
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
STATE = ROOT / "build" / "native" / "wine"
os.environ.setdefault("WINE_STATE_DIR", str(STATE))

from winetest import MKINSTALLER, SETUP_EXE, WineSession, build_installer  # noqa: E402

ENV_SCRIPT = ROOT / "tests" / "wine" / "wine_env.py"
SAMPLE = ROOT / "samples" / "sample-product"
OUTPUT = ROOT / "build" / "sample-setup.exe"


def main():
    print(f"Packing {SAMPLE / 'manifest.txt'} with {MKINSTALLER.relative_to(ROOT)}")
    build_installer(OUTPUT, SAMPLE / "manifest.txt", SAMPLE / "files")
    listing = subprocess.run([str(MKINSTALLER), "list", str(OUTPUT)], capture_output=True, text=True, check=True)
    print(listing.stdout.split("\n\n")[0])
    print(listing.stdout.rsplit("\n\n", 1)[-1].strip())
    subprocess.run([str(MKINSTALLER), "verify", str(OUTPUT), "--stub", str(SETUP_EXE)], check=True)

    subprocess.run([sys.executable, str(ENV_SCRIPT), "setup", str(STATE)], check=True, stdout=subprocess.DEVNULL)
    session = WineSession("demo")
    try:
        exe = session.install_stub("C:\\Demo", source=OUTPUT)
        print(f"\nRunning {exe} under Wine: --dir=C:\\Demo\\Product and the licence agreed (headless)")
        result = session.run(exe, ["--dir=C:\\Demo\\Product", "--I agree to the terms of the licence"],
                             answers=["OK"])
        for box in result.boxes:
            print(f"  box \"{box.title}\": {box.text!r}  buttons {box.buttons}")
        print(f"  exit code {result.exit_code} (payload verified and manifest read; installing comes next)")
    finally:
        session.close()
        subprocess.run([sys.executable, str(ENV_SCRIPT), "cleanup", str(STATE)], check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
