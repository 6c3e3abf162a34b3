"""Faults that must leave installations true to their records: a removal asked of
the wrong program, a file held open, a failure, a Cancel or a kill part-way, two
installers at once, resources kept elsewhere, another account's removal. (Which
lines a removal may touch, what a reinstall keeps, and that a journal stopped after
any step is taken back whole, are proved natively.)"""
import subprocess
import sys
import threading
import unittest

from winetest import (BAR_ID, CANCEL, CANCEL_ID, ENVIRONMENT, FATAL, FOLDER_ID, LICENCE, NEXT, PAGE_TEXT_ID, PATH_ID,
                      SAMPLE_ENTRY, SAMPLES_DIR, TO_FOLDER_PAGE, UNINSTALL, WINE, WineTestCase, build_installer,
                      build_sample_variant, click, state, wait_until)


class RemovalSafetyTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = build_sample_variant(cls.session, "sample")

    def test_the_downloaded_installer_refuses_to_remove(self):
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Real", LICENCE]).exit_code, 0)
        refusal = (FATAL, "This installer cannot remove an installation.\nRemove it through its uninstall "
                                  "entry, or run resources\\setup.exe --remove in its folder.")
        for args in (["--remove-silently"], ["--remove", "--dir=C:\\Real", LICENCE]):
            result = self.session.run(self.exe, args, answers=["OK"])
            self.assertBoxes(result, [refusal])
            self.assertEqual(result.exit_code, 1)
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"), ("REG_SZ", "C:\\Real"))
        self.assertTrue(self.session.unix_path("C:\\Real\\bin\\democc.exe").exists())

    def test_a_held_file_stops_the_removal_which_can_run_again(self):
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Held", LICENCE]).exit_code, 0)
        question = ("Can't delete file", "The file C:\\Held\\bin\\demolink.exe cannot be deleted -\n"
                                         "close any other applications that may be using it")
        copy = "C:\\Held\\resources\\setup.exe"
        with self.session.held("C:\\Held\\bin\\demolink.exe"):
            result = self.session.run(copy, ["--remove-silently"], answers=["Abort", "OK"])
        self.assertBoxes(result, [question, (FATAL, "Removal stopped: C:\\Held\\bin\\demolink.exe could not be "
                                             "deleted.\nThe installation is still registered; remove it again once "
                                             "the file is free.")])
        self.assertEqual(result.exit_code, 1602)
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"), ("REG_SZ", "C:\\Held"))
        # Run again once the file is free: everything goes.
        result = self.session.run(copy, ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertFalse(self.session.unix_path("C:\\Held\\bin\\demolink.exe").exists())
        self.assertIsNone(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"))

    def test_a_file_held_during_the_wizards_copy_is_replaced_at_the_restart(self):
        self.forget_sample_installations()
        self.session.unix_path("C:\\Waits\\bin").mkdir(parents=True)
        with self.session.held("C:\\Waits\\bin\\democc.exe"):
            result = self.session.run(self.exe, [], answers=TO_FOLDER_PAGE + [
                f"do:type:{FOLDER_ID}:C:\\Waits", NEXT, NEXT, "Ignore", "do:waitfor:Finish", f"do:state:{PAGE_TEXT_ID}",
                NEXT])
        self.assertEqual([(box.title, box.answer) for box in result.boxes], [("Can't create file", "Ignore")])
        self.assertEqual(result.exit_code, 3010)
        self.assertEqual(result.controls[0]["text"], "Congratulations!\nDemoC Compiler Suite version 1.20PL1 has been "
                         "successfully installed\n\nSome files were in use. Restart the computer to finish: they are "
                         "replaced or removed then.")
        self.assertTrue(self.session.unix_path("C:\\Waits\\bin\\democc.exe.vr-new").exists())
        self.forget_sample_installations()


IN_PROGRESS = ("Installation in progress",
               "Another installation is in progress on this computer.\nTry again once it has ended.")


class RollbackTest(WineTestCase):
    def blocked_folder(self, name):
        """A folder the sample cannot be installed into (a file stands where its
        include folder must go), holding the user's own files."""
        folder = self.session.unix_path(name)
        (folder / "bin").mkdir(parents=True)
        (folder / "bin/democc.exe").write_bytes(b"the user's own build")
        (folder / "include").write_text("a file where a folder must be")
        return folder

    def test_a_failure_part_way_takes_back_what_the_run_made_and_restores_what_it_overwrote(self):
        exe = build_sample_variant(self.session, "sample")
        folder = self.blocked_folder("C:\\Halfway")
        result = self.session.run(exe, ["--dir=C:\\Halfway", LICENCE], answers=["OK"])
        self.assertBoxes(result, [(FATAL, "Folder C:\\Halfway\\include exists but is not a folder!")])
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(sorted(str(p.relative_to(folder)) for p in folder.rglob("*")),
                         ["bin", "bin/democc.exe", "include"])
        self.assertEqual((folder / "bin/democc.exe").read_bytes(), b"the user's own build")
        self.assertEqual(self.session.wine("reg", "query", "HKLM\\SOFTWARE\\Voranth").returncode, 1)
        self.assertIsNone(self.session.reg_query(SAMPLE_ENTRY, "UninstallString"))

    def test_a_failed_wizard_run_takes_back_the_language_and_the_path_entry(self):
        exe = build_sample_variant(self.session, "wizard")
        self.blocked_folder("C:\\Chosen")
        path = self.session.reg_query(ENVIRONMENT, "PATH")
        told = self.session.root / "setting-changes"
        with self.session.window_held("PathWatcher", told):
            result = self.session.run(exe, [], answers=TO_FOLDER_PAGE + [
                f"do:type:{FOLDER_ID}:C:\\Chosen", NEXT, "do:select:2", click(PATH_ID), NEXT, "OK"])
        self.assertBoxes(result, [(FATAL, "Folder C:\\Chosen\\include exists but is not a folder!")])
        self.assertEqual(self.session.reg_query(ENVIRONMENT, "PATH"), path)
        # Running programs are told of the entry and then of its removal.
        self.assertEqual(told.read_text().split(), ["Environment", "Environment"])
        self.assertEqual(self.session.wine("reg", "query", "HKLM\\SOFTWARE\\Voranth").returncode, 1)


def large_installer(session, name="large", *options):
    """The large synthetic product (about 1,300 files) as an installer, its file count
    and the last file it writes (relative to the installation folder)."""
    product = session.root / name
    subprocess.run([sys.executable, str(SAMPLES_DIR / "make_large_product.py"), str(product), *options], check=True)
    folder = last = ""
    for line in (product / "manifest.txt").read_text().split("[Features]", 1)[1].split("[Components]")[0].splitlines():
        if line.endswith("/"):
            folder = line.rstrip("/").replace("/", "\\")
        elif line and "=" not in line:
            last = f"{folder}\\{line.split(chr(9))[0]}"
    return build_installer(session.root / f"{name}.exe", product / "manifest.txt", product / "files"), \
        sum(1 for p in (product / "files").rglob("*") if p.is_file()), last


def file_count(root):
    return sum(1 for p in root.rglob("*") if p.is_file()) if root.exists() else 0


class InterruptionTest(WineTestCase):
    """The large product, cancelled, killed and installed twice at once."""
    PRODUCT = "HKLM\\SOFTWARE\\Voranth\\LargeSuite\\2.0"
    ENTRY = UNINSTALL + "LargeSuite 2.0PL0"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        installer, cls.files, cls.last_file = large_installer(cls.session)
        cls.exe = cls.session.install_stub("C:\\Download", "large.exe", source=installer)
        # The same version built again, every file changed: installed over the first, each is backed up.
        rebuilt, _, _ = large_installer(cls.session, "rebuilt", "--changed", "100")
        cls.rebuilt_exe = cls.session.install_stub("C:\\Download", "rebuilt.exe", source=rebuilt)

    def kill_when(self, folder, ready, exe=None):
        """Starts a headless install into the folder and kills it (kill -9) once
        ready(its files so far) holds."""
        root = self.session.unix_path(folder)
        process = subprocess.Popen([WINE, exe or self.exe, f"--dir={folder}", LICENCE, "--unattended"], env=self.session.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: ready(file_count(root)) or process.poll() is not None, 120, "no files came", step=0.01)
        self.assertIsNone(process.poll(), "the run ended before it could be killed")
        process.kill()
        process.wait()

    def kill_at_the_last_file(self, folder):
        """Starts an installation into the folder and kills it (as a power cut would)
        while it waits on its last file, held open: every other file is written. Returns
        the held file and the folders made for it, the deepest first."""
        held = self.session.unix_path(f"{folder}\\{self.last_file}")
        made = [p for p in held.parents if not p.exists()]
        for path in reversed(made):
            path.mkdir()
        with self.session.held(self.session.win_path(held)):
            killed = self.session.run(self.exe, [f"--dir={folder}", LICENCE], answers=["kill"], timeout=180)
        self.assertEqual([box.title for box in killed.boxes], ["Can't create file"])
        return held, made

    def assertNothingLeft(self, folder):
        self.session.gone(folder)
        for key in (self.PRODUCT, self.ENTRY):
            self.assertEqual(self.session.wine("reg", "query", key).returncode, 1, key)
        self.assertEqual([p.name for p in self.session.user_temp().glob("vr*") if p.is_dir()], [])
        self.assertFalse((self.session.drive_c / "ProgramData/VORANTH Software").exists())

    def test_runs_killed_part_way_are_taken_back_by_the_next_run(self):
        log = self.session.root / "next.log"
        taken_back = "An installation into C:\\Killed was interrupted before it ended."
        # At about a quarter: the next installation takes it back first, then installs.
        self.kill_when("C:\\Killed", lambda count: count >= self.files // 4)
        self.assertTrue(list((self.session.drive_c / "ProgramData/VORANTH Software/Setup journals").glob("*.journal")))
        result = self.session.run(self.exe, ["--dir=C:\\Killed", LICENCE, f"--log={self.session.win_path(log)}"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertIn(taken_back, log.read_text(encoding="latin-1"))
        self.assertEqual(file_count(self.session.unix_path("C:\\Killed")), self.files + 6)  # and the resources
        # Its rebuild installed over it, killed at three quarters: the installed copy's
        # removal takes that back (the files it overwrote come back) and removes all.
        self.kill_when("C:\\Killed", lambda count: count >= self.files + 6 + self.files * 3 // 4,  # with backups
                       self.rebuilt_exe)
        result = self.session.run("C:\\Killed\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertNothingLeft("C:\\Killed")
        # At its last file, every other written: a wizard takes it back with a notice (the
        # held file and its folders, which the test made, are left); then it installs, and
        # its removal leaves nothing.
        held, made = self.kill_at_the_last_file("C:\\Killed")
        result = self.session.run(self.exe, [], answers=["OK", "do:close"])
        self.assertBoxes(result, [("Interrupted installation", taken_back + "\nWhat it had done has been taken back.")])
        held.unlink()
        for path in made:
            path.rmdir()
        self.assertFalse(self.session.unix_path("C:\\Killed").exists())
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Killed", LICENCE]).exit_code, 0)
        result = self.session.run("C:\\Killed\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertNothingLeft("C:\\Killed")

    def test_one_installation_at_a_time(self):
        # While one installs (it waits at its last file, held open, every other written),
        # a second headless run is turned away at once and a wizard offers Retry or
        # Cancel; the first completes once the file is free.
        self.addCleanup(self.session.run, "C:\\Twice\\resources\\setup.exe", ["--remove-silently"])
        held = self.session.unix_path(f"C:\\Twice\\{self.last_file}")
        held.parent.mkdir(parents=True)
        go = self.session.root / "go"
        results = {}

        def run(name, args, answers=()):
            results[name] = self.session.run(self.exe, args, answers=answers, timeout=180)
        first = threading.Thread(target=run, args=("first", ["--dir=C:\\Twice", LICENCE],
                                                   [f"Retry@after={self.session.win_path(go)}"]))
        with self.session.held(self.session.win_path(held)):
            first.start()
            wait_until(lambda: file_count(self.session.unix_path("C:\\Twice")) >= self.files, 120,
                       "the first installation did not reach its last file")
            run("headless", ["--dir=C:\\Twice", LICENCE])
            run("wizard", [], ["Cancel"])
        go.touch()
        first.join()
        self.assertEqual((results["first"].exit_code, [b.title for b in results["first"].boxes]),
                         (0, ["Can't create file"]))
        self.assertEqual((results["headless"].exit_code, results["headless"].boxes), (1618, []))
        self.assertEqual(results["headless"].stderr, f"{IN_PROGRESS[0]}: {IN_PROGRESS[1]}\n")
        self.assertEqual((results["wizard"].exit_code, results["wizard"].box_texts()), (1618, [IN_PROGRESS]))
        self.assertEqual(sorted(results["wizard"].boxes[0].buttons), ["Cancel", "Retry"])
        self.assertEqual(file_count(self.session.unix_path("C:\\Twice")), self.files + 6)

    def test_cancel_during_the_copy_takes_back_everything(self):
        # Cancel once the bar has moved (the copy under way); the run waits while the question is open.
        result = self.session.run(self.exe, [], answers=TO_FOLDER_PAGE + [
            f"do:type:{FOLDER_ID}:C:\\Cancelled", NEXT, NEXT, f"do:waitfor:{BAR_ID}", click(CANCEL_ID), "Yes"])
        self.assertEqual((result.exit_code, result.box_texts()), (1602, [CANCEL]))
        self.assertFalse(self.session.unix_path("C:\\Cancelled").exists())
        self.assertEqual(self.session.wine("reg", "query", self.PRODUCT).returncode, 1)


class InstallationRecordTest(WineTestCase):
    ELSEWHERE = ("This version is already installed in C:\\B1.\nInstall into that folder, or first remove the "
                 "installation there: through its entry in the list of programs, or with resources\\setup.exe "
                 "--remove in that folder.")

    def test_the_wizard_refuses_the_same_version_in_another_folder_on_the_folder_page(self):
        # Headless, the refusal ends the run with 1638 (the trial).
        exe = build_sample_variant(self.session, "sample")
        self.assertEqual(self.session.run(exe, ["--dir=C:\\B1", LICENCE]).exit_code, 0)
        result = self.session.run(exe, [], answers=TO_FOLDER_PAGE + [
            f"do:type:{FOLDER_ID}:C:\\B2", NEXT, "OK", state(FOLDER_ID), "do:close"])
        self.assertBoxes(result, [("Already installed", self.ELSEWHERE)])
        self.assertTrue(result.controls[0]["visible"])
        self.assertFalse(self.session.unix_path("C:\\B2").exists())
        self.assertEqual(self.session.run("C:\\B1\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)

    def test_another_account_removes_the_shortcuts_the_installation_made(self):
        exe = build_sample_variant(self.session, "accounts")
        self.assertEqual(self.session.run(exe, ["--dir=C:\\Shared", LICENCE]).exit_code, 0)
        programs = self.session.user_temp().parent / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
        links = programs / "VORANTH Software/DemoC Compiler Suite"
        self.assertTrue((links / "Read me.lnk").exists())
        # The account that removes it has its Start menu elsewhere.
        for key in ("User Shell Folders", "Shell Folders"):
            self.session.reg_add(f"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\{key}",
                                 "Programs", "REG_SZ", "C:\\Other\\Programs")
        result = self.session.run("C:\\Shared\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertFalse(links.exists())


class UpgradeTest(WineTestCase):
    def test_a_failure_part_way_puts_back_the_version_it_replaces(self):
        entries = UNINSTALL + "DemoC "
        older = build_sample_variant(self.session, "v314", [
            ("Version=1.20\n", "Version=3.14\n"), ("readme.txt\n", "readme.txt\nold.txt\n")], {"docs/old.txt": b"only 3.14"})
        newer = build_sample_variant(self.session, "v316", [
            ("Version=1.20\n", "Version=3.16\n"), ("lib/\n", "extra/\nnew.txt\nlib/\n")], {"extra/new.txt": b"new in 3.16"})
        self.assertEqual(self.session.run(older, ["--dir=C:\\Up", LICENCE]).exit_code, 0)
        self.session.unix_path("C:\\Up\\extra").write_text("a file where 3.16 wants a folder")
        result = self.session.run(newer, ["--dir=C:\\Up", LICENCE], answers=["OK"])
        self.assertEqual((result.exit_code, result.box_texts()),
                         (1, [(FATAL, "Folder C:\\Up\\extra exists but is not a folder!")]))
        self.assertEqual(self.session.unix_path("C:\\Up\\docs\\old.txt").read_bytes(), b"only 3.14")
        self.assertEqual(self.session.reg_query(entries + "3.14PL1", "InstallLocation"), ("REG_SZ", "C:\\Up"))
        self.assertIsNone(self.session.reg_query(entries + "3.16PL1", "InstallLocation"))
        self.assertIn("Version=3.14", self.session.unix_path("C:\\Up\\resources\\manifest").read_text("latin-1"))


class SharedResourcesTest(WineTestCase):
    def test_an_installation_with_its_resources_elsewhere_is_removed_from_there(self):
        exe = build_sample_variant(self.session, "resdir", [("[Variables]\n", "[Variables]\nResDir=C:\\Shared\n")])
        self.assertEqual(self.session.run(exe, ["--dir=C:\\Product", LICENCE]).exit_code, 0)
        self.assertTrue(self.session.unix_path("C:\\Shared\\resources\\setup.exe").exists())
        result = self.session.run("C:\\Shared\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertFalse(self.session.unix_path("C:\\Product\\bin\\democc.exe").exists())
        self.assertFalse(self.session.unix_path("C:\\Shared\\resources\\licence.txt").exists())


if __name__ == "__main__":
    unittest.main()
