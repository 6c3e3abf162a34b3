"""Harness for the tests that run the real installer under Wine.

Each test class gets a private copy of the booted prefix (WineSession) and runs
programs through the robot, which logs and answers every message box.
"""
import contextlib
import gzip
import hashlib
import itertools
import json
import os
import pwd
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from dataclasses import dataclass, field
from pathlib import Path

from wine_env import launch_xvfb, stub_choice

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

ROOT = Path(__file__).resolve().parents[2]
STATE_DIR = Path(os.environ.get("WINE_STATE_DIR", ROOT / "build/native/wine"))
# The shipped stub is the 32-bit one: Wine runs it as 64-bit Windows does (WoW64), where
# this machine runs 32-bit programs at all; elsewhere the x86-64 stub stands in (wine_env.py).
STUB_CHOICE = stub_choice(STATE_DIR)
RUNS_32_BIT = STUB_CHOICE["bits"] == 32
SETUP_EXE_32, SETUP_EXE_64 = ROOT / "dist/win32/setup.exe", ROOT / "dist/win64/setup.exe"
SETUP_EXE = Path(os.environ.get("INSTALLER_SETUP_EXE") or ROOT / f"dist/win{STUB_CHOICE['bits']}/setup.exe")
HELPERS_DIR = Path(os.environ.get("INSTALLER_HELPERS_DIR") or ROOT / f"build/win{STUB_CHOICE['bits']}/tests/helpers")
HELPERS_DIR_64 = ROOT / "build/win64/tests/helpers"  # where a test needs a 64-bit program
MKINSTALLER = Path(os.environ.get("INSTALLER_MKINSTALLER", ROOT / "dist/linux/mkinstaller"))
SAMPLES_DIR = ROOT / "samples"
SAMPLE = SAMPLES_DIR / "sample-product"

# The largest folders of a booted prefix never change: they are linked, not copied.
LINKED_FOLDERS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs")


def program_bits(path):
    """32 or 64: what a Windows program's machine field says."""
    head = Path(path).read_bytes()[:4096]
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return 64 if head[pe + 4:pe + 6] == b"\x64\x86" else 32


STUB_BITS = program_bits(SETUP_EXE) if SETUP_EXE.exists() else 32
# Where the stub installs by default, and the registry view it writes SOFTWARE keys in.
PROGRAM_FILES = "C:\\Program Files (x86)" if STUB_BITS == 32 else "C:\\Program Files"


# Keys several tests read: the programs list, the sample's entry and product key, PATH.
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
SAMPLE_ENTRY = UNINSTALL + "DemoC 1.20PL1"
SAMPLE_PRODUCT = "HKLM\\SOFTWARE\\Voranth\\DemoC\\1.20"
ENVIRONMENT = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
FATAL = "Fatal error"

# The option that accepts the licence; with --dir= it makes a run headless.
LICENCE = "--I agree to the terms of the licence"


def control_ids():
    """The wizard's control identifiers, read from the header the window numbers them in."""
    found = re.findall(r"constexpr int (k\w+) = (\w+);", (ROOT / "src/win/control_ids.h").read_text())
    return {name: 2 if value == "IDCANCEL" else int(value) for name, value in found}


_IDS = control_ids()
NEXT_ID, BACK_ID, CANCEL_ID, STATUS_ID, PAGE_TEXT_ID = (_IDS[k] for k in ("kNext", "kBack", "kCancel", "kStatus", "kPageText"))
FOLDER_ID, FIRST_COMPONENT_ID, LICENCE_ID, ACCEPT_ID = (_IDS[k] for k in ("kFolder", "kFirstComponent", "kLicenceText", "kAccept"))
PATH_ID, LOG_ID, BAR_ID = _IDS["kAddPath"], _IDS["kLog"], _IDS["kBar"]  # PATH_ID: the configuration page's path box
REMOVE_ID, REPAIR_ID, ROW_ID = _IDS["kRemove"], _IDS["kRepair"], _IDS["kCompletionRow"]  # ROW_ID: the completion rows


