"""A trial of random products and version histories: from a seed, a small product
in two or three versions (with or without a patch level and an edition, shortcuts
shared between versions or not, a file dropped and one added from version to
version), and a history of installs (into the default folder, a chosen one, another
version's folder, two at once), repairs through the wizard and removals. After every
step the machine must hold exactly the installations the history leaves: one uninstall
entry each, naming its folder and a remover that is there, their files and no others,
links that point at files, and nothing in TEMP or the journal folder.

    TRIAL_SEEDS=7,8,9 python3 -m unittest test_trial   # these seeds (a failure names its seed)
    make soak TRIAL_SECONDS=600                         # new seeds until the time is up
"""
import os
import random
import threading
import time
import unittest

from winetest import (ACCEPT, FINISH, LICENCE, NEXT, PROGRAM_FILES, REPAIR_ID, SETUP_EXE, UNINSTALL, WineTestCase, click,
                      mkinstaller, wait_until)

CI_SEEDS = (95, 100, 192)  # no patch level, shared menus, upgrades over older and newer, kills part-way, repairs, two at once
PUBLISHER = "VORANTH Software"


class Product:
    """A product of the seed: its versions' manifests and files, built into installers."""

    def __init__(self, rng, seed):
        self.name = f"Gen{seed}"
        self.patch = rng.choice(["", "PL1"])
        self.edition = rng.choice(["", "Pro"])
        self.versions = rng.choice([["1.0", "1.1"], ["1.0", "1.1", "2.0"]])
        self.shared_shortcuts = rng.random() < 0.5

    def files(self, version):
        """Relative path -> content; each version has one file of its own."""
        index = self.versions.index(version)
        return {"bin\\tool.exe": f"tool {version}", "docs\\readme.txt": f"readme {version}",
                f"lib\\only{index}.dat": f"only in {version}"}

    def menu(self, version):
        return f"{self.name} Tools" + ("" if self.shared_shortcuts else f" {version}")

    def default_folder(self, version):
        return PROGRAM_FILES + "\\Trial\\" + self.name + (f"\\{self.edition}" if self.edition else "") + f"\\{version}"

    def key(self):
        return "HKLM\\SOFTWARE\\Trial\\" + self.name + (f"\\{self.edition}" if self.edition else "")

    def entry(self, version):
        return f"{self.name} {version}{self.patch or 'PL0'}"

    def build(self, session, version):
        folder = session.root / f"{self.name}-{version}"
        files = self.files(version)
        lines = ["[Resources]", "LICENCE=licence.txt", "[Variables]", "Manufacturer=Trial", f"Product={self.name}",
                 f"Description={self.name} suite", f"Version={version}", f"ShortcutFolderName={self.menu(version)}"]
        lines += [f"PatchLevel={self.patch}"] if self.patch else []
        lines += [f"Edition={self.edition}"] if self.edition else []
        lines += ["[Features]", "Feature=Main"]
        for sub in sorted({path.rsplit("\\", 1)[0] for path in files}):
            lines.append(sub + "/")
            lines += [path.rsplit("\\", 1)[1] for path in files if path.rsplit("\\", 1)[0] == sub]
        lines += ["[Components]", "Component=Base", "Required=yes", "Main", "[Shortcuts]",
                  "Read me=docs\\readme.txt", "Remove=resources\\setup.exe>--remove", "[Run]"]
        (folder / "files").mkdir(parents=True)
        (folder / "manifest.txt").write_text("\n".join(lines) + "\n")
        (folder / "licence.txt").write_text(f"The licence of {self.name} {version}.\n")
        for path, content in files.items():
            target = folder / "files" / path.replace("\\", "/")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_text(content)
        done = mkinstaller("build", "--stub", SETUP_EXE, "--manifest", folder / "manifest.txt", "--root", folder / "files",
                           "-o", folder / "setup.exe")
        if done.returncode != 0 or done.stderr:
            raise AssertionError(f"the trial's product does not build cleanly: {done.stderr}")
        return session.install_stub("C:\\Trial\\Installers", f"{self.name}-{version}.exe", source=folder / "setup.exe")


