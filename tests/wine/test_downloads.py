"""Installers fetched from real servers on loopback (lighttpd, pyftpdlib and a
scripted server), run, judged by their exit code and deleted with the temporary
folder; every download failure reported, or silent when asked, and the next
source tried."""
import subprocess
import unittest

from servers import FileServer, FtpServer, ScriptedServer, TestCertificates, free_port
from winetest import (CANCEL, CANCEL_ID, FOLDER_ID, HELPERS_DIR, LICENCE, MKINSTALLER, NEXT, STATUS_ID, TO_FOLDER_PAGE,
                      WineTestCase, build_sample_variant, click, tool_feature)

RECORD = "C:\\ran.txt"


class DownloadTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.program = (HELPERS_DIR / "exit_with.exe").read_bytes()
        served = cls.session.root / "served"
        (served / "pub").mkdir(parents=True)
        (served / "pub" / "tool-setup.exe").write_bytes(cls.program)
        cls.files = FileServer(served, cls.session.root)
        cls.ftp = FtpServer(served)
        cls.scripted = ScriptedServer()
        cls.certificates = TestCertificates(cls.session.root)
        cls.secure = ScriptedServer(tls=cls.certificates)
        cls.secure.routes["/pub/tool-setup.exe"] = ScriptedServer.Response(cls.program)

    @classmethod
    def tearDownClass(cls):
        for server in (cls.files, cls.ftp, cls.scripted, cls.secure):
            server.close()
        super().tearDownClass()

    def install(self, name, edits, *extra, answers=()):
        self.forget_sample_installations()
        record = self.session.unix_path(RECORD)
        record.unlink(missing_ok=True)
        exe = build_sample_variant(self.session, name, edits)
        result = self.session.run(exe, [f"--dir=C:\\{name}", LICENCE, *extra], answers=list(answers))
        ran = record.read_text().splitlines() if record.exists() else []
        return result, ran

    def assertTempEmpty(self):
        self.assertEqual(list(self.session.user_temp().glob("vr*")), [])

    def test_a_server_that_never_answers_holds_neither_the_window_nor_the_run(self):
        self.scripted.routes["/pub/silent.exe"] = ScriptedServer.Response(silent=True)
        edits = tool_feature((self.scripted.url("pub/silent.exe"), f"0 {RECORD}", ""))
        # The wizard answers while the download waits, and Cancel ends the run at once
        # (well before the network's own time limit), taking back everything.
        exe = build_sample_variant(self.session, "silent", edits)
        result = self.session.run(exe, [], timeout=25, answers=TO_FOLDER_PAGE + [
            f"do:type:{FOLDER_ID}:C:\\Silent", NEXT, NEXT, f"do:waitfor:{STATUS_ID}", "do:window",
            click(CANCEL_ID), "Yes"])
        self.assertEqual((result.exit_code, result.box_texts()), (1602, [CANCEL]))
        self.assertEqual(result.windows[0]["user"], 0x534B0065)  # it answered a message sent with a time limit
        self.assertFalse(self.session.unix_path("C:\\Silent").exists())
        self.assertTempEmpty()
        # Headless, the network's time limit ends the wait, and the failure takes its usual path.
        log = self.session.root / "silent.log"
        result, ran = self.install("silentheadless", edits, "--unattended", f"--log={self.session.win_path(log)}")
        self.assertEqual((result.exit_code, ran), (1602, []))
        self.assertIn("HttpSendRequest: no answer from the server within 30 seconds", log.read_text(encoding="latin-1"))

    def test_http_and_ftp_installers_are_fetched_run_and_deleted(self):
        result, ran = self.install("fetched", tool_feature(
            (self.files.url("pub/tool-setup.exe"), f"7 {RECORD}", ""),   # runs, fails with 7
            (self.ftp.url("pub/tool-setup.exe"), f"0 {RECORD}", "")))     # runs, succeeds
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(len(ran), 2)
        for path in ran:
            self.assertRegex(path, r"\\Temp\\vr[^\\]*\\tool-setup\.exe$")
        self.assertTempEmpty()

    def test_each_failure_is_reported_and_the_next_source_tried(self):
        scripted = self.scripted
        scripted.routes["/folder/"] = ScriptedServer.Response(b"a listing")
        scripted.routes["/cut.exe"] = ScriptedServer.Response(self.program, cut_after=5000)
        scripted.routes["/get?id=7"] = ScriptedServer.Response(
            self.program, headers=[("Content-Disposition", 'attachment; filename="setup.exe"')], length=False)
        closed = f"http://127.0.0.1:{free_port()}/x.exe"
        edits = tool_feature(
            (self.files.url("pub/tool-setup.exe").replace("http://", "HTTP://"), f"0 {RECORD}", ""),
            (self.files.url("pub/missing.exe"), f"0 {RECORD}", ""),
            (scripted.url("folder/"), f"0 {RECORD}", ""),
            (closed, f"0 {RECORD}", ""),
            (scripted.url("cut.exe"), f"0 {RECORD}", ""),
            (scripted.url("get?id=7"), f"0 {RECORD}", ""),
            (self.files.url("pub/tool-setup.exe"), f"0 {RECORD}", ""))
        result, ran = self.install("failing", edits, answers=["OK"] * 5)
        texts = [box.text for box in result.boxes]
        self.assertEqual(texts[:2], ["Must start with http:// or ftp://", "Server error 404 while downloading"])
        self.assertRegex(texts[2], r"^Can't create file: C:\\users\\[^\\]+\\Temp\\vr[^\\]*\\: \d+$")
        self.assertEqual(texts[3:], ["HttpSendRequest failed: 12029",
                                     f"Download of {scripted.url('cut.exe')} broke off after 5000 bytes"])
        self.assertEqual(result.exit_code, 0)
        # The server's name for the file, and nothing after the first success.
        self.assertEqual(len(ran), 1)
        self.assertRegex(ran[0], r"\\vr[^\\]*\\setup\.exe$")
        self.assertTempEmpty()

        # Asked to keep quiet, the same run shows nothing.
        result, ran = self.install("quiet", edits, "--setTrue-SuppressMessages")
        self.assertBoxes(result, [])
        self.assertEqual((result.exit_code, len(ran)), (0, 1))

    def test_a_download_that_does_not_match_its_digest_is_never_run(self):
        served = self.session.root / "served" / "pub" / "tool-setup.exe"
        digest_line = subprocess.run([str(MKINSTALLER), "sha256", str(served)], check=True, capture_output=True,
                                     text=True).stdout.strip()
        self.assertRegex(digest_line, r"^SHA256=[0-9a-f]{64}$")
        wrong = "SHA256=" + "0" * 64 + "\n"
        url = self.files.url("pub/tool-setup.exe")
        result, ran = self.install("digest", tool_feature((url, f"0 {RECORD}", wrong), (url, f"0 {RECORD}", digest_line + "\n")),
                                   answers=["OK"])
        self.assertBoxes(result, [("Error", f"Downloaded file {url} does not match the SHA-256 digest in the manifest")])
        self.assertEqual((result.exit_code, len(ran)), (0, 1))
        self.assertTempEmpty()

        # Nothing that passes: the feature's question, and the wrong file never ran.
        result, ran = self.install("digest2", tool_feature((url, f"0 {RECORD}", wrong)), answers=["OK", "No", "OK"])
        self.assertEqual([box.title for box in result.boxes], ["Error", "Install failed", "Fatal error"])
        self.assertEqual((result.exit_code, ran), (1602, []))  # "continue anyway?" answered No
        self.assertTempEmpty()


    def test_https_needs_a_certificate_the_machine_trusts(self):
        url = self.secure.url("pub/tool-setup.exe")
        result, ran = self.install("untrusted", tool_feature((url, f"0 {RECORD}", "")), answers=["OK", "Yes"])
        self.assertEqual([box.title for box in result.boxes], ["Error", "Install failed"])
        self.assertRegex(result.boxes[0].text, r"^HttpSendRequest failed: 1\d{4}$")
        self.assertEqual((result.exit_code, ran), (0, []))

        trusted = self.session.wine(HELPERS_DIR / "trust_root.exe", self.session.win_path(self.certificates.authority_der))
        self.assertEqual(trusted.returncode, 0)
        # A manifest that wants https refuses a plain source and takes the secure one.
        result, ran = self.install("trusted", tool_feature((self.files.url("pub/tool-setup.exe"), f"0 {RECORD}", ""),
                                                           (url, f"0 {RECORD}", ""))
                                   + [("[Variables]\n", "[Variables]\nHttpsOnly=yes\n")], answers=["OK"])
        self.assertBoxes(result, [("Error", "Must start with https://")])
        self.assertEqual((result.exit_code, len(ran)), (0, 1))


if __name__ == "__main__":
    unittest.main()
