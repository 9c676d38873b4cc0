"""Uploads and the ZIP download of vantrel-http.exe under Wine: files written
through the Windows file layer (temporary file, then MoveFileExW over the
final name), and an archive whose time stamps come from the Windows
last-write time in local time."""

import getpass
import io
import json
import os
import struct
import time
import unittest
import zipfile
import zlib

import winharness as w

BOUNDARY = "wineBoundary42"


def file_part(name, data):
    return (f'--{BOUNDARY}\r\nContent-Disposition: form-data; name="files"; filename="{name}"\r\n\r\n'
            .encode("utf-8") + data + b"\r\n")


CLOSING = f"--{BOUNDARY}--\r\n".encode()


class WineUploadZip(w.LoggedInHttp):
    def upload(self, folder, body):
        return self.call("POST", "/upload?path=" + folder, body, {
            "Cookie": self.cookie, "Content-Type": f"multipart/form-data; boundary={BOUNDARY}"})

    def read(self, *parts):
        with open(os.path.join(self.files, *parts), "rb") as f:
            return f.read()

    def test_upload_replaces_whole_files(self):
        folder = os.path.join(self.files, "up", "new")
        os.makedirs(folder)
        with open(os.path.join(folder, "old.txt"), "wb") as f:
            f.write(b"an older, longer content")
        big = os.urandom(2 * 1024 * 1024 + 3)
        body = (file_part("old.txt", b"replaced") + file_part("B\u00e4r \u20ac.bin", big) +
                file_part("a:b?.txt", b"") + CLOSING)
        status, _, answer = self.upload("up/new", body)
        self.assertEqual((status, answer), (200, b'{"ok":true}'))
        self.assertEqual(sorted(os.listdir(folder)), ["B\u00e4r \u20ac.bin", "a_b_.txt", "old.txt"])
        self.assertEqual(self.read("up", "new", "old.txt"), b"replaced")
        self.assertTrue(self.read("up", "new", "B\u00e4r \u20ac.bin") == big)
        w.log_line("UPLOAD  C:\\users\\" + getpass.getuser() + "\\AppData\\Local\\Vantrel\\files\\up\\new\\old.txt")

    def test_zip_matches_the_record_layouts(self):
        folder = os.path.join(self.files, "z")
        os.makedirs(folder)
        contents = {"abc.txt": b"abc", "empty": b"", "M\u00e4rz.bin": os.urandom(700_000)}
        for name, data in contents.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        stamp = time.mktime((2026, 3, 7, 14, 5, 33, 0, 0, -1))
        os.utime(os.path.join(folder, "abc.txt"), (stamp, stamp))
        names = list(contents)
        status, headers, data = self.call("POST", "/api/zip", json.dumps({"path": "/z", "names": names},
                                                                         ensure_ascii=False).encode(),
                                          {"Cookie": self.cookie})
        self.assertEqual((status, headers["content-type"], int(headers["content-length"])),
                         (200, "application/zip", len(data)))
        body, central = b"", b""
        for name in names:
            raw, n = contents[name], ("z/" + name).encode()
            t = time.localtime(os.stat(os.path.join(folder, name)).st_mtime)
            date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
            clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
            crc = zlib.crc32(raw)
            central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0x0800, 0, clock, date, crc, len(raw),
                                   len(raw), len(n), 0, 0, 0, 0, 0, len(body)) + n
            body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0x0800, 0, clock, date, crc, len(raw), len(raw),
                                len(n), 0) + n + raw
        want = body + central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 3, 3, len(central), len(body), 0)
        self.assertTrue(data == want, "archive differs from the record layouts")
        z = zipfile.ZipFile(io.BytesIO(data))
        self.assertIsNone(z.testzip())
        self.assertEqual(z.getinfo("z/abc.txt").date_time, (2026, 3, 7, 14, 5, 32))

        # The same selection after a file got other bytes of the same size and
        # its old time back: the archive carries the new bytes' CRC.
        path = os.path.join(folder, "M\u00e4rz.bin")
        before = os.stat(path)
        time.sleep(0.05)  # past the file system's time stamp granularity
        with open(path, "r+b") as f:
            f.write(os.urandom(len(contents["M\u00e4rz.bin"])))
        os.utime(path, ns=(before.st_atime_ns, before.st_mtime_ns))
        again = self.call("POST", "/api/zip", json.dumps({"path": "/z", "names": names}).encode(),
                          {"Cookie": self.cookie})[2]
        self.assertIsNone(zipfile.ZipFile(io.BytesIO(again)).testzip(), "a rewritten file went out with an old CRC")


if __name__ == "__main__":
    unittest.main()
