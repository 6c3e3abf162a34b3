#!/usr/bin/env python3
"""Benchmark of installing the large synthetic product under Wine: a headless
install and an interactive one driven by the robot, against two floors (a bare
program writing the same folders and files from an uncompressed blob, and the same
program inflating one gzip member of it with zlib, floor_writer.cpp) and tar -xzf
of the same files (a .tar.gz at the same gzip level); what an installed product
meets next (the same installer again, a repair, the next patch level with 5% of its
files changed), against the fresh install; measured in the same loop, interleaved,
RUNS rounds after a warm-up round, medians of the rounds' own ratios with their
spread; the small sample against its floor; where a headless install's
time goes, from process creation to exit (the log's "Times" line), beside the
floor's; the file loop by kind of work, timed inside the process by the
installer's own code (payload_probe); the installer's own memory, against the
same program doing nothing; the stub sizes.
Prints figures; asserts nothing (these machines are shared and noisy)."""
import collections
import gzip
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tarfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
os.environ.setdefault("WINE_STATE_DIR", str(ROOT / "build/native/wine"))

from winetest import (  # noqa: E402
    ACCEPT, FOLDER_ID, LICENCE, MKINSTALLER, NEXT, REPAIR_ID, SAMPLE_ENTRY, SAMPLES_DIR, UNINSTALL, SETUP_EXE,
    STUB_BITS, WineSession, build_sample_variant, click)

WORK = ROOT / "build" / "bench"
# Built for the stub's own processor: a 32-bit program pays WoW64's price on every call.
FLOOR_WRITER = ROOT / f"build/win{STUB_BITS}/tests/helpers/floor_writer.exe"
LEVEL = 6
RUNS = int(os.environ.get("BENCH_RUNS", "7"))
# Each round installs the same version again: its entry goes first (one folder per version).
LARGE_UNINSTALL_KEYS = tuple(f"{UNINSTALL}LargeSuite 2.0PL{n}"
                             for n in (0, 1))
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


def write_blob(files, blob):
    """The floor program's input: every folder and file of `files`, uncompressed."""
    with open(blob, "wb") as out:
        for path in sorted(files.rglob("*")):
            name = str(path.relative_to(files)).replace("/", "\\").encode("latin-1")
            out.write(struct.pack("<I", len(name)) + name)
            if path.is_dir():
                out.write(struct.pack("<I", 0xFFFFFFFF))
            else:
                data = path.read_bytes()
                out.write(struct.pack("<I", len(data)) + data)


def times_line(log):
    """The steps of the run's log's "Times" line, as {step: seconds}."""
    for entry in log.read_bytes().decode("latin-1").split("\r\n"):
        if "Times (seconds):" in entry:
            steps = entry.split("Times (seconds):", 1)[1].split(";")[0]
            return {name.strip(): float(value) for name, _, value in
                    (item.strip().rpartition(" ") for item in steps.split(","))}
    raise SystemExit(f"no Times line in {log}")


def floor(session, blob, folder):
    """Runs the floor program; its wall time and its own steps."""
    shutil.rmtree(session.unix_path(folder), ignore_errors=True)
    result = session.run(FLOOR_WRITER, [session.win_path(blob), folder], timeout=600)
    if result.exit_code != 0:
        raise SystemExit(f"the floor program failed: {result}")
    shutil.rmtree(session.unix_path(folder), ignore_errors=True)
    steps = dict(line.split("=") for line in result.stdout.split())
    return result.lifetime, {name: float(value) for name, value in steps.items()}


