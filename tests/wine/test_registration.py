"""Product registration, installation defaults, shortcuts and tool integrations under
Wine, read back from the real registry, file system and shell links."""
import datetime
import itertools
import shutil
import unittest

from winetest import (HELPERS_DIR, HELPERS_DIR_64, LICENCE, SAMPLE, SAMPLE_ENTRY, SETUP_EXE_32, SETUP_EXE_64,
                      WineTestCase, build_sample_variant)
PLUGIN_TITLE = "MPLAB plugin installation"


class ProductTestCase(WineTestCase):
    """Installers made from the sample with variables and sections of the test's own."""

    def make_installer(self, name, variables=None, extra="", files=None, stub=None):
        """The sample with variables set (None removes one), sections and files added."""
        text = (SAMPLE / "manifest.txt").read_text()
        edits = [("[Run]", extra + "[Run]")] if extra else []
        for key, value in (variables or {}).items():
            old = next((line + "\n" for line in text.splitlines() if line.startswith(key + "=")), None)
            new = "" if value is None else f"{key}={value}\n"
            edits.append((old, new) if old else ("[Variables]\n", "[Variables]\n" + new))
        return build_sample_variant(self.session, name, edits, files, stub=stub)

    def value(self, key, name=None):
        return self.session.reg_query(key, name)


class RegistrationTest(ProductTestCase):
    def test_register_writes_product_keys_uninstall_entry_app_paths_and_registry_entries(self):
        installer = self.make_installer("reg", {"Appname": "democc.exe", "UpdateURL": "http://u/"},
                                        "[Registry]\nHKCU\\Software\\Voranth\\Default\\=\"unnamed\"\n"
                                        "HKCR\\DemoC.Document\\Kind=0X00000002\n")
        result, values = self.session.probe(installer, ["arg:--dir=C:\\Reg", "arg:" + LICENCE, "register"])
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        # Each value is proved natively, App Paths and InstDir where each view holds them
        # (Wow64Test); here, that the real registry holds them with their types, and the local date.
        today = datetime.date.today().strftime("%Y%m%d")
        for name, value in {"DisplayName": ("REG_SZ", "DemoC Compiler Suite V1.20PL1"), "NoRepair": ("REG_DWORD", "0x1"),
                            "InstallDate": ("REG_SZ", today)}.items():
            self.assertEqual(self.value(SAMPLE_ENTRY, name), value, name)
        self.assertEqual(self.value("HKLM\\SOFTWARE\\Voranth\\DemoC\\1.20\\PL1", "BuildNo"), ("REG_DWORD", "0x412"))
        self.assertEqual(self.value("HKCU\\Software\\Voranth\\Default"), ("REG_SZ", "unnamed"))
        # An unknown root is written under HKEY_CLASSES_ROOT, whose keys both views share.
        self.assertEqual(self.session.reg_query("HKCR\\DemoC.Document", "Kind", view=64), ("REG_DWORD", "0x2"))

class RegistryLayerTest(ProductTestCase):
    """The registry layer on the real registry."""

    KEY = "Software\\Voranth\\LayerTest"

    def reads(self, *steps):
        _, values = self.session.probe(self.installer, list(steps))
        return values

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.installer = build_sample_variant(cls.session, "layer")

    def test_string_reads_expansion_types_and_limits(self):
        key = "HKCU\\" + self.KEY
        self.session.reg_add(key, "plain", "REG_SZ", "%SystemRoot%\\x")
        self.session.reg_add(key, "expand", "REG_EXPAND_SZ", "%SystemRoot%\\x")
        self.session.reg_add(key, "number", "REG_DWORD", "7")
        self.session.reg_add(key, "long", "REG_SZ", "y" * 3000)
        self.session.reg_add(key, "four", "REG_SZ", "abc")
        read = lambda name: self.reads(f"regstring:3|{self.KEY}|{name}")["regstring"]
        self.assertEqual(read("plain"), "0|%SystemRoot%\\x")
        self.assertEqual(read("expand"), "0|C:\\windows\\x")
        self.assertEqual(read("number"), "160|")
        self.assertEqual(read("long"), "234|")
        self.assertEqual(read("absent"), "2|")
        dword = lambda name: self.reads(f"regdword:3|{self.KEY}|{name}")["regdword"]
        self.assertEqual(dword("number"), "0|7")
        self.assertEqual(dword("four"), "160|0")
        self.assertEqual(dword("plain"), "234|0")
        # A string stored without its terminating zero reads as a proper text.
        values = self.reads(f"regrawsz:3|{self.KEY}|raw|unterminated", f"regstring:3|{self.KEY}|raw")
        self.assertEqual(values["regstring"], "0|unterminated")

    def test_delete_tree_removes_every_level(self):
        for path in ("A\\B\\C", "A\\B2", "A\\B\\C2"):
            self.session.reg_add(f"HKCU\\{self.KEY}\\Tree\\{path}", "v", "REG_SZ", "x")
        self.assertEqual(self.reads(f"regtree:3|{self.KEY}\\Tree")["regtree"], "0")
        self.assertNotEqual(self.session.wine("reg", "query", f"HKCU\\{self.KEY}\\Tree").returncode, 0)
        self.assertEqual(self.reads(f"regtree:3|{self.KEY}\\Tree")["regtree"], "2")


