#!/usr/bin/env python3
"""Sets up and tears down what every Wine test shares: a booted Wine prefix (copied
by each test) and a private Xvfb display.

    wine_env.py setup STATE_DIR     boot the base prefix if needed, start Xvfb
    wine_env.py cleanup STATE_DIR   stop Xvfb and any Wine server left behind
"""
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
BASE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
# What the base prefix holds beyond a fresh boot; a change boots it anew.
PREFIX_LAYOUT = "pdf-opener-1"
# Documents the installer opens through the shell are handed to a recorder
# (record_open.exe, copied into each test's prefix), never to a viewer.
DOCUMENT_ASSOCIATION = r"""REGEDIT4

[HKEY_CLASSES_ROOT\.pdf]
@="InstallerTest.Document"

[HKEY_CLASSES_ROOT\InstallerTest.Document\shell\open\command]
@="\"C:\\Opened\\open.exe\" \"%1\""
"""


def wine_version():
    return subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()


def boot_base_prefix(state):
    base = state / "base-prefix"
    marker = state / "base-prefix.ready"
    version = wine_version() + " " + PREFIX_LAYOUT
    if marker.exists() and marker.read_text() == version and base.is_dir():
        return
    shutil.rmtree(base, ignore_errors=True)
    marker.unlink(missing_ok=True)
    env = dict(os.environ, WINEPREFIX=str(base), **BASE_ENV)
    env.pop("DISPLAY", None)
    started = time.monotonic()
    subprocess.run([WINE, "wineboot", "-i"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    association = state / "documents.reg"
    association.write_text(DOCUMENT_ASSOCIATION)
    subprocess.run([WINE, "regedit", "/S", "Z:" + str(association).replace("/", "\\")], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=env, check=True)
    marker.write_text(version)
    print(f"booted Wine prefix in {time.monotonic() - started:.1f} s")


def launch_xvfb(size="1024x768"):
    """Starts an Xvfb screen of the size (WIDTHxHEIGHT); returns its process and display."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = pipe.readline().strip()
    if not display:
        raise SystemExit("Xvfb did not start")
    return xvfb, ":" + display


def start_xvfb(state):
    stop_xvfb(state)
    xvfb, display = launch_xvfb()
    (state / "xvfb.pid").write_text(str(xvfb.pid))
    (state / "display").write_text(display)
    print(f"Xvfb on {display} (pid {xvfb.pid})")


def stop_xvfb(state):
    pid_file = state / "xvfb.pid"
    if pid_file.exists():
        try:
            os.kill(int(pid_file.read_text()), signal.SIGTERM)
        except (ProcessLookupError, ValueError):
            pass
        pid_file.unlink()
    (state / "display").unlink(missing_ok=True)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("setup", "cleanup"):
        raise SystemExit(__doc__)
    state = Path(sys.argv[2])
    state.mkdir(parents=True, exist_ok=True)
    if sys.argv[1] == "setup":
        boot_base_prefix(state)
        start_xvfb(state)
    else:
        stop_xvfb(state)
        shutil.rmtree(state / "runs", ignore_errors=True)


if __name__ == "__main__":
    main()
