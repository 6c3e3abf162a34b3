"""Folders of every kind: names outside the code pages' common letters, a TEMP the
installer cannot use as it stands, paths past Windows' length, a full disk. (The
refusals' texts are proved natively.)"""
import re
import subprocess
import unittest

from winetest import LICENCE, WineTestCase, build_sample_variant, wait_until


class ForeignNamesTest(WineTestCase):
    def use_temp(self, folder):
        """Makes the folder the account's TEMP for the programs started from now on."""
        self.session.unix_path(folder).mkdir(parents=True, exist_ok=True)
        for name in ("TEMP", "TMP"):
            self.session.reg_add("HKCU\\Environment", name, "REG_SZ", folder)

    def install_and_remove(self, folder):
        exe = build_sample_variant(self.session, f"sample-{self.id().split('.')[-1]}")
        result = self.session.run(exe, [f"--dir={folder}", LICENCE])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        root = self.session.unix_path(folder)
        self.assertTrue((root / "bin/democc.exe").exists())
        result = self.session.run(f"{folder}\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.session.gone(folder)  # the clean-up script takes the rest

    def test_an_accented_folder_and_temp_leave_nothing(self):
        temp = "C:\\users\\Müller\\Temp"
        self.use_temp(temp)
        self.install_and_remove("C:\\Programme\\Müller Tools")
        wait_until(lambda: not list(self.session.unix_path(temp).iterdir()), 60, "the clean-up script is left")

    def test_a_temp_outside_the_ansi_code_page_still_installs_and_removes(self):
        self.use_temp("C:\\users\\张伟\\Temp")
        self.install_and_remove("C:\\Tools")


class LimitsTest(WineTestCase):
    def test_a_folder_too_long_for_the_deepest_file_is_refused_before_anything_is_written(self):
        deep = "n" * 200 + ".c"
        exe = build_sample_variant(self.session, "deep", [("hello.c\n", f"hello.c\n{deep}\n")],
                                   {f"examples/hello/{deep}": b"int main;"})
        folder = "C:\\" + "L" * 40
        result = self.session.run(exe, [f"--dir={folder}", LICENCE], answers=["OK"])
        self.assertEqual((result.exit_code, [box.title for box in result.boxes]), (1, ["Fatal error"]))
        self.assertTrue(result.boxes[0].text.startswith(f"The folder {folder} is too long"), result.boxes[0].text)
        self.assertFalse(self.session.unix_path(folder).exists())

    def test_a_full_disk_is_refused_before_anything_is_written(self):
        disk = self.session.root / "small-disk"
        disk.mkdir()
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(disk)]).returncode != 0:
            self.skipTest("a small disk cannot be mounted here")
        try:
            (self.session.prefix / "dosdevices/e:").symlink_to(disk)
            exe = build_sample_variant(self.session, "big", [("empty.txt\n", "empty.txt\nbig.bin\n")],
                                       {"examples/hello/big.bin": bytes(range(256)) * 8192})
            result = self.session.run(exe, ["--dir=E:\\Full", LICENCE], answers=["OK"])
            self.assertEqual((result.exit_code, [box.title for box in result.boxes]), (112, ["Fatal error"]))
            self.assertRegex(result.boxes[0].text,
                             r"^Not enough space on E: for the installation: it needs \d+ MB, and 1 MB are free\.$")
            self.assertEqual(list(disk.iterdir()), [])
        finally:
            subprocess.run(["umount", str(disk)], check=True)


if __name__ == "__main__":
    unittest.main()