class TrialTest(WineTestCase):
    def test_random_products_and_histories_keep_every_record_true(self):
        given, seconds = os.environ.get("TRIAL_SEEDS"), float(os.environ.get("TRIAL_SECONDS", "0"))
        seeds = [int(s) for s in given.split(",") if s] if given else ([] if seconds else list(CI_SEEDS))
        deadline = time.monotonic() + seconds
        while seeds or time.monotonic() < deadline:
            seed = seeds.pop(0) if seeds else random.randrange(10**6, 10**9)
            with self.subTest(seed=seed):
                self.run_history(seed, steps=6)

    def run_history(self, seed, steps):
        rng = random.Random(seed)
        product = Product(rng, seed)
        installers = {version: product.build(self.session, version) for version in product.versions}
        installed = {}  # folder -> version
        for step in range(steps):
            choice = rng.random()
            if installed and choice < 0.3:
                folder = rng.choice(sorted(installed))
                done = f"remove from {folder}"
                # Links into the other installations survive, shared names or not.
                others = {link: target for link, target in self.links(product).items()
                          if not target.lower().startswith(folder.lower() + "\\")}
                result = self.session.run(folder + "\\resources\\setup.exe", ["--remove-silently"])
                expected = 0
                del installed[folder]
                kept = self.links(product)
                self.assertEqual({link: kept.get(link) for link in others}, others, f"seed {seed}, step {step + 1}")
            elif installed and choice < 0.45:
                folder = rng.choice(sorted(installed))
                done = f"repair {folder} through its wizard"
                result = self.session.run(folder + "\\resources\\setup.exe", [],
                                          answers=[click(REPAIR_ID), NEXT, ACCEPT, NEXT, NEXT, *FINISH])
                expected = 0
            elif choice < 0.6 and len(free := [v for v in product.versions if v not in installed.values()]) >= 2:
                pair = rng.sample(free, 2)
                folders = [f"C:\\Trial\\{product.name}\\F{step}{i}" for i in range(2)]
                done = f"install {pair[0]} into {folders[0]} and {pair[1]} into {folders[1]} at once"
                results = self.run_at_once([(installers[v], [f"--dir={f}", LICENCE, "--unattended"])
                                            for v, f in zip(pair, folders)])
                # One installation at a time: a run that meets another is turned away
                # (1618) and goes through when tried again, so the history stays the seed's.
                codes = [r.exit_code for r in results]
                self.assertTrue(set(codes) <= {0, 1618} and 0 in codes, f"seed {seed}, step {step + 1}: {codes}")
                for version, folder, code in zip(pair, folders, codes):
                    if code == 1618:
                        result = self.session.run(installers[version], [f"--dir={folder}", LICENCE, "--unattended"])
                        self.assertEqual(result.exit_code, 0, f"seed {seed}, step {step + 1}: {folder} again")
                    installed[folder] = version
                result, expected = results[0], codes[0]
            else:
                version = rng.choice(product.versions)
                kind = rng.choice(["default", "chosen", "other"] if installed else ["default", "chosen"])
                folder = {"default": product.default_folder(version), "chosen": f"C:\\Trial\\{product.name}\\F{step}",
                          "other": rng.choice(sorted(installed)) if installed else None}[kind]
                # One version lives in one folder: another folder for it is refused (1638).
                elsewhere = [f for f, v in installed.items() if v == version and f.lower() != folder.lower()]
                earlier = next((v for f, v in installed.items() if f.lower() == (folder or "").lower()), None)
                if not elsewhere and rng.random() < 0.3:
                    done = f"kill an install of {version} into {folder} part-way, then take it back"
                    result, expected = self.kill_part_way(product, installers[version], version, folder), 0
                else:
                    done = f"install {version} into {folder}"
                    log = self.session.root / "trial.log"
                    log.unlink(missing_ok=True)
                    result = self.session.run(installers[version], [f"--dir={folder}", LICENCE, "--unattended",
                                                                    f"--log={self.session.win_path(log)}"])
                    expected = 1638 if elsewhere else 0
                    if earlier not in (None, version) and result.exit_code == 0:
                        self.assertIn(f"Replacing {product.entry(earlier)}, installed in this folder",
                                      log.read_text(encoding="latin-1"), f"seed {seed}, step {step + 1}")
                    if not elsewhere:
                        installed[folder] = version
            history = f"seed {seed}, step {step + 1}: {done}"
            self.assertEqual(result.exit_code, expected, f"{history}\n{result.stderr}{result.box_texts()}")
            self.check_invariants(product, installed, history)
        for folder in sorted(installed):
            self.assertEqual(self.session.run(folder + "\\resources\\setup.exe", ["--remove-silently"]).exit_code, 0)
        self.check_invariants(product, {}, f"seed {seed}: everything removed")

    def run_at_once(self, runs):
        """Each (installer, arguments) started at the same moment; their results."""
        results = [None] * len(runs)

        def run(i):
            results[i] = self.session.run(runs[i][0], runs[i][1])
        threads = [threading.Thread(target=run, args=(i,)) for i in range(len(runs))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        return results

    def entries(self, product):
        """Uninstall entries of the product: key name -> InstallLocation."""
        out = self.session.wine("reg", "query", UNINSTALL.rstrip("\\"), "/s").stdout.decode("latin-1")
        entries, key = {}, None
        for line in out.splitlines():
            if line.startswith("HKEY_"):
                key = line.rsplit("\\", 1)[-1]
            elif key and key.startswith(product.name + " ") and line.strip().startswith("InstallLocation"):
                entries[key] = line.split("REG_SZ", 1)[1].strip()
        return entries

    def check_invariants(self, product, installed, history):
        # Removed copies are deleted by their clean-up scripts once they have exited.
        gone = [f for f in self.product_folders(product) if f.lower() not in {i.lower() for i in installed}]
        wait_until(lambda: not any(self.session.unix_path(f).exists() for f in gone), 60, f"{history}: left", 0.5)
        expected = {product.entry(version): folder for folder, version in installed.items()}
        self.assertEqual(self.entries(product), expected, history)
        lines = self.session.wine("reg", "query", product.key()).stdout.decode("latin-1").splitlines()
        versions = {line.rsplit("\\", 1)[1] for line in lines
                    if line.startswith("HKEY_") and line.count("\\") > product.key().count("\\")}
        self.assertEqual(versions, set(installed.values()), f"{history}: the product's keys")
        for folder, version in installed.items():
            self.assertTrue(self.session.unix_path(folder + "\\resources\\setup.exe").exists(), history)
            on_disk = {str(p.relative_to(self.session.unix_path(folder))).replace("/", "\\")
                       for p in self.session.unix_path(folder).rglob("*") if p.is_file()}
            product_files = {p for p in on_disk if not p.startswith("resources\\")}
            self.assertEqual(product_files, set(product.files(version)), f"{history}: {folder}")
            for path, content in product.files(version).items():
                self.assertEqual(self.session.unix_path(f"{folder}\\{path}").read_text(), content, history)
        for folder in self.product_folders(product):
            if folder.lower() not in {f.lower() for f in installed}:
                self.assertFalse(self.session.unix_path(folder).exists(), f"{history}: {folder} left")
        for link, target in self.links(product).items():
            self.assertTrue(self.session.unix_path(target).exists(), f"{history}: {link} -> {target}")
        self.assertEqual(list(self.session.user_temp().glob("vr*")), [], history)
        journals = self.session.drive_c / "ProgramData" / PUBLISHER / "Setup journals"
        self.assertEqual(list(journals.glob("*.journal")) if journals.exists() else [], [], history)

    def links(self, product):
        """The product's Start-menu links: path -> target."""
        menus = self.session.user_temp().parent / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs" / PUBLISHER
        return {str(link.relative_to(menus)): self.session.read_link(self.session.win_path(link))["target"]
                for link in sorted(menus.glob(f"{product.name} Tools*/*.lnk"))}

    def kill_part_way(self, product, installer, version, folder):
        """Kills an installation of the version into the folder while it waits on a
        file held open (its last file; the other two are written), then lets the next
        run take it back: the wizard's notice. Returns that run."""
        held = f"{folder}\\lib\\only{product.versions.index(version)}.dat"
        made = [p for p in self.session.unix_path(held).parents if not p.exists()]  # the deepest first
        existed = self.session.unix_path(held).exists()
        for path in reversed(made):
            path.mkdir()
        with self.session.held(held):
            killed = self.session.run(installer, [f"--dir={folder}", LICENCE], answers=["kill"])
        self.assertEqual([box.title for box in killed.boxes], ["Can't create file"], killed.stderr)
        journals = self.session.drive_c / "ProgramData" / PUBLISHER / "Setup journals"
        self.assertTrue(list(journals.glob("*.journal")), "the killed run left no journal")
        if not existed:
            self.session.unix_path(held).unlink()
        result = self.session.run(installer, [], answers=["OK", "do:close"])
        self.assertEqual(result.box_texts(), [("Interrupted installation", f"An installation into {folder} was "
                                               "interrupted before it ended.\nWhat it had done has been taken back.")])
        for path in made:  # what the trial made for the held file, once emptied by the take-back
            if path.exists() and not any(path.iterdir()):
                path.rmdir()
        return result

    def product_folders(self, product):
        """Every folder a history of this product can install into."""
        chosen = self.session.unix_path(f"C:\\Trial\\{product.name}")
        folders = [product.default_folder(v) for v in product.versions]
        if chosen.exists():
            folders += [f"C:\\Trial\\{product.name}\\{p.name}" for p in chosen.iterdir()]
        return folders


if __name__ == "__main__":
    unittest.main()
