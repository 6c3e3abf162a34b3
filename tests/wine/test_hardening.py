"""The installer against a hostile machine: libraries planted where it starts or
installs, and installer files cut short or altered anywhere."""
import subprocess
import unittest

from winetest import (
    ACCEPT, FINISH, HELPERS_DIR, LICENCE, NEXT, REPAIR_ID, STUB_BITS, WINE, WineTestCase, build_sample_variant, click,
    pack_by_hand)

PLANTED = ("shfolder.dll", "setupapi.dll", "newdev.dll")
INF = ("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
       "ClassGuid={4D36E978-E325-11CE-BFC1-08002BE10318}\r\nProvider=Voranth\r\n")


class DllPlantingTest(WineTestCase):
    def test_no_planted_library_is_loaded_by_install_repair_or_removal(self):
        # A product with a driver package, so that the driver libraries are loaded too.
        exe = build_sample_variant(self.session, "driver", [
            ("Description=Compiler, linker, headers and libraries\n",
             "Description=Compiler, linker, headers and libraries\nDriverInf=demo.inf\ndrivers/\ndemo.inf\n")],
            {"drivers/demo.inf": INF.encode()})
        # Windows has no built-in copies of these: the loader takes whatever it finds.
        # Wine reads its load order from the Unix environment the programs start in.
        overrides = "mscoree,mshtml=;" + ",".join(n[:-4] for n in PLANTED) + "=n,b"
        saved, self.session.env = self.session.env, dict(self.session.env, WINEDLLOVERRIDES=overrides)
        self.addCleanup(setattr, self.session, "env", saved)
        for folder in ("C:\\Download", "C:\\Product\\resources", "C:\\Product\\bin"):
            for name in PLANTED:
                self.session.install_stub(folder, name, source=HELPERS_DIR / "decoy.dll")
        markers = self.session.unix_path("C:\\decoys")

        result = self.session.run(exe, ["--dir=C:\\Product", LICENCE])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertTrue(self.session.unix_path("C:\\Product\\drivers\\demo.inf").exists())
        copy = "C:\\Product\\resources\\setup.exe"
        result = self.session.run(copy, [], answers=[click(REPAIR_ID), NEXT, ACCEPT, NEXT, NEXT, *FINISH])
        self.assertEqual(result.exit_code, 0)
        result = self.session.run(copy, ["--remove-silently"])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(sorted(p.name for p in markers.glob("*")) if markers.exists() else [], [])

        # The decoy itself works: loaded, it leaves its marker.
        rundll32 = "C:\\windows\\syswow64\\rundll32.exe" if STUB_BITS == 32 else "rundll32.exe"  # the DLL's own bitness
        subprocess.run([WINE, rundll32, self.session.win_path(HELPERS_DIR / "decoy.dll") + ",Nothing"],
                       env=self.session.env, capture_output=True, timeout=60)
        self.assertEqual([p.name for p in markers.glob("*")], ["decoy.dll.loaded"])

def hand_packed_manifest(folder, file, resources=""):
    """A small product's manifest (its one file holds "hello"), with the lines given."""
    return (f"{resources}[Variables]\r\nManufacturer=Hand\r\nProduct=Packed\r\nVersion=1.0\r\n[Features]\r\n"
            f"Feature=Main\r\n{folder}\r\n{file}\t5\r\n[Components]\r\nComponent=Base\r\nRequired=yes\r\nMain\r\n"
            "[Run]\r\n")


class ConfinementTest(WineTestCase):
    """A payload packed by hand is not bound by the builder's checks, and an installed
    manifest may be edited by whoever can write in its folder: neither reaches a file
    outside the installation."""

    def install_by_hand(self, name, manifest, records):
        exe = pack_by_hand(self.session.root / f"{name}.exe", manifest, records)
        exe = self.session.install_stub("C:\\Download", f"{name}.exe", source=exe)
        return self.session.run(exe, ["--dir=C:\\Inst\\V", LICENCE], answers=["OK"])

    def test_names_that_leave_the_installation_are_refused_before_anything_is_written(self):
        victim = self.session.unix_path("C:\\windows\\victim.ini")
        victim.write_text("original")
        # The packer itself works: the same product with plain names installs.
        result = self.install_by_hand("plain", hand_packed_manifest("bin/", "ok.txt"), [b"hello"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertEqual(self.session.unix_path("C:\\Inst\\V\\bin\\ok.txt").read_text(), "hello")
        self.assertEqual(self.session.run("C:\\Inst\\V\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)

        resource = "[Resources]\r\nX=..\\..\\evil17.txt\t5\r\n"
        variants = [  # folder line, file line, resources, the line and name refused
            ("bin/", "..\\..\\..\\windows\\victim.ini", "", 9, "..\\..\\..\\windows\\victim.ini"),
            ("../../Evil1/", "x.txt", "", 8, "..\\..\\Evil1"),
            ("..\\..\\Evil2/", "x.txt", "", 8, "..\\..\\Evil2"),
            ("bin/", "..\\..\\evil3.txt", "", 9, "..\\..\\evil3.txt"),
            ("bin/", "x.txt", resource, 3, "..\\..\\evil17.txt"),
        ]
        for folder, file, resources, line, name in variants:
            records = [b"hello"] * (2 if resources else 1)
            result = self.install_by_hand("crafted", hand_packed_manifest(folder, file, resources), records)
            self.assertEqual(result.box_texts(), [
                ("Fatal error", f'Invalid manifest format: line {line}: the name "{name}" leads outside its folder')])
            self.assertEqual(result.exit_code, 1)
        self.assertEqual(victim.read_text(), "original")
        for left in ("C:\\Evil1", "C:\\Evil2", "C:\\Inst\\evil3.txt", "C:\\Inst\\V"):
            self.assertFalse(self.session.unix_path(left).exists(), left)
        self.assertEqual(list(self.session.user_temp().parent.glob("evil*")), [])
        self.assertEqual(list(self.session.user_temp().glob("vr*")), [])

    def test_an_edited_installed_manifest_deletes_nothing_outside_the_installation(self):
        result = self.install_by_hand("plain", hand_packed_manifest("bin/", "ok.txt"), [b"hello"])
        self.assertEqual(result.exit_code, 0)
        victims = ["C:\\v1.txt", "C:\\v4.txt", "C:\\Inst\\v5.txt", "C:\\v6.txt", "C:\\v7.lnk"]
        for victim in victims:
            self.session.unix_path(victim).write_text("keep")
        manifest = self.session.unix_path("C:\\Inst\\V\\resources\\manifest")
        text = manifest.read_bytes().decode("latin-1")
        text = text.replace("[Files]\r\n", "ShortcutFolder=C:\\\r\n[Files]\r\n%InstDir%\\..\\..\\v1.txt\r\n"
                            "%InstDir%\\bin\\..\\..\\..\\v4.txt\r\n%InstDir%\\..\\v5.txt\r\nC:\\v6.txt\r\nC:\\v7.lnk\r\n")
        manifest.write_bytes(text.encode("latin-1"))
        result = self.session.run("C:\\Inst\\V\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        for victim in victims:
            self.assertEqual(self.session.unix_path(victim).read_text(), "keep", victim)
        self.assertFalse(self.session.unix_path("C:\\Inst\\V\\bin\\ok.txt").exists())


if __name__ == "__main__":
    unittest.main()