class DefaultsTest(ProductTestCase):
    """The system's folders and disks, as the defaults read them (which folder wins
    is proved natively)."""

    def test_shell_folders_free_space_and_cluster_size(self):
        installer = self.make_installer("space", {"PatchLevel": "PL7"})
        _, values = self.session.probe(installer, ["freespace:C:\\"])
        self.assertTrue(values["ShortcutFolder"].endswith("\\Start Menu\\Programs\\VORANTH Software\\DemoC Compiler Suite"),
                        values["ShortcutFolder"])
        self.assertEqual(values["InstDir"], values["ProgramFiles"] + "\\Voranth\\DemoC\\1.20")
        self.assertGreater(int(values["free_mb"]), 0)
        self.assertEqual(int(values["cluster_size"]) % 512, 0)
        _, values = self.session.probe(installer, ["freespace:Q:\\nowhere"])
        self.assertEqual((values["free_mb"], values["cluster_size"]), ("0", "4096"))


class ShortcutTest(ProductTestCase):
    def test_links_hold_target_arguments_working_folder_and_icon(self):
        installer = self.make_installer("links", extra="[Shortcuts]\nNo icon=bin\\democc.exe,NOSUCHVARIABLE\n")
        result, values = self.session.probe(installer, ["arg:--dir=C:\\SC", "arg:" + LICENCE, "shortcuts"])
        self.assertEqual(result.exit_code, 0)
        folder = values["ShortcutFolder"]
        removal = self.session.read_link(folder + "\\Uninstall DemoC.lnk")
        self.assertEqual(removal["target"], "C:\\SC\\resources\\setup.exe")
        self.assertEqual(removal["arguments"], "--remove")
        self.assertEqual(removal["working_folder"], "C:\\SC\\resources")
        self.assertEqual(removal["icon"], values["ICONUN"])
        readme = self.session.read_link(folder + "\\Read me.lnk")
        self.assertEqual((readme["target"], readme["arguments"], readme["working_folder"], readme["icon"]),
                         ("C:\\SC\\docs\\readme.txt", "", "C:\\SC\\docs", ""))
        self.assertEqual(self.session.read_link(folder + "\\No icon.lnk")["icon"], "")

    def test_an_existing_link_is_replaced(self):
        installer = self.make_installer("replace")
        _, values = self.session.probe(installer, ["arg:--dir=C:\\First", "arg:" + LICENCE])
        link = self.session.unix_path(values["ShortcutFolder"] + "\\Read me.lnk")
        link.parent.mkdir(parents=True, exist_ok=True)
        link.write_bytes(b"not a link")
        _, values = self.session.probe(installer, ["arg:--dir=C:\\Second", "arg:" + LICENCE, "shortcuts"])
        self.assertEqual(self.session.read_link(values["ShortcutFolder"] + "\\Read me.lnk")["target"],
                         "C:\\Second\\docs\\readme.txt")


