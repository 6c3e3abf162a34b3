#!/usr/bin/env python3
"""Sets up and tears down what every Wine test shares: a booted Wine prefix (copied
by each test) and a private Xvfb display.

    wine_env.py setup STATE_DIR     boot the base prefix if needed, start Xvfb, choose the stub
    wine_env.py stub STATE_DIR      choose the stub the tests run (below) and say which
    wine_env.py cleanup STATE_DIR   stop Xvfb and any Wine server left behind

Some kernels refuse 32-bit programs ("Exec format error", even for Wine's own 32-bit
loader), and then Wine runs only 64-bit Windows programs. Whether this machine runs
them is asked once, by starting that loader, and kept in STATE_DIR/stub.json: where it
cannot, the tests run the x86-64 stub and helpers and skip what needs the 32-bit one.
"""
import errno
import json
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
# The 32-bit loader, from Debian's wine32:i386 (WINE_LOADER_32 names another, to try
# the tests as a machine that refuses it would run them).
WINE_32 = os.environ.get("WINE_LOADER_32", "/usr/lib/wine/wine")
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


def why_no_32_bit():
    """None when this machine runs Wine's 32-bit loader, else what stops it."""
    try:
        done = subprocess.run([WINE_32, "--version"], capture_output=True, text=True, timeout=60)
    except FileNotFoundError:
        return f"Wine's 32-bit loader {WINE_32} is not installed"
    except OSError as error:
        refused = "the kernel refuses them: " if error.errno == errno.ENOEXEC else ""
        return f"{refused}{WINE_32} --version: {error.strerror}"
    if done.returncode != 0 or not done.stdout.startswith("wine-"):
        said = (done.stderr.strip().splitlines() or ["no output"])[-1]
        return f"{WINE_32} --version ended with {done.returncode}: {said}"
    return None


def choose_stub(state):
    """Asks the machine, keeps the answer with the Wine state and returns it:
    {"bits": 32 or 64, "why": the line that says which stub the tests run and why}."""
    reason = why_no_32_bit()
    if reason is None:
        choice = {"bits": 32, "why": "This machine runs 32-bit programs: the Wine tests run dist/win32/setup.exe, "
                                     "the shipped stub."}
    else:
        choice = {"bits": 64, "why": f"This machine cannot run 32-bit programs ({reason}): the Wine tests run "
                                     "dist/win64/setup.exe; the shipped 32-bit stub is built and checked, "
                                     "but not run here."}
    state.mkdir(parents=True, exist_ok=True)
    (state / "stub.json").write_text(json.dumps(choice))
    return choice


def stub_choice(state):
    """The kept answer, asked for now when there is none."""
    try:
        return json.loads((state / "stub.json").read_text())
    except (OSError, ValueError):
        return choose_stub(state)


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
    if len(sys.argv) != 3 or sys.argv[1] not in ("setup", "stub", "cleanup"):
        raise SystemExit(__doc__)
    state = Path(sys.argv[2])
    state.mkdir(parents=True, exist_ok=True)
    if sys.argv[1] in ("setup", "stub"):
        print(choose_stub(state)["why"], flush=True)
    if sys.argv[1] == "setup":
        boot_base_prefix(state)
        start_xvfb(state)
    elif sys.argv[1] == "cleanup":
        stop_xvfb(state)
        shutil.rmtree(state / "runs", ignore_errors=True)


if __name__ == "__main__":
    main()
