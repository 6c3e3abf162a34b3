"""Ordinary inputs and faults that must leave installations true to their records:
folder options as administrators write them, removals asked of the wrong program,
files held open, failures part-way, reinstalls and tampered installed manifests."""
import unittest

from winetest import WineTestCase, build_sample_variant

LICENCE = "--I agree to the terms of the licence"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DemoC 1.20PL1"


class FolderOptionTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # A file at the root of the installation folder, from a "/" folder line.
        cls.exe = build_sample_variant(cls.session, "rooted", [("docs/\n", "/\nroot.txt\ndocs/\n")],
                                       {"root.txt": b"at the root\r\n"})

    def test_trailing_and_forward_slashes_install_and_remove(self):
        for given, folder in (("C:\\Trailing\\", "C:\\Trailing"), ("C:/Forward/New/", "C:\\Forward\\New")):
            result = self.session.run(self.exe, [f"--dir={given}", LICENCE])
            self.assertEqual((result.exit_code, result.boxes), (0, []), given)
            self.assertEqual(self.session.unix_path(folder + "\\root.txt").read_bytes(), b"at the root\r\n")
            self.assertEqual(self.session.reg_query("HKLM\\SOFTWARE\\Voranth\\DemoC\\1.20\\PL1", "InstDir"),
                             ("REG_SZ", folder))
            result = self.session.run(folder + "\\resources\\setup.exe", ["--remove-silently"])
            self.assertEqual(result.exit_code, 0)
            self.assertFalse(self.session.unix_path(folder + "\\root.txt").exists())

    def test_an_empty_or_relative_folder_is_refused_before_anything_is_written(self):
        temp = self.session.user_temp()
        for given in ("", "Tools"):
            result = self.session.run(self.exe, [f"--dir={given}", LICENCE], answers=["OK"])
            self.assertBoxes(result, [("Fatal error", "The installation folder given with --dir= must be a full path, "
                                                      f"such as --dir=C:\\Tools\n(given: \"{given}\")")])
            self.assertEqual(result.exit_code, 1)
        self.assertFalse(self.session.unix_path("C:\\bin").exists())
        self.assertFalse(self.session.unix_path("C:\\Download\\Tools").exists())
        self.assertEqual(list(temp.glob("vr*")), [])


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
        holder, release = self.session.hold_file("C:\\Held\\bin\\demolink.exe")
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

    def test_a_line_outside_the_installation_is_never_deleted(self):
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Tampered", LICENCE]).exit_code, 0)
        victim = self.session.unix_path("C:\\victim.txt")
        victim.write_text("not the product's")
        manifest = self.session.unix_path("C:\\Tampered\\resources\\manifest")
        manifest.write_bytes(manifest.read_bytes().replace(b"[Files]\r\n", b"[Files]\r\nC:\\victim.txt\r\n"))
        result = self.session.run("C:\\Tampered\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(victim.read_text(), "not the product's")
        self.assertFalse(self.session.unix_path("C:\\Tampered\\bin\\democc.exe").exists())


    def test_a_reinstall_keeps_the_earlier_records_so_one_removal_takes_both(self):
        for extra in ([], ["--no-Examples"]):
            self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Again", LICENCE, *extra]).exit_code, 0)
        manifest = self.session.unix_path("C:\\Again\\resources\\manifest").read_text(encoding="latin-1")
        self.assertIn("%InstDir%\\examples\\hello\\hello.c", manifest)
        self.assertEqual(manifest.count("%InstDir%\\bin\\democc.exe"), 1)
        self.assertEqual(self.session.run("C:\\Again\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)
        self.assertFalse(self.session.unix_path("C:\\Again\\examples").exists())



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
