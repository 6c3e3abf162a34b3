#!/usr/bin/env python3
"""Writes the sample product's pictures: the wizard background (a 16-colour bitmap)
and the two icons. Run once; the results are kept beside the sample manifest."""
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent / "sample-product"


def palette16():
    # A blue ramp for the background, white last.
    colours = [(40 + i * 13, 70 + i * 11, 120 + i * 8) for i in range(15)] + [(255, 255, 255)]
    return b"".join(bytes((b, g, r, 0)) for r, g, b in colours)


def bmp4(width, height, pixel):
    row = ((width + 1) // 2 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        line = bytearray()
        for x in range(0, width, 2):
            hi, lo = pixel(x, y), pixel(x + 1, y) if x + 1 < width else 0
            line.append((hi << 4) | lo)
        rows.append(bytes(line).ljust(row, b"\0"))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(bits), 2835, 2835, 16, 0)
    offset = 14 + len(info) + 64
    return b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset) + info + palette16() + bits


def background():
    # A band on the left for the page text to stand out against, a ramp elsewhere.
    def pixel(x, y):
        if 30 <= x <= 570 and 110 <= y <= 380:
            return 15
        return min(14, (x + y) * 15 // 1060)
    return bmp4(600, 460, pixel)


def icon(mark):
    size = 32
    def pixel(x, y):
        return 15 if mark(x, y) else 3 + (x + y) // 6
    bmp = bmp4(size, size, pixel)[14:]  # icons hold the bitmap without its file header
    header, rest = bmp[:40], bmp[40:]
    header = header[:8] + struct.pack("<i", size * 2) + header[12:]  # XOR and AND masks
    mask = bytes(4 * size)
    image = header + rest + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22) + image


def main():
    HERE.mkdir(parents=True, exist_ok=True)
    (HERE / "background.bmp").write_bytes(background())
    (HERE / "setup.ico").write_bytes(icon(lambda x, y: abs(x - y) < 3 or abs(x + y - 31) < 3))
    (HERE / "uninstall.ico").write_bytes(icon(lambda x, y: 13 <= y <= 18 and 4 <= x <= 27))


if __name__ == "__main__":
    main()