def wait_until(condition, seconds, failure, step=0.1):
    """Waits for the state `condition` tests; fails with `failure` after `seconds`."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(failure)
        time.sleep(step)


def click(ident):
    return f"do:click:{ident}"


def state(ident):
    return f"do:state:{ident}"


# Wizard steps: Next, Back, ticking the licence; from the welcome page to the
# install-folder page; and, once the work is done, Finish.
NEXT, BACK, ACCEPT = click(NEXT_ID), click(BACK_ID), click(ACCEPT_ID)
TO_FOLDER_PAGE = [NEXT, ACCEPT, NEXT]
# The question Cancel asks before the last page.
CANCEL = ("Cancel setup", "Setup is not complete;\nare you sure you want to quit?")
FINISH = ["do:waitfor:Finish", NEXT]


def quote_args(args):
    """The command-line text for a list of arguments, quoting those with blanks."""
    out = []
    for arg in args:
        out.append(f'"{arg}"' if (not arg or any(c in arg for c in " \t")) else arg)
    return " ".join(out)


@dataclass
class Box:
    title: str
    text: str
    buttons: list
    answer: str


@dataclass
class RunResult:
    exit_code: int
    boxes: list = field(default_factory=list)
    timed_out: bool = False
    milliseconds: int = 0        # from start to exit, as the robot saw it
    lifetime: float = 0          # seconds from the process's creation to its exit, as the system recorded them
    peak_working_set: int = 0    # bytes
    peak_private_bytes: int = 0  # bytes, the most seen while the program ran
    controls: list = field(default_factory=list)  # what "do:state:ID" logged, in order
    control_lists: list = field(default_factory=list)  # what each "do:controls" logged: the visible controls
    windows: list = field(default_factory=list)   # what "do:window" logged
    frames: list = field(default_factory=list)    # and the window's and the work area's rectangles, on the screen
    focus: list = field(default_factory=list)     # the focused control at each "do:focus" (None: none)
    marks: list = field(default_factory=list)     # milliseconds since the start at each "do:mark"
    stdout: str = ""                              # what the program wrote to its standard output
    stderr: str = ""                              # and to its standard error

    def box_texts(self):
        return [(b.title, b.text) for b in self.boxes]


def mkinstaller(*args):
    """Runs the builder; returns its completed process (check it yourself)."""
    return subprocess.run([str(MKINSTALLER), *map(str, args)], capture_output=True, text=True)


def build_installer(output, manifest, root, stub=None, referral=None):
    """Builds an installer with mkinstaller, failing the caller on any fault."""
    args = ["build", "--stub", stub or SETUP_EXE, "--manifest", manifest, "--root", root, "-o", output]
    if referral is not None:
        args += ["--referral", referral]
    done = mkinstaller(*args)
    if done.returncode != 0:
        raise AssertionError(f"mkinstaller failed: {done.stderr}")
    return Path(output)


def pack_by_hand(output, manifest, records, stub=None):
    """An installer made as the builder would make it, but without its checks: the
    stub, then the payload holding `manifest` (signed for the stub) and `records`
    (the bytes of each resource and file, in payload order)."""
    program = Path(stub or SETUP_EXE).read_bytes()
    text = (program[23040:23056].hex().upper() + "\r\n" + manifest).encode("latin-1")
    stream = b"".join(len(b).to_bytes(4, "little") + b for b in (text, *records))
    member = gzip.compress(stream, mtime=0)
    offset = max(204800, (len(program) + 1023) // 1024 * 1024)
    end = offset + 20 + len(member)
    header = bytes(0xA3 - i for i in range(8)) + b"".join(
        n.to_bytes(4, "little") for n in (len(program), end - 1024, 1024))
    data = program + bytes(offset - len(program)) + header + member
    Path(output).write_bytes(data + hashlib.md5(data[1024:end]).digest())
    return Path(output)


def build_sample_variant(session, name, edits=(), files=None, resources=None, stub=None):
    """Builds the sample product (on the stub given, else SETUP_EXE) with its manifest
    edited ((old, new) text pairs), product files added ({relative path: bytes}) and
    resource files put beside the manifest ({name: bytes}); puts the installer in
    C:\\Download and returns its Windows path."""
    sample = SAMPLES_DIR / "sample-product"
    folder = session.root / name
    shutil.copytree(sample, folder)
    text = (sample / "manifest.txt").read_text()
    for old, new in edits:
        if old not in text:
            raise AssertionError(f"the sample manifest has no {old!r}")
        text = text.replace(old, new, 1)
    (folder / "manifest.txt").write_text(text)
    for resource, data in (resources or {}).items():
        (folder / resource).write_bytes(data)
    for relative, data in (files or {}).items():
        path = folder / "files" / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    installer = build_installer(session.root / f"{name}.exe", folder / "manifest.txt", folder / "files", stub)
    return session.install_stub("C:\\Download", f"{name}.exe", source=installer)


def tool_feature(*installers, required=True):
    """Manifest edits adding the feature "The tool" (its component required unless
    told) whose installers are the (source, arguments, extra lines) entries, tried in
    order; the source TOOLSETUP names the resource tool-setup.exe, which the caller puts
    beside the manifest."""
    lines = "".join(f"Installer={source}\n{extra}Arguments={arguments}\n" for source, arguments, extra in installers)
    component = "Component=Tool\n" + ("Required=yes\n" if required else "") + "Tool\nComponent=Examples\n"
    edits = [("[Registry]", f"Feature=Tool\nDescription=The tool\nErrmess=See the maker.\n{lines}[Registry]"),
             ("Component=Examples\n", component)]
    if any(source == "TOOLSETUP" for source, _, _ in installers):
        edits.append(("ICONUN=uninstall.ico\n", "ICONUN=uninstall.ico\nTOOLSETUP=tool-setup.exe\n"))
    return edits


class WineSession:
    """A private copy of the base prefix with its own Wine server."""

    def __init__(self, name, registry_view=STUB_BITS):
        base = STATE_DIR / "base-prefix"
        if not base.is_dir():
            raise unittest.SkipTest("no booted Wine prefix: run the wine_setup test first")
        runs = STATE_DIR / "runs"
        runs.mkdir(parents=True, exist_ok=True)
        self.root = Path(tempfile.mkdtemp(prefix=name + "-", dir=runs))
        self.prefix = self.root / "prefix"
        self._copy_prefix(base, self.prefix)
        display_file = STATE_DIR / "display"
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if display_file.exists():
            self.env["DISPLAY"] = display_file.read_text().strip()
        self._runs = itertools.count(1)
        self.registry_view = registry_view
        # The prefix hands .pdf documents to this recorder (see wine_env.py).
        self.install_stub("C:\\Opened", "open.exe", source=HELPERS_DIR / "record_open.exe")

    @staticmethod
    def _copy_prefix(base, target):
        def ignore(folder, names):
            rel = Path(folder).relative_to(base)
            return [n for n in names if str(rel / n) in LINKED_FOLDERS]
        shutil.copytree(base, target, symlinks=True, ignore=ignore)
        for rel in LINKED_FOLDERS:
            subprocess.run(["cp", "-al", str(base / rel), str(target / rel)], check=True)

    def stop_server(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        self.stop_server()
        shutil.rmtree(self.root, ignore_errors=True)

    @contextlib.contextmanager
    def window_held(self, class_name, messages=None):
        """Keeps a top-level window of the class open inside (hold_window.exe); with
        `messages`, a file to which it adds each setting change broadcast to it."""
        ready = self.root / f"{class_name}-ready"
        command = [HELPERS_DIR / "hold_window.exe", class_name, self.win_path(ready)]
        holder = self.start_helper(command + ([self.win_path(messages)] if messages else []), ready)
        try:
            yield
        finally:
            ready.unlink(missing_ok=True)
            try:
                holder.wait(timeout=30)
            except subprocess.TimeoutExpired:
                holder.kill()
                holder.wait()

    def start_helper(self, command, ready):
        """Starts a helper that makes the file `ready` once it is in place; fails with
        what happened (its exit status, Wine's standard error) when it ends first."""
        errors = ready.with_name(ready.name + ".stderr")
        with errors.open("wb") as stderr:
            helper = subprocess.Popen([WINE, *map(str, command)], env=self.env, stdout=subprocess.DEVNULL, stderr=stderr)
        wait_until(lambda: ready.exists() or helper.poll() is not None, 60, f"{command[0]} did not get ready")
        if not ready.exists():
            said = errors.read_text(encoding="latin-1").strip()[-2000:] or "(nothing on standard error)"
            raise AssertionError(f"{command[0]} under {WINE} ended with status {helper.returncode} before it "
                                 f"was ready:\n{said}")
        return helper

    @contextlib.contextmanager
    def screen(self, size):
        """Runs inside on a screen of its own of the size (WIDTHxHEIGHT). The prefix's
        Wine server stops on the way in and out: its programs learn the screen's size
        when it starts."""
        self.stop_server()
        xvfb, display = launch_xvfb(size)
        shared, self.env["DISPLAY"] = self.env.get("DISPLAY"), display
        try:
            yield
        finally:
            self.stop_server()
            self.env.pop("DISPLAY")
            if shared:
                self.env["DISPLAY"] = shared
            xvfb.terminate()
            xvfb.wait()

    # Paths -------------------------------------------------------------------

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def user_temp(self):
        """The folder TEMP names for the prefix's user."""
        return self.drive_c / "users" / pwd.getpwuid(os.getuid()).pw_name / "Temp"

    def win_path(self, path):
        """The Windows path of a Unix path (C: inside the prefix, Z: elsewhere)."""
        path = Path(path).resolve()
        try:
            rel = path.relative_to(self.drive_c.resolve())
            return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def unix_path(self, win_path):
        """The Unix path of a path on drive C: of the prefix."""
        assert win_path[:3].upper() == "C:\\", win_path
        return self.drive_c / win_path[3:].replace("\\", "/")

    def install_stub(self, win_folder, name="setup.exe", source=None):
        """Copies the installer (or another file) to a folder on drive C:; returns its Windows path."""
        folder = self.unix_path(win_folder)
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source or SETUP_EXE, folder / name)
        return win_folder.rstrip("\\") + "\\" + name

    # Running -----------------------------------------------------------------

    def wine(self, *args, timeout=120, check=False, **kwargs):
        # The registry as the stub sees it, unless a view is named (/reg:32, /reg:64).
        if args and args[0] == "reg" and not any(str(a).lower().startswith("/reg:") for a in args):
            args = (*args, f"/reg:{self.registry_view}")
        return subprocess.run([WINE, *map(str, args)], env=self.env, timeout=timeout, check=check,
                              capture_output=True, **kwargs)

    def run(self, exe, args=(), raw_args=None, answers=(), env=None, timeout=60):
        """Runs a program under the robot. `args` are quoted as needed; `raw_args`
        is given as the command-line text exactly. Items of `answers` starting with
        "do:" act on the wizard window; the others answer boxes. Returns its exit
        code, boxes and whatever the actions logged."""
        number = next(self._runs)  # runs may go side by side, from threads
        log = self.root / f"robot-{number}.log"
        streams = {name: self.root / f"robot-{number}.{name}" for name in ("stdout", "stderr")}
        command = [HELPERS_DIR / "robot.exe", "--log", self.win_path(log), "--timeout", str(timeout)]
        for name, path in streams.items():
            command += [f"--{name}", self.win_path(path)]
        for answer in answers:
            command += ["--do", answer[3:]] if answer.startswith("do:") else ["--answer", answer]
        for name, value in (env or {}).items():
            command += ["--env", f"{name}={value}"]
        exe_path = exe if isinstance(exe, str) else self.win_path(exe)
        command += ["--exe", exe_path]
        text = raw_args if raw_args is not None else quote_args(list(args))
        if text:
            command += ["--args", text]
        self._run_robot(command, timeout + 30, log)
        result = RunResult(exit_code=-1)
        result.stdout, result.stderr = (p.read_text(encoding="latin-1") if p.exists() else "" for p in streams.values())
        for line in log.read_text(encoding="latin-1").splitlines():
            entry = json.loads(line)
            if "box" in entry:
                result.boxes.append(Box(**entry["box"]))
            elif "exit" in entry:
                result.exit_code = entry["exit"]
                result.milliseconds = entry.get("milliseconds", 0)
                result.lifetime = entry.get("lifetime_us", 0) / 1e6
                result.peak_working_set = entry.get("peak_working_set", 0)
                result.peak_private_bytes = entry.get("peak_private_bytes", 0)
            elif "control" in entry:
                result.controls.append(entry)
            elif "controls" in entry:
                result.control_lists.append(entry["controls"])
            elif "window" in entry:
                result.windows.append(entry["window"])
                result.frames.append((entry["frame"], entry["work"]))
            elif "focus" in entry:
                result.focus.append(entry["focus"])
            elif "mark" in entry:
                result.marks.append(entry["mark"])
            elif "timeout" in entry:
                result.timed_out = True
            elif "error" in entry:
                raise RuntimeError(f"robot: {entry}")
        return result

    def _run_robot(self, command, timeout, log):
        done = self.wine(*command, timeout=timeout)
        self.check_record(command[0], done.returncode, done.stderr, log)

    @staticmethod
    def check_record(program, status, stderr, log):
        """Fails with what happened when the robot left no record of the run (it could
        not start, say): the program, Wine's exit status and standard error. What counts
        is the record; Wine's own exit status can be spoilt after the robot wrote it."""
        text = log.read_text(encoding="latin-1") if log.exists() else ""
        if '"exit":' not in text and '"error":' not in text:
            said = stderr.decode("latin-1", "replace").strip()[-2000:] or "(nothing on standard error)"
            raise AssertionError(f"{program} under {WINE} ended with status {status} and left no record "
                                 f"of the run in {log.name}:\n{said}")

    def probe(self, installer, steps=(), answers=(), env=None):
        """Runs steps of the installer's own code on an installer file (see
        payload_probe.cpp); returns the run and the values it reported."""
        exe = installer if isinstance(installer, str) else self.install_stub("C:\\Probe", installer.name, source=installer)
        report = self.root / "report.txt"
        report.unlink(missing_ok=True)
        result = self.run(HELPERS_DIR / "payload_probe.exe", [self.win_path(report), exe, *steps],
                          answers=list(answers), env=env)
        values = {}
        if report.exists():
            for line in report.read_text(encoding="latin-1").splitlines():
                name, _, value = line.partition("=")
                values[name] = value
        return result, values

    @contextlib.contextmanager
    def held(self, win_path):
        """Holds a file open without sharing (hold_file.exe) inside, as another program
        that uses it would; lets it go on the way out."""
        ready = self.root / "hold_file.ready"
        ready.unlink(missing_ok=True)
        holder = self.start_helper([HELPERS_DIR / "hold_file.exe", win_path, self.win_path(ready)], ready)
        try:
            yield holder
        finally:
            holder.kill()
            holder.wait()

    def gone(self, win_path):
        """Whether the path is gone once the clean-up script (which ends after the run)
        has had its time; fails the caller with what is left."""
        root = self.unix_path(win_path)
        try:
            wait_until(lambda: not root.exists(), 60, "", step=0.5)
        except AssertionError:
            raise AssertionError(f"left: {sorted(str(p) for p in root.rglob('*'))}") from None
        return True

    def read_link(self, link_win_path):
        """What a shell link holds, read back through IShellLinkA."""
        out = self.root / "link.json"
        out.unlink(missing_ok=True)
        self.wine(HELPERS_DIR / "read_link.exe", link_win_path, self.win_path(out), check=True)
        return json.loads(out.read_text(encoding="latin-1"))

    # Registry ----------------------------------------------------------------

    def reg_query(self, key, name=None, view=None):
        """(type, data) of a registry value, or None when it is absent. name None
        reads the key's default value; view 32 or 64 names the registry view."""
        args = ["reg", "query", key] + (["/ve"] if name is None else ["/v", name]) + ([f"/reg:{view}"] if view else [])
        out = self.wine(*args)
        if out.returncode != 0:
            return None
        # Value lines are "    NAME    TYPE    DATA"; names may hold single blanks.
        for line in out.stdout.decode("latin-1").splitlines():
            if not line.startswith("    "):
                continue
            parts = line[4:].split("    ", 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) > 2 else ""
        return None

    def opened_documents(self, expected=0, timeout=20):
        """The documents opened through the shell so far, in the order they were
        opened. The shell starts the recorder without waiting, so this waits for
        `expected` entries."""
        record = self.unix_path("C:\\Opened\\opened.txt")
        deadline = time.monotonic() + timeout
        while True:
            lines = record.read_text().splitlines() if record.exists() else []
            if len(lines) >= expected or time.monotonic() > deadline:
                return [line.split(" ", 1)[1] for line in sorted(lines, key=lambda line: int(line.split(" ", 1)[0]))]
            time.sleep(0.2)

    def reg_add(self, key, name, kind, data):
        self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", check=True)


class WineTestCase(unittest.TestCase):
    """One private prefix for all tests of a class. REGISTRY_VIEW: the view its
    registry reads and writes use; the payload probe's classes read the 64-bit one
    its code writes."""
    REGISTRY_VIEW = STUB_BITS
    NEEDS_32_BIT = False  # a class that runs the 32-bit stub whatever stands in for it

    @classmethod
    def setUpClass(cls):
        if cls.NEEDS_32_BIT and not RUNS_32_BIT:
            raise unittest.SkipTest(STUB_CHOICE["why"])
        cls.session = WineSession(cls.__name__, cls.REGISTRY_VIEW)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def forget_sample_installations(self):
        """Deletes the sample's uninstall entry that an earlier test of the class left:
        one version lives in one folder, and each test installs into its own."""
        self.session.wine("reg", "delete", SAMPLE_ENTRY, "/f")

    def assertBoxes(self, result, expected):
        """The boxes shown, as (title, text) pairs, in order."""
        self.assertEqual(result.box_texts(), expected)
