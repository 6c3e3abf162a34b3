"""What deployment tools rely on: unattended runs that never show a window, the
run's log, the options list, the uninstall entry as the system's programs list
reads it, and signed installers."""
import hashlib
import subprocess
import unittest

from winetest import (
    HELPERS_DIR, LICENCE, SAMPLE, SAMPLE_ENTRY, SETUP_EXE, STUB_BITS, UNINSTALL, WineTestCase, build_installer,
    build_sample_variant, mkinstaller, tool_feature)


def log_entries(path):
    """The log's entries without their times, continuation lines joined with "\\n"."""
    entries = []
    for line in path.read_bytes().decode("latin-1").split("\r\n"):
        if line.startswith("    ") and entries:
            entries[-1] += "\n" + line[4:]
        elif line:
            entries.append(line.split("  ", 1)[1])
    return entries


class UnattendedTest(WineTestCase):
    """Each fault ends the run without a window (the robot sees no box), with the
    box's text on standard error and in the log; a question answered by rule ends it
    as cancelled (1602), a file in use waits for the restart (3010), said last on
    standard error and in the log."""

    def run_unattended(self, exe, folder):
        log = self.session.root / f"{folder}.log"
        result = self.session.run(exe, [f"--dir=C:\\{folder}", LICENCE, "--unattended",
                                        f"--log={self.session.win_path(log)}"])
        self.assertEqual(result.boxes, [])
        self.assertEqual(result.exit_code, 1602)
        entries = log_entries(log)
        self.assertEqual(entries[-1], "Exit code 1602: cancelled")
        self.assertEqual(result.stderr.splitlines()[-1], "Exit code 1602: cancelled")
        return result, entries

    def test_held_files_are_replaced_or_deleted_at_the_restart(self):
        exe = build_sample_variant(self.session, "held")
        self.session.unix_path("C:\\Held\\bin").mkdir(parents=True)
        log = self.session.root / "held.log"
        restart = "Exit code 3010: done; a restart is needed to finish"
        with self.session.held("C:\\Held\\bin\\democc.exe"):
            result = self.session.run(exe, ["--dir=C:\\Held", LICENCE, "--unattended",
                                            f"--log={self.session.win_path(log)}"])
        self.assertEqual((result.exit_code, result.boxes), (3010, []))
        self.assertEqual(result.stderr.splitlines(), [
            "Can't create file: The file C:\\Held\\bin\\democc.exe cannot be written to -",
            "close any other applications that may be using it", restart])
        entries = log_entries(log)
        question = entries.index("Message \"Can't create file\": The file C:\\Held\\bin\\democc.exe cannot be written "
                                 "to -\nclose any other applications that may be using it")
        self.assertEqual(entries[question + 1:question + 3], [
            "Answer: Ignore (unattended)",
            "File C:\\Held\\bin\\democc.exe is in use: the new one is written as C:\\Held\\bin\\democc.exe.vr-new and "
            "takes its place when the computer restarts"])
        self.assertEqual(entries[-1], restart)
        self.assertEqual(self.session.unix_path("C:\\Held\\bin\\democc.exe.vr-new").read_bytes(),
                         (SAMPLE / "files/bin/democc.exe").read_bytes())
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"), ("REG_SZ", "C:\\Held"))

        # The removal leaves a held file for the restart and still unregisters the product.
        with self.session.held("C:\\Held\\bin\\demolink.exe"):
            result = self.session.run("C:\\Held\\resources\\setup.exe", ["--remove-silently", "--unattended",
                                                                          f"--log={self.session.win_path(log)}"])
        self.assertEqual((result.exit_code, result.stderr.splitlines()[-1]), (3010, restart))
        self.assertIn("File C:\\Held\\bin\\demolink.exe is in use: it will be deleted when the computer restarts",
                      log_entries(log))
        self.assertIsNone(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"))
        # The new version that waited for the restart went too: the restart brings nothing back.
        self.assertFalse(self.session.unix_path("C:\\Held\\bin\\democc.exe.vr-new").exists())

    def test_what_cannot_be_carried_out_ends_at_once_with_87(self):
        exe = build_sample_variant(self.session, "refused")
        folder = ["--dir=C:\\Refused", LICENCE, "--unattended"]
        runs = {
            "--no-Base: the component is required and cannot be left out": folder + ["--no-Base"],
            "--no-Exampels: no such component; the components are Base, Examples, Probe": folder + ["--no-Exampels"],
            "/S: no such option (setup.exe --help lists them)": folder + ["/S"],
            "--ui-language=it: no such language; choose en, de, fr or one the product carries":
                folder + ["--ui-language=it"],
            "--unattended: this run would wait for a person on the wizard's pages; give --dir= and \"--I agree to the "
            "terms of the licence\" to install, or --remove-silently to remove": ["--dir=C:\\Refused", "--unattended"],
        }
        for refusal, args in runs.items():
            result = self.session.run(exe, args)
            self.assertEqual((result.exit_code, result.boxes), (87, []), refusal)
            self.assertEqual(result.stderr.splitlines(), [
                f"Fatal error: {refusal}", "Exit code 87: a command-line option was refused"])
        self.assertFalse(self.session.unix_path("C:\\Refused").exists())
        # A log in folders that do not exist yet: they are made.
        result = self.session.run(exe, folder + ["--log=C:\\Logs\\DemoC\\install.log"])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(log_entries(self.session.unix_path("C:\\Logs\\DemoC\\install.log"))[-1], "Exit code 0: done")

    def test_questions_take_no_for_an_answer(self):
        # An external installer that fails: "continue anyway?" is answered No (a missing
        # prerequisite's question takes the same path, proved natively).
        exe = build_sample_variant(self.session, "failing", tool_feature(("TOOLSETUP", 3, ""), required=False),
                                   resources={"tool-setup.exe": (HELPERS_DIR / "exit_with.exe").read_bytes()})
        result, entries = self.run_unattended(exe, "Failing")
        self.assertEqual(result.stderr, "Install failed: The installation of The tool was not successful\n"
                                        "See the maker.\nDo you want to continue anyway?\n"
                                        "Fatal error: Installation terminated - suggest you install The tool\n"
                                        "then retry this installation\nExit code 1602: cancelled\n")

    def test_help_lists_the_options_in_a_box_and_on_standard_output(self):
        exe = build_sample_variant(self.session, "help")
        for option in ("--help", "/?"):
            result = self.session.run(exe, [option], answers=["OK"])
            self.assertEqual([b.title for b in result.boxes], ["Setup options"])
            self.assertEqual(result.boxes[0].text, result.stdout)
            for name in ("--dir=FOLDER", "--remove-silently", "--unattended", "--log=FILE", "Exit codes: 0"):
                self.assertIn(name, result.stdout)
            self.assertEqual(result.exit_code, 0)


class RunLogTest(WineTestCase):
    def test_install_removal_and_a_killed_run_leave_their_logs(self):
        exe = build_sample_variant(self.session, "sample")
        log = self.session.root / "install.log"
        result = self.session.run(exe, ["--dir=C:\\Logged", LICENCE, f"--log={self.session.win_path(log)}"])
        self.assertEqual(result.exit_code, 0)
        entries = log_entries(log)
        self.assertEqual(entries[:2], [f"Options: \"--dir=C:\\Logged\" \"{LICENCE}\" \"--log={self.session.win_path(log)}\"",
                                       "Run mode: headless installation"])
        self.assertRegex(entries[2], r"^Temporary folder: C:\\users\\[^\\]+\\Temp\\vr\d{1,4}$")
        self.assertEqual(entries[3], "Installation folder: C:\\Logged")
        files = [p for p in (SAMPLE / "files").rglob("*") if p.is_file()]
        copied = [e.strip() for e in entries if e.strip().startswith("Copying file ")]
        self.assertEqual(sorted(copied), sorted(["Copying file " + p.name for p in files] +
                                                ["Copying file " + r for r in ("setup.exe", "setup.ico", "uninstall.ico",
                                                                               "background.bmp", "licence.txt")]))
        # Where the run's time went, every step named, from the process's creation on.
        self.assertRegex(entries[-2], r"^Times \(seconds\): start-up \d+\.\d{3}, options and guard [\d.]+, temporary "
                                      r"folder [\d.]+, digest [\d.]+, manifest and resources [\d.]+, earlier runs "
                                      r"[\d.]+, folder checks and journal [\d.]+, product files [\d.]+, installed copy "
                                      r"[\d.]+, registration [\d.]+, shortcuts [\d.]+, installed manifest [\d.]+, "
                                      r"uninstall entry [\d.]+, clean-up [\d.]+, actions after the run [\d.]+; total "
                                      r"[\d.]+$")
        self.assertEqual(entries[-1], "Exit code 0: done")

        removal = self.session.root / "removal.log"
        result = self.session.run("C:\\Logged\\resources\\setup.exe",
                                  ["--remove-silently", f"--log={self.session.win_path(removal)}"])
        self.assertEqual(result.exit_code, 0)
        entries = log_entries(removal)
        self.assertEqual(entries[1], "Run mode: headless removal")
        deleted = {e.rsplit("\\", 1)[-1] for e in entries if e.startswith("Deleting file ")}
        self.assertTrue({p.name for p in files} <= deleted, deleted)
        self.assertEqual(entries[-1], "Exit code 0: done")

        # A run killed while a box waits for a person (the robot keeps choosing Retry
        # on a held file): everything up to the box is there.
        self.session.unix_path("C:\\Killed\\bin").mkdir(parents=True)
        killed = self.session.root / "killed.log"
        with self.session.held("C:\\Killed\\bin\\democc.exe"):
            result = self.session.run(exe, ["--dir=C:\\Killed", LICENCE, f"--log={self.session.win_path(killed)}"],
                                      answers=["Retry"] * 1000, timeout=8)
        self.assertTrue(result.timed_out)
        entries = log_entries(killed)
        self.assertIn("Copying file democc.exe", [e.strip() for e in entries])
        self.assertTrue(entries[-1].startswith("Message \"Can't create file\"") or entries[-1].startswith("Answer"))


class UninstallEntryTest(WineTestCase):
    def test_the_programs_list_shows_the_entry_and_its_quiet_command_removes_the_product(self):
        exe = build_sample_variant(self.session, "sample")
        self.assertEqual(self.session.run(exe, ["--dir=C:\\Listed", LICENCE]).exit_code, 0)
        quiet = self.session.reg_query(SAMPLE_ENTRY, "QuietUninstallString")
        self.assertEqual(quiet, ("REG_SZ", '"C:\\Listed\\resources\\setup.exe" --remove-silently'))
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "InstallLocation"), ("REG_SZ", "C:\\Listed"))
        # Every installed file, the record of them and the shortcuts included: the
        # entry is written last.
        root = self.session.unix_path("C:\\Listed")
        links = self.session.user_temp().parent / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/VORANTH Software"
        installed = [p for p in [*root.rglob("*"), *links.rglob("*")] if p.is_file()]
        kilobytes = -(-sum(p.stat().st_size for p in installed) // 1024)
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "EstimatedSize"), ("REG_DWORD", hex(kilobytes)))

        listing = self.session.wine("uninstaller", "--list").stdout.decode("latin-1")
        self.assertIn("DemoC Compiler Suite V1.20PL1", listing)

        program, arguments = quiet[1][1:].split('" ')
        result = self.session.run(program, arguments.split())
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertIsNone(self.session.reg_query(SAMPLE_ENTRY, "DisplayName"))
        self.assertNotIn("DemoC Compiler Suite", self.session.wine("uninstaller", "--list").stdout.decode("latin-1"))


