"""Faults that must leave installations true to their records: a removal asked of
the wrong program, a file held open, a failure part-way, resources kept elsewhere.
(Which lines a removal may touch, and what a reinstall keeps, are proved natively.)"""
import unittest

from winetest import LICENCE, WineTestCase, build_sample_variant

UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DemoC 1.20PL1"


class RemovalSafetyTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = build_sample_variant(cls.session, "sample")

    def test_the_downloaded_installer_refuses_to_remove(self):
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Real", LICENCE]).exit_code, 0)
        refusal = ("Fatal error", "This installer cannot remove an installation.\nRemove it through its uninstall "
                                  "entry, or run resources\\setup.exe --remove in its folder.")
        for args in (["--remove-silently"], ["--remove", "--dir=C:\\Real", LICENCE]):
            result = self.session.run(self.exe, args, answers=["OK"])
            self.assertBoxes(result, [refusal])
            self.assertEqual(result.exit_code, 1)
        self.assertEqual(self.session.reg_query(UNINSTALL, "InstallLocation"), ("REG_SZ", "C:\\Real"))
        self.assertTrue(self.session.unix_path("C:\\Real\\bin\\democc.exe").exists())

    def test_a_held_file_stops_the_removal_which_can_run_again(self):
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Held", LICENCE]).exit_code, 0)
        question = ("Can't delete file", "The file C:\\Held\\bin\\demolink.exe cannot be deleted -\n"
                                         "close any other applications that may be using it")
        copy = "C:\\Held\\resources\\setup.exe"
        holder = self.session.hold_file("C:\\Held\\bin\\demolink.exe")
        try:
            result = self.session.run(copy, ["--remove-silently"], answers=["Cancel", "OK"])
        finally:
            (self.session.root / "release").touch()
            holder.wait(timeout=30)
        self.assertBoxes(result, [question, ("Fatal error", "Removal stopped: C:\\Held\\bin\\demolink.exe could not be "
                                             "deleted.\nThe installation is still registered; remove it again once "
                                             "the file is free.")])
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(self.session.reg_query(UNINSTALL, "InstallLocation"), ("REG_SZ", "C:\\Held"))
        # Run again once the file is free: everything goes.
        result = self.session.run(copy, ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertFalse(self.session.unix_path("C:\\Held\\bin\\demolink.exe").exists())
        self.assertIsNone(self.session.reg_query(UNINSTALL, "InstallLocation"))


class RollbackTest(WineTestCase):
    def test_a_failure_part_way_takes_back_what_the_run_made(self):
        exe = build_sample_variant(self.session, "sample")
        folder = self.session.unix_path("C:\\Halfway")
        folder.mkdir()
        (folder / "mine.txt").write_text("the user's")
        (folder / "include").write_text("a file where a folder must be")
        result = self.session.run(exe, ["--dir=C:\\Halfway", LICENCE], answers=["OK"])
        self.assertBoxes(result, [("Fatal error", "Folder C:\\Halfway\\include exists but is not a folder!")])
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["include", "mine.txt"])
        self.assertEqual(self.session.wine("reg", "query", "HKLM\\SOFTWARE\\Voranth").returncode, 1)
        self.assertIsNone(self.session.reg_query(UNINSTALL, "UninstallString"))


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
