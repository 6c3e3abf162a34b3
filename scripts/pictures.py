"""Pictures of the installer's windows and boxes for the main job: a Wine session
whose robot holds the program still while an X window is captured with xwd.

An answer "BUTTON@shot=PNG" saves a picture of the box before answering it,
"do:shot:PNG" one of the wizard window, and "do:shotwhen:ID:PNG" one of the window
as soon as control ID shows (or a progress bar has moved).
"""
import re
import struct
import subprocess
import threading
import time
import zlib
from pathlib import Path

from winetest import WINE, WineSession


def xwd_to_rgb(data):
    """(width, height, RGB rows) of a 24- or 32-bit X window dump."""
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    pixels = data[header_size + 12 * ncolors:]
    step = bits_per_pixel // 8
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * step]
        if byte_order == 0:  # least significant byte first: B, G, R
            rows.append(bytes(b for x in range(width) for b in (line[x * step + 2], line[x * step + 1], line[x * step])))
        else:
            rows.append(bytes(b for x in range(width) for b in line[x * step + step - 3:x * step + step]))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in rows)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                           chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


class PictureSession(WineSession):
    def run(self, exe, args=(), answers=(), **kwargs):
        # Each picture's destination becomes a signal file the robot writes the X
        # window into, then waits until it is gone.
        self._shots = {}
        given = []
        for answer in answers:
            picture = re.match(r"(.*@shot=|do:shot:|do:shotwhen:\d+:)(.+)$", answer)
            if picture:
                signal = self.root / f"shot-{len(self._shots)}.xid"
                self._shots[signal] = Path(picture.group(2))
                answer = picture.group(1) + self.win_path(signal)
            given.append(answer)
        return super().run(exe, args, answers=given, **kwargs)

    def _run_robot(self, command, timeout, log):
        robot = subprocess.Popen([WINE, *map(str, command)], env=self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        errors = []  # read as it comes, so that a full pipe never stops the robot
        reader = threading.Thread(target=lambda: errors.append(robot.stderr.read()), daemon=True)
        reader.start()
        deadline = time.monotonic() + timeout
        while robot.poll() is None and time.monotonic() < deadline:
            for signal, png in self._shots.items():
                if signal.exists() and signal.stat().st_size:
                    self.capture_window(int(signal.read_text()), png)
                    signal.unlink()
            time.sleep(0.1)
        if robot.poll() is None:
            robot.kill()
            raise AssertionError("the robot did not end")
        reader.join()
        self.check_record(command[0], robot.returncode, b"".join(errors), log)

    def capture_window(self, xid, png_path):
        """Saves one X window as a PNG file."""
        raw = subprocess.run(["xwd", "-id", str(xid), "-silent", "-display", self.env["DISPLAY"]],
                             capture_output=True, check=True).stdout
        write_png(png_path, *xwd_to_rgb(raw))
        return png_path
