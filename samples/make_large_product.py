#!/usr/bin/env python3
"""Generates the large synthetic product for benchmarks: about 1,300 files in nested
folders, about 63 MB, a mix of compressible text and less compressible binaries,
with its manifest source. The same seed gives the same files.

    make_large_product.py OUTDIR [--changed PERCENT] [--patch-level N]

--changed gives the same product with one byte changed in the middle of PERCENT of
its files (the same ones every time), as a next build or patch level differs;
--patch-level sets its PatchLevel.
"""
import argparse
import random
import shutil
import sys
from pathlib import Path

SAMPLE = Path(__file__).resolve().parent / "sample-product"
WORDS = ("static int void return struct unsigned char const register volatile if else while for switch case "
         "break continue define include ifdef endif port timer interrupt flag config bank address data "
         "buffer count index value status result error ready busy enable disable").split()


def text_pool(rng, lines=3000):
    pool = []
    for _ in range(lines):
        indent = "    " * rng.randrange(4)
        pool.append(indent + " ".join(rng.choices(WORDS, k=rng.randrange(3, 12))) + ";\n")
    return pool


def binary(rng, size):
    # Half noise, half structured tables: compresses a little, as object code does.
    noise = rng.randbytes(size // 2)
    table = bytes((i * 7 + (i >> 5)) & 0xFF for i in range(size - len(noise)))
    return noise + table


def change_some(files, percent):
    paths = sorted(p for p in files.rglob("*") if p.is_file())
    for path in random.Random(percent).sample(paths, round(len(paths) * percent / 100)):
        data = bytearray(path.read_bytes())
        data[len(data) // 2] ^= 0xFF
        path.write_bytes(bytes(data))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("out", type=Path)
    parser.add_argument("--changed", type=float, default=0)
    parser.add_argument("--patch-level")
    options = parser.parse_args()
    out = options.out
    if (out / "manifest.txt").exists():
        return
    rng = random.Random(20261206)
    files_root = out / "files"
    pool = text_pool(rng)
    features = []
    count = 0
    for top in ("bin", "include", "lib", "docs", "examples", "src"):
        folders = []
        for sub in range(9):
            depth = rng.randrange(1, 4)
            folder = "/".join([top] + [f"{top[:3]}{sub}_{d}" for d in range(depth)])
            names = []
            for n in range(rng.randrange(22, 27)):
                is_binary = top in ("bin", "lib") or rng.random() < 0.08
                name = f"f{count:04d}" + (".bin" if is_binary else ".txt")
                path = files_root / folder / name
                path.parent.mkdir(parents=True, exist_ok=True)
                if is_binary:
                    path.write_bytes(binary(rng, rng.randrange(40_000, 140_000)))
                else:
                    path.write_text("".join(rng.choices(pool, k=rng.randrange(150, 700))))
                names.append(name)
                count += 1
            folders.append((folder, names))
        features.append((top, folders))

    for resource in ("setup.ico", "background.bmp", "licence.txt", "uninstall.ico"):
        shutil.copyfile(SAMPLE / resource, out / resource)
    lines = ["[Resources]", "ICON=setup.ico", "BACKGROUND=background.bmp", "LICENCE=licence.txt",
             "ICONUN=uninstall.ico", "[Variables]", "Manufacturer=Voranth", "Product=LargeSuite",
             "Description=Large synthetic product", "Version=2.0", "ShortcutFolderName=Large Suite"]
    if options.patch_level:
        lines.append(f"PatchLevel={options.patch_level}")
    lines.append("[Features]")
    for top, folders in features:
        lines.append(f"Feature={top}")
        for folder, names in folders:
            lines.append(folder + "/")
            lines.extend(names)
    lines.append("[Components]")
    for top, _ in features:
        lines += [f"Component={top}", f"Description={top} files", "Required=yes", top]
    lines.append("[Run]")
    (out / "manifest.txt").write_text("\n".join(lines) + "\n")
    if options.changed:
        change_some(files_root, options.changed)
    size = sum(p.stat().st_size for p in files_root.rglob("*") if p.is_file())
    print(f"large product: {count} files, {size / 1e6:.1f} MB in {out}")


if __name__ == "__main__":
    main()
