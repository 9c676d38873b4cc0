"""The GUI probe (gui_probe.exe) under Wine, and the Wine virtual desktop the
GUI tests run the programs on."""

import json
import os
import struct
import subprocess
import time
import zlib

import winharness as w

DESKTOP_SIZE = "1600x1200"
EXES = ("vantrel-https.exe", "vantrel-http.exe", "gui_probe.exe")

# Window messages the tests send.
WM_CLOSE = 0x0010
WM_NULL = 0x0000
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
WM_KEYDOWN = 0x0100
WM_KEYUP = 0x0101
WM_LBUTTONUP = 0x0202
WM_LBUTTONDBLCLK = 0x0203
WM_RBUTTONUP = 0x0205
SC_MINIMIZE = 0xF020
WM_TRAY_CALLBACK = 0x8000 + 200
VK_RETURN = 0x0D
VK_ESCAPE = 0x1B
VK_UP = 0x26
VK_DOWN = 0x28


class Probe:
    """One gui_probe.exe answering commands line by line."""

    def __init__(self):
        self.proc = subprocess.Popen(["wine", os.path.join(w.BIN, "gui_probe.exe")],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)

    def __call__(self, *fields):
        line = "\t".join(str(f) for f in fields) + "\n"
        self.proc.stdin.write(line.encode())
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer:
            raise AssertionError(f"gui_probe ended at: {line.strip()}")
        return json.loads(answer)

    def close(self):
        try:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.close()
            self.proc.wait(timeout=20)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait(timeout=10)
        self.proc.stdout.close()

    def wait_for(self, what, *fields, timeout=30):
        """Repeats a command until check(answer) holds; returns the answer."""
        end = time.time() + timeout
        answer = None
        while time.time() < end:
            answer = self(*fields)
            if what(answer):
                return answer
            time.sleep(0.1)
        raise AssertionError(f"{fields} did not settle within {timeout}s, last answer: {answer}")

    def main_window(self, timeout=60):
        return self.wait_for(lambda a: a is not None, "find", "HTTPVantrel_Main", timeout=timeout)

    def controls(self, hwnd):
        """The window's controls by id."""
        return {c["id"]: c for c in self("controls", hwnd)}


def wine_reg(*args):
    subprocess.run(["wine", "reg"] + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def use_virtual_desktop(name, dpi=None):
    """Puts the programs and probes started from now on onto the Wine virtual
    desktop name, so that windows have title bars and pictures of them can be
    taken; None leaves the other suites on the plain X11 desktop. A desktop
    keeps the screen DPI it started with, so a DPI other than Wine's default
    (96) needs a desktop name of its own."""
    reg = "HKCU\\Software\\Wine"
    dpi_key = "HKCU\\Control Panel\\Desktop"
    if dpi is None:
        wine_reg("delete", dpi_key, "/v", "LogPixels", "/f")
    else:
        wine_reg("add", dpi_key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    if name:
        wine_reg("add", reg + "\\Explorer\\Desktops", "/v", name, "/d", DESKTOP_SIZE, "/f")
    for exe in EXES:
        key = reg + "\\AppDefaults\\" + exe + "\\Explorer"
        if name:
            wine_reg("add", key, "/v", "Desktop", "/d", name, "/f")
        else:
            wine_reg("delete", key, "/f")


def screenshot_dir():
    path = os.path.join(os.path.dirname(os.path.abspath(w.BIN)), "screenshots")
    os.makedirs(path, exist_ok=True)
    return path


def bmp_to_png(bmp_path, png_path):
    """A 24-bit bottom-up BMP as written by the probe, saved as PNG."""
    with open(bmp_path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(png_path, "wb") as f:
        f.write(png)
