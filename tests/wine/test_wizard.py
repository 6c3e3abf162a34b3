"""The wizard window under Wine and Xvfb: its class and title, Cancel and Escape,
closing it, and the installed copy's Repair and Remove choices."""
import time
import unittest

from winetest import SAMPLES_DIR, WineTestCase, build_installer

SAMPLE = SAMPLES_DIR / "sample-product"
CANCEL = ("Cancel setup", "Setup is not complete;\nare you sure you want to quit?")
LICENCE = "--I agree to the terms of the licence"


class WizardWindowTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        installer = build_installer(cls.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")
        cls.exe = cls.session.install_stub("C:\\Download", source=installer)

    def test_the_window_its_buttons_and_a_screenshot(self):
        result = self.session.run(self.exe, [], answers=["do:window", "do:state:101", "do:state:102", "do:state:2",
                                                         "do:close"])
        self.assertEqual(result.windows, [{"class": "VORANTH Installer", "title": "Installing DemoC Compiler Suite",
                                           "user": 0x534B0065}])
        next_button, back, cancel = result.controls
        self.assertEqual((next_button["text"], next_button["enabled"]), ("Next", True))
        self.assertEqual((back["text"], back["enabled"]), ("< Back", False))
        self.assertEqual((cancel["text"], cancel["enabled"]), ("Cancel", True))
        # Closing the window ends the run without a question.
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)

    def test_cancel_and_escape_ask_first(self):
        temp = self.session.user_temp()
        result = self.session.run(self.exe, [], answers=["do:click:2", "No", "do:window", "do:escape", "Yes"])
        self.assertBoxes(result, [CANCEL, CANCEL])
        self.assertEqual(result.boxes[0].buttons, ["Yes", "No"])
        self.assertEqual(len(result.windows), 1)  # No left the wizard where it was
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(list(temp.glob("vr*")), [])


class InstalledVersionTest(WineTestCase):
    def test_a_newer_installed_version_is_asked_about(self):
        import shutil
        folder = self.session.root / "src"
        shutil.copytree(SAMPLE, folder, ignore=shutil.ignore_patterns("files"))
        text = (SAMPLE / "manifest.txt").read_text().replace("[Variables]\n", "[Variables]\nCheckInstalledVersions=yes\n")
        (folder / "manifest.txt").write_text(text)
        installer = build_installer(self.session.root / "check.exe", folder / "manifest.txt", SAMPLE / "files")
        exe = self.session.install_stub("C:\\Download", "check.exe", source=installer)
        self.session.reg_add("HKLM\\SOFTWARE\\Voranth\\DemoC\\1.3\\PL0", "InstDir", "REG_SZ", "C:\\Newer")
        question = ("Install older version?",
                    "A newer version (1.3) of DemoC, is already installed.\nAre you sure you want to install version (1.20)?")
        result = self.session.run(exe, [], answers=["No"])
        self.assertBoxes(result, [question])
        self.assertEqual(result.exit_code, 1)
        result = self.session.run(exe, [], answers=["Yes", "do:state:101", "do:close"])
        self.assertBoxes(result, [question])
        self.assertTrue(result.controls[0]["enabled"])
        self.assertEqual(result.exit_code, 0)


