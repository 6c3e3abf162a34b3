"""The wizard window under Wine and Xvfb: its class and title, Cancel and Escape,
closing it, the licence and install-folder pages, the progress bar, and the
installed copy's Repair and Remove choices."""
import random
import re
import unittest

from winetest import (
    ACCEPT, ACCEPT_ID, BACK, BACK_ID, BAR_ID, CANCEL, CANCEL_ID, ENVIRONMENT, FINISH, FIRST_COMPONENT_ID, FOLDER_ID,
    HELPERS_DIR, LICENCE, LICENCE_ID, NEXT, NEXT_ID, PAGE_TEXT_ID, PATH_ID, REMOVE_ID, REPAIR_ID, ROW_ID, SAMPLE,
    SAMPLE_ENTRY, SAMPLE_PRODUCT, TO_FOLDER_PAGE, WineTestCase, build_sample_variant, click, state)


class WizardWindowTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = build_sample_variant(cls.session, "sample")

    def test_the_window_and_its_buttons(self):
        result = self.session.run(self.exe, [], answers=["do:window", state(NEXT_ID), state(BACK_ID), state(CANCEL_ID),
                                                         "do:close"])
        self.assertEqual(result.windows, [{"class": "VORANTH Installer", "title": "Installing DemoC Compiler Suite",
                                           "user": 0x534B0065}])
        next_button, back, cancel = result.controls
        self.assertEqual((next_button["text"], next_button["enabled"]), ("Next", True))
        self.assertEqual((back["text"], back["enabled"]), ("< Back", False))
        self.assertEqual((cancel["text"], cancel["enabled"]), ("Cancel", True))
        # Closing the window ends the run without a question.
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)

    def test_cancel_and_escape_ask_first(self):
        temp = self.session.user_temp()
        result = self.session.run(self.exe, [], answers=[click(CANCEL_ID), "No", "do:window", "do:escape", "Yes"])
        self.assertBoxes(result, [CANCEL, CANCEL])
        self.assertEqual(result.boxes[0].buttons, ["Yes", "No"])
        self.assertEqual(len(result.windows), 1)  # No left the wizard where it was
        self.assertEqual(result.exit_code, 1602)
        self.assertEqual(list(temp.glob("vr*")), [])


class InstalledVersionTest(WineTestCase):
    def test_a_newer_installed_version_is_asked_about(self):
        exe = build_sample_variant(self.session, "check", [("[Variables]\n", "[Variables]\nCheckInstalledVersions=yes\n")])
        self.session.reg_add("HKLM\\SOFTWARE\\Voranth\\DemoC\\1.3\\PL0", "InstDir", "REG_SZ", "C:\\Newer")
        question = ("Install older version?",
                    "A newer version (1.3) of DemoC, is already installed.\nAre you sure you want to install version (1.20)?")
        result = self.session.run(exe, [], answers=["No"])
        self.assertBoxes(result, [question])
        self.assertEqual(result.exit_code, 1602)
        result = self.session.run(exe, [], answers=["Yes", state(NEXT_ID), "do:close"])
        self.assertBoxes(result, [question])
        self.assertTrue(result.controls[0]["enabled"])
        self.assertEqual(result.exit_code, 0)