class IntegrationsTest(ProductTestCase):
    def place_plugin(self, folder, dll="test_plugin.dll"):
        bin_folder = self.session.unix_path(folder + "\\bin")
        bin_folder.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(HELPERS_DIR / dll, bin_folder / "ORVALD.dll")
        return bin_folder / "registered.txt"

    def plugin_key(self, name):
        return self.value("HKLM\\SOFTWARE\\Voranth\\MPLAB Plugin", name)

    def test_mplab_plugin_registration_and_the_version_rule(self):
        installer = self.make_installer("mp14", {"InstallMPLABPlugin": "yes", "MPLABPluginVer": "1.4"})
        record = self.place_plugin("C:\\MP")
        other = self.place_plugin("C:\\Other")
        self.session.reg_add("HKLM\\SOFTWARE\\Voranth\\MPLAB Plugin", "currentVer", "REG_SZ", "1.34")
        self.session.reg_add("HKLM\\SOFTWARE\\Voranth\\MPLAB Plugin", "currentPath", "REG_SZ", "C:\\Other\\bin\\ORVALD.dll")
        # 1.34 sorts before 1.4 as text: the new plug-in is registered.
        result, _ = self.session.probe(installer, ["arg:--dir=C:\\MP", "arg:" + LICENCE, "register"])
        self.assertBoxes(result, [])
        self.assertEqual(record.read_text().splitlines(), ["C:\\MP\\bin\\ORVALD.dll"])
        self.assertEqual(self.plugin_key("currentVer"), ("REG_SZ", "1.4"))
        self.assertEqual(self.plugin_key("currentPath"), ("REG_SZ", "C:\\MP\\bin\\ORVALD.dll"))

        # 1.34 from another folder while 1.4 is registered: nothing is done.
        older = self.make_installer("mp134", {"InstallMPLABPlugin": "yes", "MPLABPluginVer": "1.34"})
        result, _ = self.session.probe(older, ["arg:--dir=C:\\Other", "arg:" + LICENCE, "register"])
        self.assertBoxes(result, [])
        self.assertFalse(other.exists())
        self.assertEqual(self.plugin_key("currentPath"), ("REG_SZ", "C:\\MP\\bin\\ORVALD.dll"))
        # The same path is registered again even with a lower version.
        result, _ = self.session.probe(older, ["arg:--dir=C:\\MP", "arg:" + LICENCE, "register"])
        self.assertEqual(len(record.read_text().splitlines()), 2)
        self.assertEqual(self.plugin_key("currentVer"), ("REG_SZ", "1.34"))

    def test_mplab_plugin_failures(self):
        # A patch level of its own, so that no earlier folder is proposed.
        installer = self.make_installer("mpfail", {"InstallMPLABPlugin": "yes", "MPLABPluginVer": "2.0", "PatchLevel": "PL9"})
        result, _ = self.session.probe(installer, ["arg:--dir=C:\\NoPlugin", "arg:" + LICENCE, "register"], answers=["OK"])
        self.assertBoxes(result, [(PLUGIN_TITLE, "Failure: Could not load MPLAB plugin: C:\\NoPlugin\\bin\\ORVALD.dll")])
        self.assertEqual(result.exit_code, 1)  # ShowError ends a headless run

        self.place_plugin("C:\\Plain", "plain_library.dll")
        result, _ = self.session.probe(installer, ["arg:--dir=C:\\Plain", "arg:" + LICENCE, "register"], answers=["OK"])
        self.assertBoxes(result, [(PLUGIN_TITLE, "Failure: Could not find DLL self-registration entry point")])

        # Interactive, the run goes on after the box and still records the plug-in.
        refusing = self.make_installer("mprefuse", {"InstallMPLABPlugin": "yes", "MPLABPluginVer": "2.0",
                                                    "PatchLevel": "PL10"})
        record = self.place_plugin("C:\\Refuses")
        result, _ = self.session.probe(refusing, ["arg:--dir=C:\\Refuses", "register"], answers=["OK"],
                                       env={"TEST_PLUGIN_RESULT": "80004005"})
        self.assertBoxes(result, [(PLUGIN_TITLE, "Registration failed. Error code = 80004005")])
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(record.exists())
        self.assertEqual(self.plugin_key("currentPath"), ("REG_SZ", "C:\\Refuses\\bin\\ORVALD.dll"))

    def test_holtek_installations_and_cfasm_values(self):
        for vendor, folder in (("A Vendor", "C:\\H1"), ("B Vendor", "C:\\H2")):
            self.session.reg_add(f"HKLM\\SOFTWARE\\Holtek Inc.\\{vendor}\\HT-IDE3000", "Dir", "REG_SZ", folder)
            self.session.unix_path(folder + "\\bin").mkdir(parents=True)
        installer = self.make_installer("holtek", {"EditHoltekIDE": "yes", "SetupFASM": "yes"})
        result, values = self.session.probe(installer, ["arg:--dir=C:\\HT", "arg:" + LICENCE, "register", "shortcuts"])
        self.assertBoxes(result, [])
        for folder in ("C:\\H1", "C:\\H2"):
            ini = self.session.unix_path(folder + "\\bin\\ht-ide3000.ini").read_text(encoding="latin-1")
            self.assertIn("[Voranth]", ini)
            self.assertIn('COMPILER="C:\\HT\\bin\\vrkc.exe"', ini)
        self.assertEqual(values["HoltekIDEPath"], "C:\\H2\\bin\\ht-ide3000.exe")
        link = self.session.read_link(values["ShortcutFolder"] + "\\HT-IDE3000.lnk")
        self.assertEqual((link["target"], link["description"]), ("C:\\H2\\bin\\ht-ide3000.exe", "Run Holtek HT-IDE3000"))
        product = "HKLM\\SOFTWARE\\Voranth\\DemoC\\1.20\\PL1"
        self.assertEqual(self.value(product, "fasm"), ("REG_SZ", "C:\\HT\\CFASMTools\\CFASM.exe"))
        self.assertEqual(self.value(product, "fasmsetup"), ("REG_SZ", "C:\\HT\\CFASMTools\\SimConfigSetup.exe"))