class MaintenanceTest(WineTestCase):
    """The copy in the installation's resources folder repairs or removes it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        installer = build_installer(cls.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")
        exe = cls.session.install_stub("C:\\Download", source=installer)
        result = cls.session.run(exe, ["--dir=C:\\Kept", LICENCE])
        assert result.exit_code == 0, result
        cls.copy = "C:\\Kept\\resources\\setup.exe"
        manifest = cls.session.unix_path("C:\\Kept\\resources\\manifest").read_text(encoding="latin-1")
        cls.link = next(line for line in manifest.splitlines() if line.endswith("Read me.lnk"))

    def test_repair_registers_and_recreates_shortcuts_without_touching_files(self):
        link = self.session.unix_path(self.link)
        link.unlink()
        changed = self.session.unix_path("C:\\Kept\\docs\\readme.txt")
        changed.write_text("changed by the user")
        self.session.wine("reg", "delete", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DemoC 1.20PL1",
                          "/f", check=True)
        result = self.session.run(self.copy, [], answers=["do:state:101", "do:click:602", "do:state:101", "do:click:101"])
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        self.assertEqual([c["enabled"] for c in result.controls], [False, True])  # Next waits for a choice
        self.assertTrue(link.exists())
        self.assertEqual(self.session.read_link(self.link)["target"], "C:\\Kept\\docs\\readme.txt")
        self.assertEqual(changed.read_text(), "changed by the user")
        self.assertEqual(self.session.reg_query("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DemoC 1.20PL1",
                                                "UninstallString"),
                         ("REG_SZ", '"C:\\Kept\\resources\\setup.exe" --remove'))

    def test_remove_asks_and_no_stays_on_the_page(self):
        result = self.session.run(self.copy, ["--remove"],
                                  answers=["do:state:601", "do:click:101", "No", "do:state:601", "do:close"])
        self.assertBoxes(result, [("Remove installation",
                                   "Are you sure you want to completely remove\nDemoC Compiler Suite V1.20?")])
        self.assertEqual([c["checked"] for c in result.controls], [True, True])
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(self.session.unix_path("C:\\Kept\\bin\\democc.exe").exists())


class FeatureQuestionTest(WineTestCase):
    """Prerequisite and separately installed features, asked in a headless run."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        text = (SAMPLE / "manifest.txt").read_text()
        text = text.replace("Feature=Examples\nDescription=Example programs\n",
                            "Feature=Examples\nDescription=Example programs\nRequires=Runtime\n")
        text = text.replace("[Registry]", "Feature=Runtime\nDescription=DemoC runtime\nErrmess=Install it first.\n[Registry]")
        text = text.replace("Component=Examples\n", "Component=Runtime\nRequired=yes\nRuntime\nComponent=Examples\n")
        folder = cls.session.root / "src"
        import shutil
        shutil.copytree(SAMPLE, folder, ignore=shutil.ignore_patterns("files"))
        (folder / "manifest.txt").write_text(text)
        installer = build_installer(cls.session.root / "questions.exe", folder / "manifest.txt", SAMPLE / "files")
        cls.exe = cls.session.install_stub("C:\\Download", source=installer)

    def run_install(self, folder, answers):
        return self.session.run(self.exe, [f"--dir={folder}", LICENCE], answers=answers)

    def test_yes_goes_on_without_the_feature(self):
        result = self.run_install("C:\\Yes", ["Yes", "Yes"])
        self.assertEqual([b.title for b in result.boxes], ["Prerequisite missing", "Feature not installed"])
        self.assertEqual(result.boxes[0].text, "The feature:\n   Example programs\nhas these missing prerequisites:\n"
                                               "  DemoC runtime\n\nand cannot be installed. Do you want to continue anyway?")
        self.assertEqual(result.boxes[1].text, "DemoC runtime is not installed.\nInstall it first.\n"
                                               "Do you want to continue anyway?")
        self.assertEqual(result.exit_code, 0)
        self.assertFalse(self.session.unix_path("C:\\Yes\\examples").exists())
        self.assertTrue(self.session.unix_path("C:\\Yes\\bin\\democc.exe").exists())

    def test_no_ends_the_run_keeping_what_was_written(self):
        temp = self.session.user_temp()
        result = self.run_install("C:\\No", ["No", "OK"])
        self.assertBoxes(result, [
            ("Prerequisite missing", "The feature:\n   Example programs\nhas these missing prerequisites:\n"
                                     "  DemoC runtime\n\nand cannot be installed. Do you want to continue anyway?"),
            ("Fatal error", "Installation terminated - suggest you install the prerequisites\nthen retry this installation"),
        ])
        self.assertEqual(result.exit_code, 1)
        self.assertTrue(self.session.unix_path("C:\\No\\bin\\democc.exe").exists())
        self.assertEqual(list(temp.glob("vr*")), [])

        result = self.run_install("C:\\No2", ["Yes", "No", "OK"])
        self.assertEqual(result.boxes[-1].text, "Installation terminated - please install DemoC runtime\n"
                                                "then retry this installation")
        self.assertEqual(result.exit_code, 1)


if __name__ == "__main__":
    unittest.main()
