"""A headless installation and removal of the sample product with the real
setup.exe, read back from drive_c, the registry and the shell links."""
import unittest

from winetest import (HELPERS_DIR, LICENCE, SAMPLE, SAMPLE_ENTRY, SAMPLE_PRODUCT, SETUP_EXE, WineTestCase,
                      build_installer, build_sample_variant, tool_feature, wait_until)


class HeadlessInstallTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.installer = build_installer(cls.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")

    def install(self, folder, *extra, answers=()):
        exe = self.session.install_stub("C:\\Download", source=self.installer)
        return self.session.run(exe, [f"--dir={folder}", LICENCE, *extra], answers=list(answers))

    def key_exists(self, key):
        return self.session.wine("reg", "query", key).returncode == 0

    def test_install_then_remove(self):
        temp = self.session.user_temp()
        result = self.install("C:\\Prod")
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        root = self.session.unix_path("C:\\Prod")
        source = SAMPLE / "files"
        for path in (p for p in source.rglob("*") if p.is_file()):
            self.assertEqual((root / path.relative_to(source)).read_bytes(), path.read_bytes(), str(path))
        stub_length = SETUP_EXE.stat().st_size
        self.assertEqual((root / "resources/setup.exe").read_bytes(), self.installer.read_bytes()[:stub_length])
        for resource in ("setup.ico", "uninstall.ico", "background.bmp", "licence.txt"):
            self.assertEqual((root / "resources" / resource).read_bytes(), (SAMPLE / resource).read_bytes())
        self.assertEqual(list(temp.glob("vr*")), [])

        # The installed manifest (its content is proved natively) is signed by this stub.
        manifest = (root / "resources/manifest").read_bytes().decode("latin-1").split("\r\n")
        self.assertEqual(manifest[0], SETUP_EXE.read_bytes()[23040:23056].hex().upper())
        files = manifest[manifest.index("[Files]") + 1:manifest.index("[Folders]")]

        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "UninstallString"),
                         ("REG_SZ", '"C:\\Prod\\resources\\setup.exe" --remove'))
        link_folder = [line for line in files if line.endswith("Uninstall DemoC.lnk")][0]
        removal_link = self.session.read_link(link_folder)
        self.assertEqual((removal_link["target"], removal_link["arguments"], removal_link["icon"]),
                         ("C:\\Prod\\resources\\setup.exe", "--remove", "C:\\Prod\\resources\\uninstall.ico"))

        # The user's own file inside the installation survives, and so does its folder.
        (root / "bin/notes.txt").write_text("mine")
        result = self.session.run("C:\\Prod\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        wait_until(lambda: not (root / "resources").exists(), 60, "the clean-up script did not remove the copy")
        remaining = sorted(str(p.relative_to(root)) for p in root.rglob("*"))
        self.assertEqual(remaining, ["bin", "bin/notes.txt"])
        self.assertFalse(self.session.unix_path(link_folder).exists())
        self.assertFalse(self.key_exists(SAMPLE_ENTRY))
        self.assertFalse(self.key_exists(SAMPLE_PRODUCT))
        self.assertEqual(list(temp.glob("vr*")), [])
        wait_until(lambda: not list(temp.glob("vrs*.bat")), 60, "the clean-up script did not delete itself")

class ExternalInstallerTest(WineTestCase):
    """A feature provided by an installer of its own, shipped as a resource or found
    on disk, judged by its exit code."""

    def make(self, name, *installers, required=False):
        return build_sample_variant(self.session, name, tool_feature(*installers, required=required),
                                    resources={"tool-setup.exe": (HELPERS_DIR / "exit_with.exe").read_bytes()})

    def test_a_resource_installer_that_succeeds(self):
        exe = self.make("good", ("TOOLSETUP", 0, ""))
        result = self.session.run(exe, ["--dir=C:\\Ext", LICENCE])
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])

    def test_failed_installers_ask_whether_to_go_on(self):
        # The first fails with code 3, the alternative source does not exist; a
        # required component keeps the feature chosen although it cannot be had.
        exe = self.make("bad", ("TOOLSETUP", 3, ""), ("C:\\\\nowhere\\\\setup.exe", 0, ""), required=True)
        # Into the same folder as the other test: one version is installed in one folder.
        result = self.session.run(exe, ["--dir=C:\\Ext", LICENCE], answers=["Yes", "Yes"])
        self.assertEqual([b.title for b in result.boxes], ["Installer not found"])
        self.assertEqual(result.boxes[0].text, "No installer for The tool was found\nSee the maker.\n"
                                               "Do you want to continue anyway?")
        self.assertEqual(result.exit_code, 0)
        # No to a failed one is proved unattended (test_deployment).


if __name__ == "__main__":
    unittest.main()
