#!/usr/bin/env python3
"""The main job: runs the freshly built installer under Wine and shows what it says.

Until a product is packed into it, the stub is what an installed copy without its
manifest is: it stops with a fatal box, which this prints.
"""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
STATE = ROOT / "build" / "native" / "wine"

import os  # noqa: E402

os.environ.setdefault("WINE_STATE_DIR", str(STATE))
os.environ.setdefault("INSTALLER_SETUP_EXE", str(ROOT / "dist" / "win64" / "setup.exe"))
os.environ.setdefault("INSTALLER_HELPERS_DIR", str(ROOT / "build" / "win64" / "tests" / "helpers"))

from winetest import WineSession  # noqa: E402

ENV_SCRIPT = ROOT / "tests" / "wine" / "wine_env.py"


def main():
    subprocess.run([sys.executable, str(ENV_SCRIPT), "setup", str(STATE)], check=True)
    session = WineSession("demo")
    try:
        exe = session.install_stub("C:\\Demo")
        print(f"Running {exe} under Wine (headless: --dir=C:\\Demo\\Product and the licence agreed)")
        result = session.run(exe, ["--dir=C:\\Demo\\Product", "--I agree to the terms of the licence"],
                             answers=["OK"])
        for box in result.boxes:
            print(f"  box \"{box.title}\": {box.text!r}  buttons {box.buttons}")
        print(f"  exit code {result.exit_code}")
    finally:
        session.close()
        subprocess.run([sys.executable, str(ENV_SCRIPT), "cleanup", str(STATE)], check=True)


if __name__ == "__main__":
    main()
