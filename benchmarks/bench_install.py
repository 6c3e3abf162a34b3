#!/usr/bin/env python3
"""Benchmark of installing the large synthetic product under Wine: a headless
install and an interactive one driven by the robot, each against tar -xzf of the
same files (a .tar.gz at the same gzip level) measured in the same loop,
interleaved, medians of RUNS; the phases of a headless install, timed inside
the process by the installer's own code (payload_probe); the installer's own
memory, against the same program doing nothing; the stub sizes.
Prints figures; asserts nothing (these machines are shared and noisy)."""
import os
import shutil
import statistics
import subprocess
import sys
import tarfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
os.environ.setdefault("WINE_STATE_DIR", str(ROOT / "build/native/wine"))

from winetest import (  # noqa: E402
    ACCEPT, FOLDER_ID, LICENCE, MKINSTALLER, NEXT, SETUP_EXE, WineSession, build_sample_variant)

WORK = ROOT / "build" / "bench"
LEVEL = 6
RUNS = int(os.environ.get("BENCH_RUNS", "5"))
# The robot pauses before a click; the timed stretch holds one.
ROBOT_PAUSE_SECONDS = 0.3


def untar(archive, target):
    shutil.rmtree(target, ignore_errors=True)
    target.mkdir(parents=True)
    started = time.perf_counter()
    subprocess.run(["tar", "-xzf", str(archive), "-C", str(target)], check=True)
    return time.perf_counter() - started


def checked(result):
    if result.exit_code != 0 or result.boxes:
        raise SystemExit(f"the installation failed: {result}")
    return result


# Phases of a headless install as payload_probe reports them ("open" is the
# digest check with the manifest; "extract" the whole file loop).
PHASES = ("startup", "open", "folders", "create", "inflate", "write", "close", "extract")


def probe(session, exe, steps):
    result, values = session.probe(exe, steps)
    if result.exit_code != 0 or result.boxes:
        raise SystemExit(f"the probe failed: {result}")
    return values


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

    subprocess.run([sys.executable, str(ROOT / "tests/wine/wine_env.py"), "setup", os.environ["WINE_STATE_DIR"]],
                   check=True, stdout=subprocess.DEVNULL)
    session = WineSession("bench-install")
    tar_headless, headless, tar_wizard, wizard, peak_private, peak_working = [], [], [], [], [], []
    phases = {name: [] for name in PHASES}
    private = {"idle": [], "small": [], "large": []}
    try:
        exe = session.install_stub("C:\\Bench", "large.exe", source=installer)
        small = build_sample_variant(session, "small")
        for run in range(RUNS):
            tar_headless.append(untar(archive, WORK / "untar"))
            result = checked(session.run(exe, [f"--dir=C:\\Headless{run}", LICENCE], timeout=600))
            headless.append(result.milliseconds / 1000)
            peak_private.append(result.peak_private_bytes)
            peak_working.append(result.peak_working_set)
            shutil.rmtree(session.unix_path(f"C:\\Headless{run}"), ignore_errors=True)

            values = probe(session, exe, ["phases:C:\\Phases", "memory"])
            for name in PHASES:
                phases[name].append(float(values[name + "_seconds"]))
            private["large"].append(int(values["private_bytes"]))
            shutil.rmtree(session.unix_path("C:\\Phases"), ignore_errors=True)
            private["small"].append(int(probe(session, small, ["phases:C:\\Small", "memory"])["private_bytes"]))
            shutil.rmtree(session.unix_path("C:\\Small"), ignore_errors=True)
            private["idle"].append(int(probe(session, exe, ["idle"])["private_bytes"]))

            tar_wizard.append(untar(archive, WORK / "untar"))
            # Timed from the click that starts the work to the completion page.
            result = checked(session.run(exe, [], answers=[
                NEXT, ACCEPT, NEXT, f"do:type:{FOLDER_ID}:C:\\Wizard{run}", NEXT, "do:mark", NEXT, "do:waitfor:Finish",
                "do:mark", NEXT], timeout=600))
            wizard.append((result.marks[1] - result.marks[0]) / 1000 - ROBOT_PAUSE_SECONDS)
            shutil.rmtree(session.unix_path(f"C:\\Wizard{run}"), ignore_errors=True)
    finally:
        session.close()

    def show(name, seconds, against):
        ratio = statistics.median(s / t for s, t in zip(seconds, against))
        print(f"{name:<34} median {statistics.median(seconds):6.2f} s   tar -xzf {statistics.median(against):6.2f} s"
              f"   ratio {ratio:5.2f}")

    print(f"Large product, {RUNS} interleaved runs (medians; ratios paired run by run):")
    show("headless install under Wine", headless, tar_headless)
    show("interactive install (the work)", wizard, tar_wizard)
    print(f"{'interactive against headless':<34} ratio {statistics.median(wizard) / statistics.median(headless):5.2f}")
    print("phases of a headless install (medians, seconds; timed inside the process):")
    median = {name: statistics.median(values) for name, values in phases.items()}
    work = ("folders", "create", "inflate", "write", "close")
    labels = {"startup": "start-up (process creation to main)", "open": "digest check and manifest",
              "folders": "folders and existence checks", "create": "file creation", "inflate": "inflate (payload reads included)",
              "write": "writes", "close": "closes"}
    for name in ("startup", "open") + work:
        print(f"  {labels[name]:<40} {median[name]:6.3f}")
    print(f"  {'rest of the file loop':<40} {median['extract'] - sum(median[n] for n in work):6.3f}")
    mb = 1048576
    idle = statistics.median(private["idle"])
    print("memory (private bytes, read inside the process after the file loop):")
    print(f"  the same program doing nothing         {idle / mb:6.1f} MB")
    for name in ("small", "large"):
        print(f"  installing the {name} product, own share {(statistics.median(private[name]) - idle) / mb:6.1f} MB")
    print(f"  setup.exe, the most seen while it ran  {statistics.median(peak_private) / mb:6.1f} MB private, "
          f"{statistics.median(peak_working) / mb:.1f} MB peak working set")
    for stub in (ROOT / "dist/win64/setup.exe", ROOT / "dist/win32/setup.exe"):
        print(f"stub {stub.relative_to(ROOT)}: {stub.stat().st_size} bytes (the payload may start at 204800)")


if __name__ == "__main__":
    main()