class MaintenanceTest(WineTestCase):
    """The copy in the installation's resources folder repairs or removes it."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        exe = build_sample_variant(cls.session, "sample")
        result = cls.session.run(exe, ["--dir=C:\\Kept", LICENCE])
        assert result.exit_code == 0, result
        cls.copy = "C:\\Kept\\resources\\setup.exe"
        manifest = cls.session.unix_path("C:\\Kept\\resources\\manifest").read_text(encoding="latin-1")
        cls.link = next(line for line in manifest.splitlines() if line.endswith("Read me.lnk"))

    def test_repair_registers_and_recreates_shortcuts_without_touching_files(self):
        link = self.session.unix_path(self.link)
        link.unlink()
        changed = self.session.unix_path("C:\\Kept\\docs\\readme.txt")
        changed.write_text("changed by the user")
        self.session.wine("reg", "delete", SAMPLE_ENTRY, "/f", check=True)
        # A repair shows the licence and the configuration again, then does the work.
        result = self.session.run(self.copy, [], answers=[state(NEXT_ID), click(REPAIR_ID), state(NEXT_ID), NEXT, ACCEPT,
                                                          NEXT, NEXT, *FINISH])
        self.assertEqual(result.exit_code, 0)
        self.assertBoxes(result, [])
        self.assertEqual([c["enabled"] for c in result.controls], [False, True])  # Next waits for a choice
        self.assertTrue(link.exists())
        self.assertEqual(self.session.read_link(self.link)["target"], "C:\\Kept\\docs\\readme.txt")
        self.assertEqual(changed.read_text(), "changed by the user")
        self.assertEqual(self.session.reg_query(SAMPLE_ENTRY, "UninstallString"),
                         ("REG_SZ", '"C:\\Kept\\resources\\setup.exe" --remove'))

    def test_remove_asks_and_no_stays_on_the_page(self):
        result = self.session.run(self.copy, ["--remove"],
                                  answers=[state(REMOVE_ID), NEXT, "No", state(REMOVE_ID), "do:close"])
        self.assertBoxes(result, [("Remove installation",
                                   "Are you sure you want to completely remove\nDemoC Compiler Suite V1.20?")])
        self.assertEqual([c["checked"] for c in result.controls], [True, True])
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(self.session.unix_path("C:\\Kept\\bin\\democc.exe").exists())


def control(listing, ident):
    """The control with that identifier in a "do:controls" listing, or None."""
    return next((c for c in listing if c["control"] == ident), None)


def texts_of(listing, prefix):
    return [c["text"] for c in listing if c["text"].startswith(prefix)]


class LicencePageTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = build_sample_variant(cls.session, "sample")

    def test_next_waits_for_the_tick_which_survives_going_back(self):
        result = self.session.run(self.exe, [], answers=[
            NEXT, state(LICENCE_ID), state(NEXT_ID), ACCEPT, state(NEXT_ID), ACCEPT, state(NEXT_ID), ACCEPT,
            BACK, NEXT, state(ACCEPT_ID), state(NEXT_ID), "do:close"])
        licence, *states = result.controls
        self.assertEqual(licence["text"], (SAMPLE / "licence.txt").read_bytes().decode("latin-1"))
        self.assertEqual([s["enabled"] for s in states[:3]], [False, True, False])
        self.assertEqual((states[3]["checked"], states[4]["enabled"]), (True, True))
        self.assertEqual(result.exit_code, 0)

    def test_without_a_licence_installing_is_fatal_and_removing_skips_the_page(self):
        exe = build_sample_variant(self.session, "nolicence", [("LICENCE=licence.txt\n", "")])
        temp = self.session.user_temp()
        result = self.session.run(exe, [], answers=[NEXT, "OK"])
        self.assertBoxes(result, [("Fatal error", "Could not find licence agreement")])
        self.assertEqual(result.exit_code, 1)
        self.assertEqual(list(temp.glob("vr*")), [])

        self.assertEqual(self.session.run(exe, ["--dir=C:\\NoLicence", LICENCE]).exit_code, 0)
        # The removal ends on a completion page with its text alone, under a title that says so.
        result = self.session.run("C:\\NoLicence\\resources\\setup.exe", ["--remove"],
                                  answers=[NEXT, "Yes", "do:waitfor:Finish", "do:window", "do:controls", NEXT])
        self.assertEqual([b.title for b in result.boxes], ["Remove installation"])
        self.assertEqual(result.windows[0]["title"], "Removing DemoC Compiler Suite")
        # Its text is a control's, which screen readers read.
        self.assertEqual(sorted((c["text"], c["enabled"]) for c in result.control_lists[0]),
                         [("< Back", False), ("Cancel", False),
                          ("DemoC Compiler Suite V1.20PL1 has been successfully uninstalled.", True), ("Finish", True)])
        self.assertEqual(result.exit_code, 0)
        self.assertFalse(self.session.unix_path("C:\\NoLicence\\bin\\democc.exe").exists())


class InstallFolderPageTest(WineTestCase):
    """A sample whose examples take 2 MB, so that choosing them shows in the space."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = build_sample_variant(cls.session, "big", [("empty.txt\n", "empty.txt\nbig.bin\n")],
                                       {"examples/hello/big.bin": bytes(range(256)) * 8192})

    def files_under(self, folder):
        root = self.session.unix_path(folder)
        return {str(p.relative_to(root)): p.read_bytes() for p in sorted(root.rglob("*")) if p.is_file()}

    def product_registry(self, folder):
        text = ""
        for key in ("HKLM\\SOFTWARE\\Voranth\\DemoC", SAMPLE_ENTRY):
            export = self.session.root / "export.reg"
            self.session.wine("reg", "export", key, self.session.win_path(export), "/y", check=True)
            text += export.read_text(encoding="utf-16").replace(folder.replace("\\", "\\\\"), "FOLDER")
        return text

    def test_clicks_and_typing_install_what_the_same_choices_install_headless(self):
        # The shortcut folders exist before both runs, so that neither records making them.
        programs = self.session.user_temp().parent / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
        (programs / "VORANTH Software/DemoC Compiler Suite").mkdir(parents=True, exist_ok=True)
        result = self.session.run(self.exe, [], answers=TO_FOLDER_PAGE + [
            "do:controls", "do:clicktext:Example programs", "do:controls", f"do:type:{FOLDER_ID}:C:\\Clicked", NEXT,
            "do:controls", "do:select:2", click(PATH_ID), NEXT, *FINISH])
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)
        before, after, configuration = result.control_lists
        self.assertEqual([c["text"] for c in configuration if c["class"] == "Static" and c["control"] != PAGE_TEXT_ID],
                         ["  &Language to use for messages"])
        self.assertEqual(next(c for c in configuration if c["class"] == "ComboBox")["text"], "English")
        self.assertEqual((control(configuration, PATH_ID)["text"], control(configuration, PATH_ID)["checked"]),
                         ("&Add to environment path", False))
        required, examples = control(before, FIRST_COMPONENT_ID), control(before, FIRST_COMPONENT_ID + 1)
        self.assertEqual((required["text"], required["checked"], required["enabled"]),
                         ("Compiler, headers and libraries", True, False))
        self.assertEqual((examples["checked"], control(after, FIRST_COMPONENT_ID + 1)["checked"]), (True, False))
        # Unticking the examples takes their 2 MB off (the rest counts the stub's own size).
        required = [re.fullmatch(r"Space required: (\d+\.\d) MB", texts_of(listing, "Space required")[0])
                    for listing in (before, after)]
        self.assertAlmostEqual(float(required[0][1]) - float(required[1][1]), 2.0, delta=0.11)
        self.assertRegex(texts_of(before, "Space available")[0], r"^Space available: [1-9][0-9]* MB$")
        clicked = (self.files_under("C:\\Clicked"), self.product_registry("C:\\Clicked"))
        # Beyond what a headless run writes: the language chosen and the folder on PATH.
        self.assertEqual(self.session.reg_query(SAMPLE_PRODUCT, "language"), ("REG_DWORD", "0xc"))
        self.assertTrue(self.session.reg_query(ENVIRONMENT, "PATH")[1].endswith(";C:\\Clicked\\bin"))

        # One version lives in one folder at a time: the first goes before the second comes.
        self.assertEqual(self.session.run("C:\\Clicked\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)
        (programs / "VORANTH Software/DemoC Compiler Suite").mkdir(parents=True, exist_ok=True)
        # The configuration page's choices from the command line, headless.
        result = self.session.run(self.exe, ["--dir=C:\\Typed", "--no-Examples", LICENCE, "--language=french",
                                             "--add-path"])
        self.assertEqual(result.exit_code, 0)
        self.assertNotIn("examples\\hello\\big.bin", clicked[0])
        self.assertIn("resources/manifest", clicked[0])
        self.assertEqual(clicked, (self.files_under("C:\\Typed"), self.product_registry("C:\\Typed")))
        self.assertTrue(self.session.reg_query(ENVIRONMENT, "PATH")[1].endswith(";C:\\Typed\\bin"))

    def test_a_file_where_the_folder_should_be_keeps_the_user_on_the_page(self):
        self.session.unix_path("C:\\AFile").write_text("not a folder")
        result = self.session.run(self.exe, [], answers=TO_FOLDER_PAGE + [
            f"do:type:{FOLDER_ID}:C:\\AFile", NEXT, "OK", state(FOLDER_ID), "do:close"])
        self.assertBoxes(result, [("Bad installation folder", "Already exists but is not a folder!")])
        self.assertEqual((result.controls[0]["text"], result.controls[0]["visible"]), ("C:\\AFile", True))
        self.assertEqual(result.exit_code, 0)

    def test_a_previous_installation_is_removed_first_or_overwritten_on_request(self):
        question = ("Previous Installation",
                    "There is a previous installation in that location.\nDo you want to remove it (recommended)?")
        overwrite = ("Previous Installation", "Then is it OK to overwrite the previous installation?")
        example = "examples\\hello\\big.bin"
        self.assertEqual(self.session.run(self.exe, ["--dir=C:\\Prev", LICENCE]).exit_code, 0)
        without_examples = TO_FOLDER_PAGE + ["do:clicktext:Example programs"]

        # No, then No: the user stays on the page.
        result = self.session.run(self.exe, [], answers=without_examples + [
            f"do:type:{FOLDER_ID}:C:\\Prev\\", NEXT, "No", "No", state(FOLDER_ID), "do:close"])
        self.assertBoxes(result, [question, overwrite])
        self.assertEqual(result.boxes[0].buttons, ["Yes", "No"])
        self.assertTrue(result.controls[0]["visible"])
        # No, then Yes: installed over the earlier files, which stay.
        result = self.session.run(self.exe, [], answers=without_examples + [f"do:type:{FOLDER_ID}:C:\\Prev", NEXT, "No", "Yes", NEXT,
                                                                            *FINISH])
        self.assertBoxes(result, [question, overwrite])
        self.assertEqual(result.exit_code, 0)
        self.assertTrue(self.session.unix_path("C:\\Prev\\" + example).exists())
        # Yes: the earlier installation's own remover runs before the new files arrive
        # (this run holds the installation guard, and hands it down to the remover).
        result = self.session.run(self.exe, [], answers=without_examples + [f"do:type:{FOLDER_ID}:C:\\Prev", NEXT, "Yes",
                                                                            f"do:waitfor:{PATH_ID}", NEXT, *FINISH])
        self.assertBoxes(result, [question])
        self.assertEqual(result.exit_code, 0)
        self.assertFalse(self.session.unix_path("C:\\Prev\\" + example).exists())
        self.assertTrue(self.session.unix_path("C:\\Prev\\bin\\democc.exe").exists())
        manifest = self.session.unix_path("C:\\Prev\\resources\\manifest").read_text(encoding="latin-1")
        self.assertNotIn("big.bin", manifest)
        # One folder per version: the class's other installations need this one gone.
        self.assertEqual(self.session.run("C:\\Prev\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)



class ConfigurationPageTest(WineTestCase):
    def test_a_choice_left_by_cancel_changes_nothing(self):
        # Applied when the run starts: ticked, then Back and Cancel, leaves PATH and
        # the product key as they were.
        exe = build_sample_variant(self.session, "cancelled")
        path = self.session.reg_query(ENVIRONMENT, "PATH")
        result = self.session.run(exe, [], answers=TO_FOLDER_PAGE + [f"do:type:{FOLDER_ID}:C:\\Gone", NEXT,
                                                                     click(PATH_ID), BACK, click(CANCEL_ID), "Yes"])
        self.assertEqual((result.exit_code, result.box_texts()), (1602, [CANCEL]))
        self.assertEqual(self.session.reg_query(ENVIRONMENT, "PATH"), path)
        self.assertIsNone(self.session.reg_query(SAMPLE_PRODUCT, "language"))

    def test_the_windows_9x_family_sets_path_in_autoexec_bat(self):
        exe = build_sample_variant(self.session, "nine")
        self.session.reg_add("HKCU\\Software\\Wine\\AppDefaults\\nine.exe", "Version", "REG_SZ", "win98")
        autoexec = self.session.unix_path("C:\\AUTOEXEC.BAT")
        autoexec.write_bytes(b"@ECHO OFF\r\n")
        path = self.session.reg_query(ENVIRONMENT, "PATH")
        result = self.session.run(exe, [], answers=TO_FOLDER_PAGE + [f"do:type:{FOLDER_ID}:C:\\Nine", NEXT, click(PATH_ID), NEXT,
                                                                     *FINISH])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(autoexec.read_bytes(), b"@ECHO OFF\r\nSET PATH=%PATH%;C:\\Nine\\bin\r\n")
        self.assertEqual(self.session.reg_query(ENVIRONMENT, "PATH"), path)


class CompletionPageTest(WineTestCase):
    """The last page's rows, and what Finish starts once the window has gone."""

    def finish(self, exe, folder, ticks=(), answers=()):
        """Installs by clicks into the folder; lists the completion page, ticks
        rows by their text, then Finish."""
        self.forget_sample_installations()
        return self.session.run(exe, [], answers=TO_FOLDER_PAGE + [
            f"do:type:{FOLDER_ID}:{folder}", NEXT, NEXT, "do:waitfor:Finish", "do:controls",
            *(f"do:clicktext:{text}" for text in ticks), NEXT, *answers])

    @staticmethod
    def rows(listing):
        """The page's rows from the top, as (text, checked), and its frame."""
        rows = sorted((c for c in listing if c["control"] == ROW_ID), key=lambda c: c["rect"][1])
        frame = next(c for c in rows if c["class"] == "Static" and c["text"] == "")
        return [(c["text"], c["checked"]) for c in rows if c is not frame], frame

    def test_documents_show_in_their_order_and_open_in_the_reverse(self):
        exe = build_sample_variant(self.session, "sample")
        result = self.finish(exe, "C:\\Docs", ticks=["User manual", "Release notes"])
        self.assertBoxes(result, [])
        self.assertEqual(result.exit_code, 0)
        page = result.control_lists[0]
        rows, frame = self.rows(page)
        self.assertEqual(rows, [("Would you like to read the", False), ("User manual", False),
                                ("Release notes", False), ("Read quickstart guide now ?", True)])
        left, top, right, bottom = frame["rect"]
        for row in (c for c in page if c["control"] == ROW_ID and c is not frame):
            self.assertTrue(left < row["rect"][0] and top < row["rect"][1] and row["rect"][3] < bottom, row)
        self.assertEqual(sorted((c["text"], c["enabled"]) for c in page if c["control"] in (NEXT_ID, BACK_ID, CANCEL_ID)),
                         [("< Back", False), ("Cancel", False), ("Finish", True)])
        # The order they open in is proved natively.
        self.assertEqual(sorted(self.session.opened_documents(3)), ["C:\\Docs\\docs\\quickstart.pdf",
                                                                   "C:\\Docs\\docs\\release-notes.pdf",
                                                                   "C:\\Docs\\docs\\user-manual.pdf"])

    def test_missing_documents_are_reported_and_passed_over(self):
        exe = build_sample_variant(self.session, "missing", [
            ("ReadQuickstart=docs\\quickstart.pdf", "ReadQuickstart=docs\\gone.pdf"),
            ("UserManual=docs\\user-manual.pdf", "UserManual=docs\\lost.pdf")])
        opened = self.session.opened_documents()
        result = self.finish(exe, "C:\\Miss", ticks=["User manual", "Release notes"], answers=["OK", "OK"])
        self.assertBoxes(result, [("Quickstart", "Could not locate quickstart guide:\n C:\\Miss\\docs\\gone.pdf"),
                                  ("Read PDF", 'Could not locate the "User manual":\n C:\\Miss\\docs\\lost.pdf')])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(self.session.opened_documents(len(opened) + 1), opened + ["C:\\Miss\\docs\\release-notes.pdf"])

    def test_the_ide_row_offers_java_first_when_no_listed_runtime_is_installed(self):
        exe = build_sample_variant(self.session, "ide", [
            ("[Variables]\n", "[Variables]\nTessaraOnly=yes\nJAVA=C:\\Java\\jre.exe\n"),
            ("[Resources]\n", "[Resources]\nJCOMPAT=jcompat.txt\n"),
            ("demolink.exe\n", "demolink.exe\ntessara.exe\n"),
            ("ReadPDFs=UserManual|ReleaseNotes\n", "")],
            {"bin/tessara.exe": (HELPERS_DIR / "exit_with.exe").read_bytes(),
             "../jcompat.txt": b"# runtimes TESSARA runs on\r\n\r\n1.6\r\n"})
        self.session.install_stub("C:\\Java", "jre.exe", source=HELPERS_DIR / "exit_with.exe")
        java_ran = self.session.unix_path("C:\\Java\\ran.txt")
        java = ("TESSARA requires Java. Run Java Runtime Environment installer ?", True)
        quickstart = ("Read quickstart guide now ?", True)  # listed before the ticks

        # No runtime: the Java installer is offered, ticked, and runs instead of the IDE.
        result = self.finish(exe, "C:\\Ide1", ticks=["Read quickstart guide now ?"])
        self.assertEqual(self.rows(result.control_lists[0])[0], [quickstart, java])
        self.assertEqual(java_ran.read_text().splitlines(), [""])
        self.assertFalse(self.session.unix_path("C:\\Ide1\\bin\\ran.txt").exists())

        # A runtime that a line of the list names (which lines match is proved natively): the IDE is offered, unticked.
        self.session.reg_add("HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.6.0_20", "JavaHome", "REG_SZ",
                             "C:\\J16")
        result = self.finish(exe, "C:\\Ide2", ticks=["Read quickstart guide now ?", "Run TESSARA now ?"])
        self.assertEqual(self.rows(result.control_lists[0])[0], [quickstart, ("Run TESSARA now ?", False)])
        self.assertEqual(self.session.unix_path("C:\\Ide2\\bin\\ran.txt").read_text().splitlines(), [""])
        self.assertEqual(java_ran.read_text().splitlines(), [""])



class ProgressBarTest(WineTestCase):
    def test_the_bar_rises_with_the_bytes_written(self):
        # Many files, so that the work lasts long enough to watch.
        blocks = {f"data/block{i:04}.bin": random.Random(i).randbytes(16384) for i in range(1500)}
        lines = "".join(f"block{i:04}.bin\n" for i in range(1500))
        exe = build_sample_variant(self.session, "large", [("manual.txt\n", "manual.txt\ndata/\n" + lines)], blocks)
        result = self.session.run(exe, [], answers=TO_FOLDER_PAGE + [NEXT, NEXT, f"do:waitfor:{BAR_ID}"] + [f"do:sample:{BAR_ID}"] * 40 + FINISH,
                                  timeout=120)
        self.assertEqual(result.exit_code, 0)
        positions = [c["position"] for c in result.controls if c.get("visible") and "position" in c]
        self.assertEqual(positions, sorted(positions))
        self.assertGreaterEqual(len({p for p in positions if 0 < p < 100}), 2, positions)


if __name__ == "__main__":
    unittest.main()
