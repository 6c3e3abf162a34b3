"""Start-up under Wine: the argument limit, sub-installs, the installed copy's
manifest check, the temporary folder, and the boxes and exit codes of the fatal
paths."""
import unittest

from winetest import LICENCE, SETUP_EXE, WineTestCase

FATAL = "Fatal error"


def signature_of(exe_path):
    with open(exe_path, "rb") as exe:
        exe.seek(23040)
        return exe.read(16).hex().upper()


class StartUpTest(WineTestCase):
    def setUp(self):
        self.temp = self.session.user_temp()
        self.temp.mkdir(parents=True, exist_ok=True)
        self.temp_before = set(self.temp.glob("vr*"))

    def assertNoTempFolderLeft(self):
        self.assertEqual(set(self.temp.glob("vr*")), self.temp_before)

    def test_without_payload_or_manifest_every_mode_stops_with_a_fatal_box(self):
        exe = self.session.install_stub("C:\\NoPayload")
        for args in ([], ["--dir=C:\\Tools", LICENCE], ["--remove-silently"], ["--remove"]):
            with self.subTest(args=args):
                result = self.session.run(exe, args, answers=["OK"])
                self.assertBoxes(result, [(FATAL, "Can't find the manifest")])
                self.assertEqual(result.boxes[0].buttons, ["OK"])
                self.assertEqual(result.exit_code, 1)
                self.assertNoTempFolderLeft()

    def test_an_argument_over_255_characters_is_error_917_before_any_work(self):
        exe = self.session.install_stub("C:\\LongArg")
        result = self.session.run(exe, ["--dir=C:\\x", "--setVariable-A=" + "v" * 240])
        self.assertBoxes(result, [(FATAL, "Error 917")])
        self.assertEqual(result.exit_code, 87)  # an option refused
        self.assertNoTempFolderLeft()

    def test_subinstall_steps_aside_for_a_running_wizard(self):
        exe = self.session.install_stub("C:\\Sub")
        with self.session.window_held("VORANTH Installer"):
            result = self.session.run(exe, ["--SUBINSTALL"])
            self.assertEqual(result.exit_code, 0)
            self.assertBoxes(result, [])
            self.assertNoTempFolderLeft()
            # Without --subinstall the run goes on despite the other window.
            result = self.session.run(exe, [], answers=["OK"])
            self.assertBoxes(result, [(FATAL, "Can't find the manifest")])
        result = self.session.run(exe, ["--subinstall"], answers=["OK"])
        self.assertBoxes(result, [(FATAL, "Can't find the manifest")])

    def test_installed_copy_checks_the_manifest_signature(self):
        exe = self.session.install_stub("C:\\Prog\\X\\resources")
        manifest = self.session.unix_path("C:\\Prog\\X\\resources\\manifest")
        manifest.write_bytes(b"0123456789ABCDEF0123456789ABCDEF\r\n[Variables]\r\n")
        result = self.session.run(exe, ["--remove-silently"], answers=["OK"])
        self.assertBoxes(result, [(FATAL, "Invalid manifest signature")])
        self.assertEqual(result.exit_code, 1)
        self.assertNoTempFolderLeft()

        manifest.write_bytes(signature_of(SETUP_EXE).encode() + b"\r\n[Variables]\r\nVersion=1.0\r\n[Run]\r\n")
        result = self.session.run(exe, ["--remove-silently"])
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)
        self.assertNoTempFolderLeft()

    def test_the_temporary_folder_is_made_under_temp_or_the_systems_and_removed(self):
        exe = self.session.install_stub("C:\\OwnTemp")
        own_temp = self.session.unix_path("C:\\OwnTemp\\t")
        own_temp.mkdir()
        result = self.session.run(exe, [], answers=["OK"], env={"TEMP": "C:\\OwnTemp\\t"})
        self.assertBoxes(result, [(FATAL, "Can't find the manifest")])
        self.assertEqual(list(own_temp.iterdir()), [])
        # A TEMP that does not exist: the system's temporary folder, named in the log.
        system_temp = self.session.drive_c / "windows/temp"
        before = set(system_temp.glob("vr*"))
        log = self.session.root / "temp.log"
        result = self.session.run(exe, [f"--log={self.session.win_path(log)}"], answers=["OK"],
                                  env={"TEMP": "C:\\does\\not\\exist"})
        self.assertBoxes(result, [(FATAL, "Can't find the manifest")])
        self.assertRegex(log.read_text(encoding="latin-1"), r"(?im)Temporary folder: C:\\windows\\temp\\vr\d{1,4}$")
        self.assertEqual(set(system_temp.glob("vr*")), before)


if __name__ == "__main__":
    unittest.main()
