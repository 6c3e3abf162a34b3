"""The installer against a hostile machine: libraries planted where it starts or
installs, and installer files cut short or altered anywhere."""
import subprocess
import unittest

from winetest import (
    ACCEPT, FINISH, HELPERS_DIR, LICENCE, NEXT, REPAIR_ID, WINE, WineTestCase, build_sample_variant, click)

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
        subprocess.run([WINE, "rundll32.exe", self.session.win_path(HELPERS_DIR / "decoy.dll") + ",Nothing"],
                       env=self.session.env, capture_output=True, timeout=60)
        self.assertEqual([p.name for p in markers.glob("*")], ["decoy.dll.loaded"])

if __name__ == "__main__":
    unittest.main()