class DriverTest(ProductTestCase):
    INF = ("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
           "ClassGuid={4D36E978-E325-11CE-BFC1-08002BE10318}\r\nProvider=Voranth\r\n")

    def test_driver_packages(self):
        # The sample's "Read me" shortcut needs its file among the features that stay.
        installer = self.make_installer("drv", extra="[Features]\nFeature=Driver\nDriverInf=demo.inf\ndocs/\n"
                                                     "readme.txt\nFeature=Missing\nDriverInf=missing.inf\n")
        drivers = self.session.unix_path("C:\\Drv\\drivers")
        drivers.mkdir(parents=True)
        (drivers / "demo.inf").write_bytes(self.INF.encode())
        inf_folder = self.session.drive_c / "windows" / "inf"
        before = set(inf_folder.glob("*.inf"))
        result, _ = self.session.probe(installer, ["arg:--dir=C:\\Drv", "arg:" + LICENCE, "driver:Driver"])
        self.assertBoxes(result, [])
        # The package is in the system's store (Windows names it oemN.inf, Wine keeps its name).
        added = set(inf_folder.glob("*.inf")) - before
        self.assertEqual(len(added), 1)
        self.assertEqual(added.pop().read_bytes(), self.INF.encode())
        # Once it is there, installing it again is silent.
        result, _ = self.session.probe(installer, ["arg:--dir=C:\\Drv", "arg:" + LICENCE, "driver:Driver"])
        self.assertBoxes(result, [])

        result, _ = self.session.probe(installer, ["arg:--dir=C:\\Drv", "arg:" + LICENCE, "driver:Missing"], answers=["OK"])
        self.assertBoxes(result, [("Driver Install Error", "Unable to install driver files for Missing")])
        self.assertEqual(result.exit_code, 0)  # the run goes on


