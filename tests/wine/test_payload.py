"""The payload container under Wine, against the real setup.exe: a damaged or cut
installer is refused before anything is written and leaves no temporary files
(which message each fault gives is proved on the container code natively)."""
import unittest

from winetest import LICENCE, SAMPLE, WineTestCase, build_installer
HEADLESS = ["--dir=C:\\Product", LICENCE]
CONTAINER_FAULT = r"^(Installer is corrupt or truncated|Can't read entire filecheck: \d+|Can't read filecheck: \d+)$"
MAGIC = bytes(0xA3 - i for i in range(8))


class PayloadTest(WineTestCase):
    def run_variant(self, data):
        (self.session.root / "variant.exe").write_bytes(data)
        exe = self.session.install_stub("C:\\Variants", source=self.session.root / "variant.exe")
        result = self.session.run(exe, HEADLESS, answers=["OK"])
        result.temp_left = list(self.session.user_temp().glob("vr*"))
        return result

    def test_a_flipped_or_cut_installer_is_refused_and_leaves_nothing(self):
        good = build_installer(self.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files").read_bytes()
        header = good.index(MAGIC, 204800)
        digest = len(good) - 16
        flips = {"padding": header - 1, "header": header + 8, "first gzip byte": header + 20,
                 "middle": (header + digest) // 2, "last gzip byte": digest - 1, "digest": digest + 15}
        # A cut inside the header leaves no payload to find in a file longer than the program.
        cuts = {"inside the header": header + 10, "inside the member": header + 100, "before the digest": digest,
                "inside the digest": digest + 7}
        variants = {f"flipped {what}": good[:at] + bytes([good[at] ^ 1]) + good[at + 1:] for what, at in flips.items()}
        variants.update({f"cut {what}": good[:at] for what, at in cuts.items()})
        for what, data in variants.items():
            result = self.run_variant(data)
            self.assertEqual([b.title for b in result.boxes], ["Fatal error"], what)
            self.assertRegex(result.boxes[0].text, CONTAINER_FAULT, what)
            self.assertEqual((result.exit_code, result.temp_left), (1, []), what)
        self.assertFalse(self.session.unix_path("C:\\Product").exists())


if __name__ == "__main__":
    unittest.main()