def ratios(seconds, against):
    return [s / t for s, t in zip(seconds, against)]


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    product, patched = WORK / "large", WORK / "large-pl1"
    make = [sys.executable, str(ROOT / "samples" / "make_large_product.py")]
    subprocess.run(make + [str(product)], check=True)
    # The next patch level: 5% of the files changed.
    subprocess.run(make + [str(patched), "--changed", "5", "--patch-level", "1"], check=True)
    installer, patch_installer = WORK / "large.exe", WORK / "large-pl1.exe"
    for source, target in ((product, installer), (patched, patch_installer)):
        subprocess.run([str(MKINSTALLER), "build", "--stub", str(SETUP_EXE), "--manifest", str(source / "manifest.txt"),
                        "--root", str(source / "files"), "--level", str(LEVEL), "-o", str(target)], check=True)
    archive = WORK / "large.tar.gz"
    if not archive.exists():
        with tarfile.open(archive, "w:gz", compresslevel=LEVEL) as tar:
            tar.add(product / "files", arcname="files")

    subprocess.run([sys.executable, str(ROOT / "tests/wine/wine_env.py"), "setup", os.environ["WINE_STATE_DIR"]],
                   check=True, stdout=subprocess.DEVNULL)
    session = WineSession("bench-install")
    blobs = {"large": session.root / "large.blob", "small": session.root / "small.blob"}
    write_blob(product / "files", blobs["large"])
    write_blob(SAMPLES_DIR / "sample-product/files", blobs["small"])
    # The inflating floor reads the same blob as one gzip member, at the installer's level.
    blobs["gzip"] = session.root / "large.blob.gz"
    with open(blobs["large"], "rb") as raw, gzip.open(blobs["gzip"], "wb", compresslevel=LEVEL) as packed:
        shutil.copyfileobj(raw, packed)
    figures = collections.defaultdict(list)
    phases = {name: [] for name in PHASES}
    accounted, floor_steps = [], []
    private = {"idle": [], "small": [], "large": []}
    try:
        exe = session.install_stub("C:\\Bench", "large.exe", source=installer)
        patch_exe = session.install_stub("C:\\Bench", "large-pl1.exe", source=patch_installer)
        small_exe = build_sample_variant(session, "small")
        # Round 0 warms the caches and Wine up; it is not counted.
        for run in range(RUNS + 1):
            def record(name, value):
                if run > 0:
                    figures[name].append(value)

            record("tar", untar(archive, WORK / "untar"))
            folder = f"C:\\Headless{run}"
            result = checked(session.run(exe, [f"--dir={folder}", LICENCE], timeout=600))
            record("fresh", result.lifetime)
            record("peak private", result.peak_private_bytes)
            record("peak working set", result.peak_working_set)
            # What administrators run on an installed product: the same installer again,
            # a repair through the installed copy's wizard (the work, from the click that
            # starts it to the completion page), the next patch level over it.
            record("again", checked(session.run(exe, [f"--dir={folder}", LICENCE], timeout=600)).lifetime)
            result = checked(session.run(f"{folder}\\resources\\setup.exe", [], answers=[
                click(REPAIR_ID), NEXT, ACCEPT, NEXT, "do:mark", NEXT, "do:waitfor:Finish", "do:mark", NEXT],
                timeout=600))
            record("repair", (result.marks[1] - result.marks[0]) / 1000 - ROBOT_PAUSE_SECONDS)
            record("patch", checked(session.run(patch_exe, [f"--dir={folder}", LICENCE], timeout=600)).lifetime)
            shutil.rmtree(session.unix_path(folder), ignore_errors=True)
            for key in LARGE_UNINSTALL_KEYS:
                session.wine("reg", "delete", key, "/f")
            wall, steps = floor(session, blobs["large"], "C:\\Floor")
            record("floor", wall)
            if run > 0:
                floor_steps.append(steps)
            record("inflating floor", floor(session, blobs["gzip"], "C:\\Floor")[0])

            # The same install with its log, whose "Times" line accounts for the run.
            log = session.root / "accounted.log"
            result = checked(session.run(exe, [f"--dir=C:\\Accounted{run}", LICENCE, f"--log={session.win_path(log)}"],
                                         timeout=600))
            record("accounted", result.lifetime)
            if run > 0:
                accounted.append(times_line(log))
            shutil.rmtree(session.unix_path(f"C:\\Accounted{run}"), ignore_errors=True)
            session.wine("reg", "delete", LARGE_UNINSTALL_KEYS[0], "/f")

            result = checked(session.run(small_exe, [f"--dir=C:\\Small{run}", LICENCE]))
            record("small", result.lifetime)
            session.wine("reg", "delete", SAMPLE_ENTRY, "/f")
            shutil.rmtree(session.unix_path(f"C:\\Small{run}"), ignore_errors=True)
            record("small floor", floor(session, blobs["small"], "C:\\SmallFloor")[0])

            values = probe(session, exe, ["phases:C:\\Phases", "memory"])
            if run > 0:
                for name in PHASES:
                    phases[name].append(float(values[name + "_seconds"]))
                private["large"].append(int(values["private_bytes"]))
            shutil.rmtree(session.unix_path("C:\\Phases"), ignore_errors=True)
            values = probe(session, small_exe, ["phases:C:\\Small", "memory"])
            if run > 0:
                private["small"].append(int(values["private_bytes"]))
            shutil.rmtree(session.unix_path("C:\\Small"), ignore_errors=True)
            values = probe(session, exe, ["idle"])
            if run > 0:
                private["idle"].append(int(values["private_bytes"]))

            record("tar wizard", untar(archive, WORK / "untar"))
            # Timed from the click that starts the work to the completion page.
            result = checked(session.run(exe, [], answers=[
                NEXT, ACCEPT, NEXT, f"do:type:{FOLDER_ID}:C:\\Wizard{run}", NEXT, "do:mark", NEXT, "do:waitfor:Finish",
                "do:mark", NEXT], timeout=600))
            record("wizard", (result.marks[1] - result.marks[0]) / 1000 - ROBOT_PAUSE_SECONDS)
            shutil.rmtree(session.unix_path(f"C:\\Wizard{run}"), ignore_errors=True)
            session.wine("reg", "delete", LARGE_UNINSTALL_KEYS[0], "/f")
    finally:
        session.close()

    def show(name, seconds, against_name):
        seconds, against = figures[seconds], figures[against_name]
        each = ratios(seconds, against)
        print(f"{name:<34} median {statistics.median(seconds):6.2f} s   {against_name:<15} "
              f"{statistics.median(against):6.2f} s   ratio {statistics.median(each):5.2f} "
              f"({min(each):.2f}-{max(each):.2f})")

    print(f"Large product, {RUNS} interleaved rounds after a warm-up round (wall time from process creation to "
          "exit; medians; each ratio is the median of the rounds' own ratios, lowest-highest in brackets):")
    show("headless install under Wine", "fresh", "inflating floor")
    show("headless install under Wine", "fresh", "floor")
    show("headless install under Wine", "fresh", "tar")
    show("again into the installed folder", "again", "fresh")
    show("repair (the wizard's work)", "repair", "fresh")
    show("next patch level (5% changed)", "patch", "fresh")
    show("inflating floor under Wine", "inflating floor", "floor")
    show("floor program under Wine", "floor", "tar")
    show("interactive install (the work)", "wizard", "tar wizard")
    show("interactive against headless", "wizard", "fresh")
    headless, floors, accounted_wall = figures["fresh"], figures["floor"], figures["accounted"]
    peak_private, peak_working = figures["peak private"], figures["peak working set"]
    print("Small sample product (start-up dominates):")
    show("headless install under Wine", "small", "small floor")

    print("where a headless install's time goes (medians, seconds; the installer's own log line, and the floor's;")
    print(f"  the logged run took {statistics.median(accounted_wall):.2f} s against {statistics.median(headless):.2f} s "
          "unlogged; \"exit\" is the wall time less the steps):")
    steps = list(accounted[0])
    installer_steps = {name: statistics.median(a[name] for a in accounted) for name in steps}
    installer_steps["exit"] = statistics.median(w - sum(a.values()) for w, a in zip(accounted_wall, accounted))
    floor_table = {"start-up": statistics.median(s["start-up"] for s in floor_steps),
                   "product files": statistics.median(s["writing"] for s in floor_steps)}
    floor_table["exit"] = statistics.median(w - s["start-up"] - s["writing"] for w, s in zip(floors, floor_steps))
    print(f"  {'step':<40} {'installer':>9} {'floor':>9}")
    for name, seconds in installer_steps.items():
        other = f"{floor_table[name]:9.3f}" if name in floor_table else f"{'':>9}"
        print(f"  {name:<40} {seconds:9.3f} {other}")
    print(f"  {'wall time':<40} {statistics.median(accounted_wall):9.3f} {statistics.median(floors):9.3f}")
    print("the product files' step, by kind of work (medians, seconds; timed inside the process by payload_probe):")
    median = {name: statistics.median(values) for name, values in phases.items()}
    work = ("folders", "create", "inflate", "write", "close")
    labels = {"startup": "start-up (process creation to main)", "open": "digest check and manifest",
              "folders": "folders and existence checks", "create": "file creation", "inflate": "inflate (payload reads included)",
              "write": "writes", "close": "closes"}
    for name in work:
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
