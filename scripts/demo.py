#!/usr/bin/env python3
"""The main job: packs the sample product into an installer with mkinstaller,
installs it headless under Wine, shows what was installed, installs it again by
hand through the wizard (one screenshot per page), removes it by hand through the
installed copy (its pages captured too) and shows that nothing is left."""
import contextlib
import os
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
STATE = ROOT / "build" / "native" / "wine"
os.environ.setdefault("WINE_STATE_DIR", str(STATE))

sys.path.insert(0, str(ROOT / "samples"))
from make_probe_stand_in import stand_in  # noqa: E402
from pictures import PictureSession  # noqa: E402
from servers import ScriptedServer  # noqa: E402
from winetest import (  # noqa: E402
    ACCEPT, BAR_ID, CANCEL_ID, FOLDER_ID, LOG_ID, MKINSTALLER, NEXT, PATH_ID, SAMPLE, SAMPLE_ENTRY, SETUP_EXE,
    STATUS_ID, STUB_CHOICE, build_installer, click, state)

ENV_SCRIPT = ROOT / "tests" / "wine" / "wine_env.py"
OUTPUT = ROOT / "build" / "sample-setup.exe"
FOLDER = "C:\\Demo\\DemoC"
WIZARD_FOLDER = FOLDER
DOWNLOAD_HOST = "downloads.voranth-tools.example"


def show_run(title, result):
    print(f"{title}: exit code {result.exit_code}")
    for box in result.boxes:
        print(f"  box \"{box.title}\": {box.text!r}  buttons {box.buttons}")


def tree(session, win_path):
    root = session.unix_path(win_path)
    if not root.exists():
        return ["  (nothing)"]
    return [f"  {p.relative_to(root)}{'/' if p.is_dir() else f'  {p.stat().st_size} bytes'}" for p in sorted(root.rglob("*"))]


