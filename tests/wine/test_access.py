"""The wizard at 150% and 200% (on a screen large enough for it), and driven by keys alone."""
import unittest

from winetest import (ACCEPT, ACCEPT_ID, CANCEL_ID, FOLDER_ID, LICENCE, LICENCE_ID, NEXT, PATH_ID, ROOT, WineTestCase,
                      build_sample_variant, click)

DESKTOP = "HKCU\\Control Panel\\Desktop"


def walk(folder, then_to_144_dpi):
    """Every page in turn (welcome, licence, folder, configuration, completion), listed;
    then, if asked, the last page again, the window moved to a monitor at 144 DPI."""
    move = ["do:dpi:144", "do:window", "do:controls"] if then_to_144_dpi else []
    return ["do:window", "do:controls", NEXT, "do:controls", ACCEPT, NEXT, "do:controls", f"do:type:{FOLDER_ID}:{folder}",
            NEXT, "do:controls", NEXT, "do:waitfor:Finish", "do:controls", *move, NEXT]


class ScaleTest(WineTestCase):
    def walk(self, dpi, exe, then_to_144_dpi=False):
        self.session.wine("reg", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f", check=True)
        self.forget_sample_installations()
        log = self.session.root / f"scaled{dpi}.log"
        result = self.session.run(exe, [f"--log={self.session.win_path(log)}"],
                                  answers=walk(f"C:\\Scaled{dpi}", then_to_144_dpi))
        # A run that ends otherwise says how, from its log (seen once, under load, as exit code 1 without a box).
        told = log.read_text(encoding="latin-1")[-2000:] if log.exists() else "no log"
        self.assertEqual((result.exit_code, result.boxes), (0, []), f"{told}\n{result.stderr}")
        return result

    def assertPagesScaled(self, plain_pages, pages, factor, frame):
        """Each control within a pixel of `factor` times its place at 96 DPI and inside
        the window; its words inside it, in its own font; a name for a screen reader on
        every control that is not itself a text."""
        self.assertEqual(len(plain_pages), len(pages))
        for page, (at_96, scaled) in enumerate(zip(plain_pages, pages)):
            self.assertEqual([c["control"] for c in at_96], [c["control"] for c in scaled], page)
            for small, large in zip(at_96, scaled):
                # A combo box's height is the system's, from its font.
                edges = 3 if small["class"] == "ComboBox" else 4
                for edge_96, edge in zip(small["rect"][:edges], large["rect"][:edges]):
                    self.assertLessEqual(abs(edge - edge_96 * factor), 1, (page, small, large))
                x0, y0, x1, y1 = large["rect"]
                self.assertTrue(0 <= x0 and 0 <= y0 and x1 <= frame[2] - frame[0] and y1 <= frame[3] - frame[1],
                                (page, large))
                self.assertNotIn(False, (small["fits"], large["fits"]), (page, small, large))
                if large["class"] != "Static":
                    self.assertTrue(large["name"], (page, large))

    def test_every_page_scales_by_its_dpi_stays_on_the_screen_and_names_its_controls(self):
        exe = build_sample_variant(self.session, "sample")
        plain, scaled = self.walk(96, exe, then_to_144_dpi=True), self.walk(144, exe)
        with self.session.screen("2048x1536"):
            large = self.walk(192, exe)
        (plain_frame, _), moved = plain.frames
        self.assertEqual(len(plain.control_lists), 6)
        for result, factor in ((scaled, 1.5), (large, 2)):
            (frame, work), = result.frames
            left, top, right, bottom = frame
            # Inside the screen's work area (1024x768 at 144 DPI), centred on it.
            self.assertTrue(work[0] <= left and work[1] <= top and right <= work[2] and bottom <= work[3], (frame, work))
            self.assertLessEqual(abs((left - work[0]) - (work[2] - right)), 1)
            self.assertEqual(right - left, int((plain_frame[2] - plain_frame[0]) * factor))
            self.assertPagesScaled(plain.control_lists[:5], result.control_lists, factor, frame)
        # Moved at 96 to a monitor at 144 DPI, the window takes the size and layout it has
        # when started at 144.
        self.assertEqual(moved[0][2] - moved[0][0], scaled.frames[0][0][2] - scaled.frames[0][0][0])
        self.assertPagesScaled(plain.control_lists[4:5], plain.control_lists[5:], 1.5, moved[0])
        licence_box, = (c for c in scaled.control_lists[1] if c["control"] == LICENCE_ID)
        self.assertEqual(licence_box["name"], "Licence agreement")


class LanguageTest(WineTestCase):
    """The wizard in German and French: chosen by --ui-language= or by the user's
    interface language, every page in the language and every text inside its control,
    at 96 and 144 DPI; a product's own language file."""
    # Next, Cancel, the completion text's start, Cancel's question, Finish, and the
    # product messages' language the configuration page starts on.
    WORDS = {"de": ("Weiter", "Abbruch", "Herzlichen Glückwunsch!", "Setup abbrechen", "Fertig",
                    "German;Deutsch"),
             "fr": ("Suivant", "Annuler", "Félicitations !", "Annuler l'installation", "Terminer", "French;Français"),
             "en": ("Next", "Cancel", "Congratulations!", "Cancel setup", "Finish", "English")}

    def walk(self, exe, args, folder, env=None, dpi=96, language="en"):
        self.session.wine("reg", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f", check=True)
        self.forget_sample_installations()
        self.session.stop_server()
        self.session.env.pop("LC_ALL", None)
        self.session.env.update(env or {})
        # Cancel's question, declined, then every page listed.
        answers = [click(CANCEL_ID), "No", *walk(folder, False)]
        answers[answers.index("do:waitfor:Finish")] = "do:waitfor:" + self.WORDS[language][4]
        result = self.session.run(exe, args, answers=answers)
        self.assertEqual(result.exit_code, 0)
        return result

    def assertInLanguage(self, result, language):
        next_text, cancel, congratulations, question, _, messages = self.WORDS[language]
        self.assertEqual([b.title for b in result.boxes], [question])
        texts = [[c["text"] for c in page] for page in result.control_lists]
        self.assertEqual(len(texts), 5)  # welcome, licence, folder, configuration, completion
        for page in texts[:4]:
            self.assertIn(cancel, page)
            self.assertIn(next_text, page)
        self.assertIn(messages, texts[3])
        self.assertTrue(any(t.startswith(congratulations) for t in texts[4]), texts[4])
        for page in result.control_lists:
            for control in page:
                self.assertIsNot(control["fits"], False, control)  # None: not measured

    def test_german_and_french_pages_fit_at_96_and_144_dpi(self):
        exe = build_sample_variant(self.session, "sample")
        for language in ("de", "fr"):
            for dpi in (96, 144):
                result = self.walk(exe, [f"--ui-language={language}"], f"C:\\{language}{dpi}", dpi=dpi, language=language)
                self.assertInLanguage(result, language)
        # The user's own language, and English asked for on a German system.
        self.assertInLanguage(self.walk(exe, [], "C:\\System", {"LC_ALL": "de_DE.UTF-8"}, language="de"), "de")
        english = self.walk(exe, ["--ui-language=en"], "C:\\English", {"LC_ALL": "de_DE.UTF-8"})
        self.assertInLanguage(english, "en")

    def test_a_language_the_product_carries(self):
        french = (ROOT / "src/core/wizard/languages/fr.txt").read_text(encoding="utf-8")
        italian = french.replace("CancelButton=Annuler", "CancelButton=Annulla")
        exe = build_sample_variant(self.session, "italian", [("ICONUN=uninstall.ico\n",
                                                               "ICONUN=uninstall.ico\nUITEXTS_it=it.txt\n")],
                                   resources={"it.txt": italian.encode("utf-8")})
        self.forget_sample_installations()
        result = self.session.run(exe, ["--ui-language=it"], answers=["do:controls", "do:close"])
        self.assertIn("Annulla", [c["text"] for c in result.control_lists[0]])


class KeyboardTest(WineTestCase):
    def test_an_install_by_keys_alone_installs_what_a_headless_one_does(self):
        exe = build_sample_variant(self.session, "sample")
        result = self.session.run(exe, [], answers=[
            # Cancel focused: another program asking WM_USER still learns the window's
            # signature, and Enter presses Cancel (its question declined).
            "do:key:tab", "do:focus", "do:window", "do:key:enter", "No", "do:waitfor:focus", "do:key:shift+tab",
            "do:key:enter", "do:focus",           # the licence page, its text in focus
            "do:key:escape", "No", "do:waitfor:focus",  # Cancel's question, declined
            "do:key:tab", "do:focus", "do:key:shift+tab", "do:focus", "do:key:tab",
            "do:key:space", "do:key:enter",       # accepted, on to the folder page
            "do:focus", f"do:type:{FOLDER_ID}:C:\\Keys", "do:key:enter",
            f"do:waitfor:{PATH_ID}", "do:key:alt+a", f"do:state:{PATH_ID}",  # access keys: the box ticked,
            "do:key:alt+l", "do:focus",           # the language list reached through its label
            "do:key:enter", "do:waitfor:Finish", "do:key:enter"])
        self.assertEqual([b.title for b in result.boxes], ["Cancel setup", "Cancel setup"])
        self.assertEqual(result.exit_code, 0)
        self.assertEqual(result.windows[0]["user"], 0x534B0065)
        self.assertEqual([f["control"] for f in result.focus],
                         [CANCEL_ID, LICENCE_ID, ACCEPT_ID, LICENCE_ID, FOLDER_ID, 0])
        self.assertEqual(result.focus[-1]["class"], "ComboBox")
        self.assertTrue(result.controls[0]["checked"])
        self.forget_sample_installations()
        self.assertEqual(self.session.run(exe, ["--dir=C:\\Headless", LICENCE]).exit_code, 0)
        self.assertEqual(*(sorted(p.relative_to(root) for p in root.rglob("*"))
                           for root in map(self.session.unix_path, ("C:\\Keys", "C:\\Headless"))))


if __name__ == "__main__":
    unittest.main()
