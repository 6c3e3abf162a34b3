"""The payload container under Wine, against the real setup.exe: an installer made
by mkinstaller is accepted; damaged, truncated and foreign files are refused with
the installer's own messages."""
import shutil
import unittest

import container_tools as ct
from winetest import SAMPLES_DIR, SETUP_EXE, WineTestCase, build_installer

FATAL = "Fatal error"
CORRUPT = (FATAL, "Installer is corrupt or truncated")
HEADLESS = ["--dir=C:\\Product", "--I agree to the terms of the licence"]
# What the container check says of a file cut short or altered.
CONTAINER_FAULT = r"^(Installer is corrupt or truncated|Can't read entire filecheck: \d+|Can't read filecheck: \d+)$"
SAMPLE = SAMPLES_DIR / "sample-product"


class PayloadTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.good_path = build_installer(cls.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")
        cls.good = cls.good_path.read_bytes()
        cls.layout = ct.Installer(cls.good)

    def run_variant(self, data, name, answers=("OK",), args=HEADLESS):
        (self.session.root / name).write_bytes(data)
        exe = self.session.install_stub("C:\\Variants", name, source=self.session.root / name)
        temp = self.session.user_temp()
        before = set(temp.glob("vr*"))
        result = self.session.run(exe, list(args), answers=list(answers))
        result.temp_left = set(temp.glob("vr*")) - before
        return result

    def test_the_built_installer_is_accepted_and_leaves_no_temporary_files(self):
        self.session.user_temp().mkdir(parents=True, exist_ok=True)
        result = self.run_variant(self.good, "good.exe", answers=())
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(result.temp_left, set())

    def assertRefusedCleanly(self, result, what):
        self.assertEqual(len(result.boxes), 1, what)
        self.assertEqual(result.boxes[0].title, FATAL, what)
        self.assertRegex(result.boxes[0].text, CONTAINER_FAULT, what)
        self.assertEqual(result.exit_code, 1, what)
        self.assertEqual(result.temp_left, set(), what)

    def test_a_flipped_byte_anywhere_in_the_digested_stretch_is_corrupt(self):
        lay = self.layout
        # Not in the stub's own code: once that is altered, what runs is no longer the
        # program that would check it.
        named = {
            "padding": lay.stub_length if lay.stub_length < lay.offset else lay.offset - 1,
            "stub length field": lay.offset + 8,
            "first gzip byte": lay.offset + 20,
            "last gzip byte": lay.digest_offset - 1,
            "first digest byte": lay.digest_offset,
            "last digest byte": lay.digest_offset + 15,
        }
        # And faults spread evenly over the rest of the digested stretch after the
        # stub's code, which could not check itself once altered: thirty in all.
        spread = {f"offset {at}": at
                  for at in range(lay.stub_length, lay.digest_offset, (lay.digest_offset - lay.stub_length) // 25)}
        positions = dict(list(named.items()) + list(spread.items())[:30 - len(named)])
        self.assertEqual(len(positions), 30)
        for what, at in positions.items():
            data = bytearray(self.good)
            data[at] ^= 0x01
            result = self.run_variant(data, "flipped.exe")
            self.assertBoxes(result, [CORRUPT])
            self.assertRefusedCleanly(result, what)

    def test_cut_anywhere_over_the_payload_and_digest(self):
        lay = self.layout
        end = lay.digest_offset + 16
        for at in range(lay.offset + 1, end, (end - lay.offset) // 30)[:30]:
            result = self.run_variant(self.good[:at], "cut.exe")
            self.assertRefusedCleanly(result, f"cut at {at}")

    def test_the_executable_headers_are_not_digested(self):
        data = bytearray(self.good)
        data[0x60] ^= 0x20  # inside the DOS stub's message
        result = self.run_variant(data, "headers.exe", answers=())
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)

    def test_truncated_files(self):
        lay = self.layout
        end = lay.digest_offset
        cut = end - 100
        # The last read of the stretch comes back short: the message counts what was
        # still to be read before that read.
        full_reads = (cut - 1024) // 16384
        remaining = lay.setuplen - 16384 * full_reads
        self.assertBoxes(self.run_variant(self.good[:cut], "cut-inside.exe"),
                         [(FATAL, f"Can't read entire filecheck: {remaining}")])
        self.assertBoxes(self.run_variant(self.good[:end], "cut-behind.exe"), [(FATAL, "Can't read filecheck: 0")])
        self.assertBoxes(self.run_variant(self.good[:end + 7], "cut-digest.exe"), [(FATAL, "Can't read filecheck: 7")])

    def test_a_payload_made_for_another_stub_has_the_wrong_signature(self):
        foreign = ct.signature_of(b"\x00" * 23040 + bytes(range(16)))
        manifest, records = ct.split_stream(self.layout.stream())
        manifest = foreign + manifest[manifest.index(b"\r\n"):]
        data = ct.assemble(self.layout.stub, ct.join_stream(manifest, records))
        result = self.run_variant(data, "foreign.exe")
        self.assertBoxes(result, [(FATAL, "Invalid manifest signature")])
        self.assertEqual(result.temp_left, set())

    def test_a_header_off_the_probed_boundaries_is_not_found(self):
        stream = self.layout.stream()
        for what, offset in (("not a multiple of 1024", 205312), ("below 204800", 203776)):
            with self.subTest(what):
                if offset < len(self.layout.stub):
                    self.skipTest("the stub is longer than the offset")
                data = ct.assemble(self.layout.stub, stream, payload_offset=offset)
                # Longer than the program with no payload found: a damaged download.
                self.assertBoxes(self.run_variant(data, "moved.exe"), [CORRUPT])

    def test_a_resource_of_the_wrong_size_names_its_ordinal(self):
        manifest, records = ct.split_stream(self.layout.stream())
        manifest = manifest.replace(b"LICENCE=licence.txt\t", b"LICENCE=licence.txt\t1")
        data = ct.assemble(self.layout.stub, ct.join_stream(manifest, records))
        result = self.run_variant(data, "size.exe")
        self.assertEqual(len(result.boxes), 1)
        licence_size = (SAMPLE / "licence.txt").stat().st_size
        self.assertRegex(result.boxes[0].text,
                         rf"^File size does not match - file 2:C:\\users\\[^\\]+\\Temp\\vr\d+\\licence\.txt "
                         rf"1{licence_size}/{licence_size}$")
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(result.temp_left, set())


class InstalledCopyTest(WineTestCase):
    """A copy without payload works on the manifest beside it."""

    MANIFEST = b"\r\n[Features]\r\nFeature=Main\r\n[Components]\r\nComponent=Base\r\n%InstDir%\r\n[Run]\r\n"

    def place_copy(self, folder):
        exe = self.session.install_stub(folder)
        manifest = ct.signature_of(SETUP_EXE.read_bytes()) + self.MANIFEST
        self.session.unix_path(folder + "\\manifest").write_bytes(manifest)
        return exe

    def test_a_copy_in_a_resources_folder_takes_the_installation_from_its_place(self):
        exe = self.place_copy("C:\\Prog\\X\\resources")
        result = self.session.run(exe, ["--remove"], answers=["OK"])
        # The manifest's %InstDir% reads as the installation folder.
        self.assertBoxes(result, [(FATAL, "Feature C:\\Prog\\X not in manifest")])

    def test_a_copy_elsewhere_leaves_the_folder_unset(self):
        exe = self.place_copy("C:\\Prog\\Y")
        result = self.session.run(exe, ["--remove"], answers=["OK"])
        self.assertBoxes(result, [(FATAL, "Feature %InstDir% not in manifest")])


class PayloadProbeTest(WineTestCase):
    """The installer's payload code driven by a helper: variables set from the file,
    and files extracted from the stream."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.sample = build_installer(cls.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")

    def probe(self, installer, destination=None, answers=()):
        return self.session.probe(installer, [f"extract:{destination}"] if destination else [], answers)

    def test_referral_trailer_sets_the_referral_and_extends_the_ordering_address(self):
        result, values = self.probe(self.sample)
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(values["ReferralID"], "(unset)")
        default = values["OrderingURL"]
        self.assertTrue(default.startswith("http://"))
        self.assertEqual(values["Install"], "yes")
        self.assertEqual(values["resources"], "5")  # the program itself and the four resources

        referred = build_installer(self.session.root / "referred.exe", SAMPLE / "manifest.txt", SAMPLE / "files",
                                   referral=12345)
        self.assertEqual(referred.read_bytes()[-4:], bytes.fromhex("3930c6cf"))
        _, values = self.probe(referred)
        self.assertEqual(values["ReferralID"], "12345")
        self.assertEqual(values["OrderingURL"], default + "?referrer=12345")

        unchecked = self.session.root / "unchecked.exe"
        unchecked.write_bytes(self.sample.read_bytes() + bytes.fromhex("39300000"))
        _, values = self.probe(unchecked)
        self.assertEqual(values["ReferralID"], "(unset)")

    def test_files_come_out_byte_for_byte_in_manifest_order(self):
        result, values = self.probe(self.sample, "C:\\Out")
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        out = self.session.unix_path("C:\\Out")
        source = SAMPLE / "files"
        expected = sorted(p.relative_to(source) for p in source.rglob("*") if p.is_file())
        self.assertEqual(sorted(p.relative_to(out) for p in out.rglob("*") if p.is_file()), expected)
        for rel in expected:
            self.assertEqual((out / rel).read_bytes(), (source / rel).read_bytes(), str(rel))
        self.assertEqual((out / "examples/hello/empty.txt").stat().st_size, 0)
        self.assertEqual(values["file_ordinal"], str(4 + len(expected)))

    def test_a_file_of_the_wrong_size_names_its_ordinal_and_path(self):
        layout = ct.Installer(self.sample.read_bytes())
        manifest, records = ct.split_stream(layout.stream())
        size = (SAMPLE / "files/include/demo.h").stat().st_size
        manifest = manifest.replace(f"demo.h\t{size}".encode(), f"demo.h\t{size + 1}".encode())
        tampered = self.session.root / "tampered.exe"
        tampered.write_bytes(ct.assemble(layout.stub, ct.join_stream(manifest, records)))
        result, _ = self.probe(tampered, "C:\\Bad", answers=["OK"])
        # Four resources and two files come before demo.h.
        self.assertBoxes(result, [(FATAL, f"File size does not match - file 6:C:\\Bad\\include\\demo.h {size + 1}/{size}")])
        self.assertEqual(result.exit_code, 1)

    def test_a_held_destination_asks_retry_or_cancel(self):
        question = ("Can't create file", "The file C:\\Held\\bin\\democc.exe cannot be written to -\n"
                                         "close any other applications that may be using it")
        self.session.unix_path("C:\\Held\\bin").mkdir(parents=True)
        holder, release = self.session.hold_file("C:\\Held\\bin\\democc.exe")
        try:
            result, _ = self.probe(self.sample, "C:\\Held", answers=["Retry", "Retry@release=" + release])
        finally:
            holder.wait(timeout=30)
        self.assertBoxes(result, [question, question])
        self.assertEqual(result.boxes[0].buttons, ["Cancel", "Retry"])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(self.session.unix_path("C:\\Held\\bin\\democc.exe").read_bytes(),
                         (SAMPLE / "files/bin/democc.exe").read_bytes())

        self.session.unix_path("C:\\Held2\\bin").mkdir(parents=True)
        holder, release = self.session.hold_file("C:\\Held2\\bin\\democc.exe")
        try:
            result, _ = self.probe(self.sample, "C:\\Held2", answers=["Cancel", "OK"])
        finally:
            (self.session.root / "release").touch()
            holder.wait(timeout=30)
        self.assertBoxes(result, [
            ("Can't create file", question[1].replace("Held", "Held2")),
            (FATAL, "Can't create file: C:\\Held2\\bin\\democc.exe\nError 13"),
        ])
        self.assertEqual(result.exit_code, 1)


if __name__ == "__main__":
    unittest.main()