class SignedInstallerTest(WineTestCase):
    def test_a_signed_installer_verifies_installs_and_a_flipped_byte_breaks_the_signature(self):
        work = self.session.root / "signing"
        work.mkdir()
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out",
                        "cert.pem", "-days", "2", "-subj", "/CN=Voranth Test Signing",
                        "-addext", "extendedKeyUsage=codeSigning"], cwd=work, check=True, capture_output=True)
        signed = self.session.root / "signed.exe"
        built = mkinstaller("build", "--stub", SETUP_EXE, "--manifest", SAMPLE / "manifest.txt",
                            "--root", SAMPLE / "files", "--sign", work / "cert.pem", "--sign-key", work / "key.pem",
                            "-o", signed)
        self.assertEqual(built.returncode, 0, built.stderr)

        def osslsigncode_verifies(path):
            return subprocess.run(["osslsigncode", "verify", "-CAfile", work / "cert.pem", "-in", path],
                                  capture_output=True).returncode == 0

        self.assertTrue(osslsigncode_verifies(signed))
        verified = mkinstaller("verify", signed)
        self.assertEqual(verified.returncode, 0, verified.stderr)
        self.assertIn("signed by /CN=Voranth Test Signing", verified.stdout)
        self.assertIn("installed copy signed by /CN=Voranth Test Signing", verified.stdout)
        exe = self.session.install_stub("C:\\Download", source=signed)
        result = self.session.run(exe, ["--dir=C:\\Signed", LICENCE])
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        # The copy the installation keeps, which runs elevated to remove it, is signed
        # too; altered, it no longer verifies.
        copy = self.session.unix_path("C:\\Signed\\resources\\setup.exe")
        self.assertTrue(osslsigncode_verifies(copy))
        altered = bytearray(copy.read_bytes())
        altered[len(altered) // 3] ^= 0x01
        (self.session.root / "altered.exe").write_bytes(altered)
        self.assertFalse(osslsigncode_verifies(self.session.root / "altered.exe"))
        result = self.session.run("C:\\Signed\\resources\\setup.exe", ["--remove-silently"])
        self.assertEqual((result.exit_code, result.boxes), (0, []))

        data = bytearray(signed.read_bytes())
        data[len(data) // 2] ^= 0x01  # inside the payload
        flipped = self.session.root / "flipped.exe"
        flipped.write_bytes(data)
        self.assertFalse(osslsigncode_verifies(flipped))



class PackageManifestTest(WineTestCase):
    def test_the_package_manifest_declares_what_the_installer_does(self):
        import yaml  # python3-yaml, as a package manager reads the files
        installer = build_installer(self.session.root / "sample.exe", SAMPLE / "manifest.txt", SAMPLE / "files")
        folder = self.session.root / "manifest"
        url = "https://downloads.voranth-tools.example/democ/setup.exe"
        done = mkinstaller("package-manifest", installer, "--url", url, "--id", "Voranth.DemoC", "-o", folder)
        self.assertEqual(done.returncode, 0, done.stderr)
        read = {kind: yaml.safe_load((folder / f"Voranth.DemoC{kind}.yaml").read_text())
                for kind in ("", ".locale.en-US", ".installer")}
        common = {"PackageIdentifier": "Voranth.DemoC", "PackageVersion": "1.20", "ManifestVersion": "1.6.0"}
        self.assertEqual(read[""], {**common, "DefaultLocale": "en-US", "ManifestType": "version"})
        self.assertEqual(read[".locale.en-US"], {
            **common, "PackageLocale": "en-US", "Publisher": "VORANTH Software", "PackageName": "DemoC Compiler Suite",
            "License": "Proprietary", "ShortDescription": "DemoC Compiler Suite", "ManifestType": "defaultLocale"})
        entry = {"DisplayName": "DemoC Compiler Suite V1.20PL1", "Publisher": "VORANTH Software",
                 "DisplayVersion": "1.20", "ProductCode": "DemoC 1.20PL1"}
        switches = read[".installer"]["InstallerSwitches"]
        self.assertEqual(read[".installer"], {
            **common, "InstallerType": "exe", "Scope": "machine", "ElevationRequirement": "elevatesSelf",
            "InstallModes": ["interactive", "silent", "silentWithProgress"], "InstallerSwitches": switches,
            "ExpectedReturnCodes": [{"InstallerReturnCode": code, "ReturnResponse": response} for code, response in (
                (1, "contactSupport"), (87, "invalidParameter"), (112, "diskFull"), (1602, "cancelledByUser"),
                (1618, "installInProgress"), (1638, "alreadyInstalled"),
                (3010, "rebootRequiredToFinish"))],
            "UpgradeBehavior": "uninstallPrevious", "ProductCode": "DemoC 1.20PL1", "AppsAndFeaturesEntries": [entry],
            "Installers": [{"Architecture": "x86" if STUB_BITS == 32 else "x64", "InstallerUrl": url,
                            "InstallerSha256": hashlib.sha256(installer.read_bytes()).hexdigest().upper()}],
            "ManifestType": "installer"})
        self.assertEqual(set(switches), {"Silent", "SilentWithProgress", "Log", "InstallLocation"})
        # The switches as the package manager joins them: installed, logged, placed.
        log = self.session.root / "managed.log"
        command = " ".join([switches["Silent"], switches["Log"].replace("<LOGPATH>", self.session.win_path(log)),
                            switches["InstallLocation"].replace("<INSTALLPATH>", "C:\\Managed")])
        exe = self.session.install_stub("C:\\Download", source=installer)
        result = self.session.run(exe, raw_args=command)
        self.assertEqual((result.exit_code, result.boxes), (0, []))
        self.assertTrue(self.session.unix_path("C:\\Managed\\bin\\democc.exe").exists())
        self.assertEqual(log_entries(log)[-1], "Exit code 0: done")
        uninstall = UNINSTALL + entry["ProductCode"]
        for name in ("DisplayName", "Publisher", "DisplayVersion"):
            self.assertEqual(self.session.reg_query(uninstall, name), ("REG_SZ", entry[name]), name)


if __name__ == "__main__":
    unittest.main()