def main():
    print(STUB_CHOICE["why"])
    print(f"== Packing {SAMPLE.relative_to(ROOT)}/manifest.txt with {MKINSTALLER.relative_to(ROOT)}")
    build_installer(OUTPUT, SAMPLE / "manifest.txt", SAMPLE / "files")
    subprocess.run([str(MKINSTALLER), "verify", str(OUTPUT), "--stub", str(SETUP_EXE)], check=True)

    subprocess.run([sys.executable, str(ENV_SCRIPT), "setup", str(STATE)], check=True, stdout=subprocess.DEVNULL)
    session = PictureSession("demo")
    # The probe tool's installer, served on loopback, slowly enough to watch; Wine's
    # WinINet reaches the vendor's host name through the proxy settings.
    server = ScriptedServer()
    server.routes["/democ/probe-setup.exe"] = ScriptedServer.Response(stand_in(), bytes_per_second=256 * 1024)
    internet = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
    session.reg_add(internet, "ProxyEnable", "REG_DWORD", "1")
    session.reg_add(internet, "ProxyServer", "REG_SZ", f"127.0.0.1:{server.port}")
    try:
        exe = session.install_stub("C:\\Download", source=OUTPUT)
        print(f"\n== Installing headless: {exe} --dir={FOLDER} \"--I agree to the terms of the licence\"")
        show_run("setup.exe", session.run(exe, [f"--dir={FOLDER}", "--I agree to the terms of the licence"], answers=["OK"]))
        print(f"\nFiles under {FOLDER}:")
        print("\n".join(tree(session, FOLDER)))
        print("\nUninstall entry:")
        print(session.wine("reg", "query", SAMPLE_ENTRY).stdout.decode("latin-1").strip())
        manifest = session.unix_path(FOLDER + "\\resources\\manifest")
        lines = manifest.read_bytes().decode("latin-1").split("\r\n")
        links = [line for line in lines if line.endswith(".lnk")]
        print("\nShortcuts:")
        for link in links:
            held = session.read_link(link)
            print(f"  {link.rsplit(chr(92), 1)[-1]} -> {held['target']} {held['arguments']}".rstrip())
        print(f"\nInstalled manifest ({FOLDER}\\resources\\manifest):")
        print("\n".join("  " + line for line in lines if line))

        print(f"\n== Installing again by hand under Xvfb into {WIZARD_FOLDER}, without the examples, with the probe "
              f"tool downloaded from http://{DOWNLOAD_HOST} (served on 127.0.0.1:{server.port})")
        names = ("welcome", "licence", "folder", "progress", "cancel-question", "configuration",
                 "previous-installation", "download", "complete")
        pictures = {name: ROOT / "build" / f"wizard-{name}.png" for name in names}
        result = session.run(exe, [], answers=[
            f"do:shot:{pictures['welcome']}", NEXT,
            ACCEPT, f"do:shot:{pictures['licence']}", NEXT,   # licence, accepted
            "do:clicktext:Example programs", "do:clicktext:** Probe driver tool", f"do:type:{FOLDER_ID}:{WIZARD_FOLDER}",
            f"do:shot:{pictures['folder']}",                                    # folder and components
            click(CANCEL_ID), f"No@shot={pictures['cancel-question']}",            # Cancel asks first
            NEXT, f"Yes@shot={pictures['previous-installation']}",   # remove the installation found there
            f"do:waitfor:{PATH_ID}", "do:select:2", click(PATH_ID),                    # French messages, bin on PATH
            f"do:shot:{pictures['configuration']}", NEXT,
            f"do:shotwhen:{BAR_ID}:{pictures['progress']}",                         # the work, with its log and bar
            f"do:waitfor:{STATUS_ID}", "do:wait:4500", f"do:shot:{pictures['download']}", state(LOG_ID),  # the download
            "do:waitfor:Finish", "do:clicktext:Release notes",
            f"do:shot:{pictures['complete']}", NEXT])                # Finish opens the ticked documents
        show_run("setup.exe (wizard)", result)
        log = result.controls[-1]["text"] if result.controls else ""
        print("The progress log during the download:\n" + "\n".join("  " + line for line in log.splitlines()[-6:]))
        print("Opened through the shell after Finish: " + ", ".join(session.opened_documents(2)))
        print(f"Files under {WIZARD_FOLDER}:")
        print("\n".join(tree(session, WIZARD_FOLDER)))

        print(f"\n== Removing by hand through the installed copy: {FOLDER}\\resources\\setup.exe --remove")
        removal = {name: ROOT / "build" / f"wizard-removal-{name}.png" for name in ("welcome", "complete")}
        result = session.run(f"{FOLDER}\\resources\\setup.exe", ["--remove"], answers=[
            f"do:shot:{removal['welcome']}", NEXT, "Yes",
            "do:waitfor:Finish", f"do:shot:{removal['complete']}", NEXT])
        show_run("setup.exe --remove (wizard)", result)
        for picture in [*pictures.values(), *removal.values()]:
            print(f"Screenshot: {picture}" if picture.exists() else f"No screenshot: {picture}")
        deadline = time.monotonic() + 60
        while session.unix_path(FOLDER).exists() and time.monotonic() < deadline:
            time.sleep(0.5)
        print(f"Left under {FOLDER} once the clean-up script has run:")
        print("\n".join(tree(session, FOLDER)))
        still = session.wine("reg", "query", SAMPLE_ENTRY).returncode == 0
        print(f"Uninstall entry: {'still there' if still else 'gone'}")
        print("Shortcuts: " + ("gone" if not any(session.unix_path(l).exists() for l in links) else "still there"))

        print("\n== The pages at 150% and 200% (144 DPI on the 1024x768 screen, 192 DPI on a 2048x1536 one)")
        scaled = {}
        for dpi, size in ((144, None), (192, "2048x1536")):
            with session.screen(size) if size else contextlib.nullcontext():
                session.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", "REG_DWORD", str(dpi))
                session.wine("reg", "delete", SAMPLE_ENTRY, "/f")
                shots = {name: ROOT / "build" / f"wizard-{dpi}dpi-{name}.png"
                         for name in ("welcome", "licence", "folder", "configuration", "complete")}
                scaled.update({f"{dpi}-{name}": path for name, path in shots.items()})
                show_run(f"setup.exe at {dpi} DPI", session.run(exe, [], answers=[
                    f"do:shot:{shots['welcome']}", NEXT, ACCEPT, f"do:shot:{shots['licence']}", NEXT,
                    f"do:type:{FOLDER_ID}:C:\\Scaled{dpi}", f"do:shot:{shots['folder']}", NEXT,
                    f"do:waitfor:{PATH_ID}", f"do:shot:{shots['configuration']}", NEXT,
                    "do:waitfor:Finish", f"do:shot:{shots['complete']}", NEXT]))
        session.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", "REG_DWORD", "96")

        print("\n== The pages in German and French (--ui-language=de, --ui-language=fr)")
        for language, finish in (("de", "Fertig"), ("fr", "Terminer")):
            session.wine("reg", "delete", SAMPLE_ENTRY, "/f")
            shots = {name: ROOT / "build" / f"wizard-{language}-{name}.png"
                     for name in ("welcome", "licence", "folder", "configuration", "complete")}
            scaled.update({f"{language}-{name}": path for name, path in shots.items()})
            show_run(f"setup.exe --ui-language={language}", session.run(exe, [f"--ui-language={language}"], answers=[
                f"do:shot:{shots['welcome']}", NEXT, ACCEPT, f"do:shot:{shots['licence']}", NEXT,
                f"do:type:{FOLDER_ID}:C:\\{language}", f"do:shot:{shots['folder']}", NEXT,
                f"do:waitfor:{PATH_ID}", f"do:shot:{shots['configuration']}", NEXT,
                f"do:waitfor:{finish}", f"do:shot:{shots['complete']}", NEXT]))
        for picture in scaled.values():
            print(f"Screenshot: {picture}" if picture.exists() else f"No screenshot: {picture}")
    finally:
        server.close()
        session.close()
        subprocess.run([sys.executable, str(ENV_SCRIPT), "cleanup", str(STATE)], check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