class Wow64Test(ProductTestCase):
    """What the 32-bit stub does on 64-bit Windows beside the x86-64 one (so it is
    skipped where this machine cannot run 32-bit programs). Registry views: the 32-bit
    stub writes in the 32-bit view and Program Files (x86), but App Paths, which the
    shell reads, in the 64-bit view (Wine shares that key between the views; Windows
    may not); the x86-64 one everything in the 64-bit view. Each key is looked for in
    the view README names, and the removal takes it from there (App Paths stays, as for
    every stub)."""
    NEEDS_32_BIT = True
    DEVICE_INF = DriverTest.INF.replace("Provider=Voranth", "Provider=Voranth Devices")  # another package for the store
    ENTRY = SAMPLE_ENTRY
    PRODUCT = "HKLM\\SOFTWARE\\Voranth\\DemoC\\1.20\\PL1"
    APP = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\democc.exe"

    def test_each_key_lies_where_its_reader_looks_and_the_removal_takes_it_from_there(self):
        # Without the drivers' test's installations, whose folders would be the default.
        for key, view in itertools.product((self.ENTRY, "HKLM\\SOFTWARE\\Voranth"), (32, 64)):
            self.session.wine("reg", "delete", key, "/f", f"/reg:{view}")
        for stub, view, programs in ((SETUP_EXE_32, 32, "C:\\Program Files (x86)"), (SETUP_EXE_64, 64, "C:\\Program Files")):
            with self.subTest(view=view):
                exe = self.make_installer(f"views{view}", {"Appname": "democc.exe"}, stub=stub)
                self.assertEqual(self.session.run(exe, ["--dir=default", LICENCE]).exit_code, 0)
                folder = programs + "\\Voranth\\DemoC\\1.20"
                other = 96 - view
                self.assertEqual(self.session.reg_query(self.ENTRY, "InstallLocation", view), ("REG_SZ", folder))
                self.assertIsNone(self.session.reg_query(self.ENTRY, "InstallLocation", other))
                self.assertEqual(self.session.reg_query(self.PRODUCT, "InstDir", view), ("REG_SZ", folder))
                self.assertEqual(self.session.reg_query(self.APP, "Path", 64), ("REG_SZ", folder + "\\bin"))
                result = self.session.run(folder + "\\resources\\setup.exe", ["--remove-silently"])
                self.assertEqual(result.exit_code, 0)
                self.assertIsNone(self.session.reg_query(self.ENTRY, "InstallLocation", view))
                self.assertIsNone(self.session.reg_query(self.PRODUCT, "InstDir", view))

    def test_drivers_from_a_32_bit_installer_reach_devices_through_the_64_bit_tool(self):
        # The system's tool is a recorder here, in the 64-bit system folder, which a
        # 32-bit program reaches only as Sysnative.
        shutil.copyfile(HELPERS_DIR_64 / "record_open.exe", self.session.drive_c / "windows/system32/pnputil.exe")
        record = self.session.drive_c / "windows/system32/opened.txt"
        extra = ("[Features]\nFeature=Driver\nDriverInf=device.inf\nDriverDevice=USB\\VID_1234&PID_0001\ndocs/\n"
                 "readme.txt\ndrivers/\ndevice.inf\n[Components]\nComponent=Drivers\nSelected=yes\nDriver\n")
        for stub, view in ((SETUP_EXE_32, 32), (SETUP_EXE_64, 64)):
            with self.subTest(view=view):
                exe = self.make_installer(f"drv{view}", extra=extra, files={"drivers/device.inf": self.DEVICE_INF.encode()},
                                          stub=stub)
                log = self.session.root / f"drv{view}.log"
                result = self.session.run(exe, [f"--dir=C:\\Drv{view}", LICENCE, f"--log={self.session.win_path(log)}"],
                                          answers=["OK"])
                taken = [line for line in log.read_text(encoding="latin-1").splitlines() if "pnputil" in line]
                if view == 32:
                    self.assertEqual((result.exit_code, result.boxes), (0, []))
                    self.assertTrue(taken[0].endswith(
                        "A 32-bit program cannot update devices on 64-bit Windows: running C:\\windows\\Sysnative\\"
                        f"pnputil.exe /add-driver \"C:\\Drv{view}\\drivers\\device.inf\" /install"), taken)
                    self.assertEqual([line.split(" ", 1)[1] for line in record.read_text().splitlines()], ["/add-driver"])
                else:
                    self.assertEqual(taken, [])


if __name__ == "__main__":
    unittest.main()
