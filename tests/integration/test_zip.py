"""ZIP download of a selection against both programs: the archive equals one
built here from the record layouts, opens and tests clean with zipfile and
unzip, and every refusal and limit answers as it should."""

import io
import json
import os
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import zipfile
import zlib

from harness import LoggedInPrograms

GIB = 1 << 30


def dos_stamp(path):
    t = time.localtime(os.stat(path).st_mtime)
    date = (max(t.tm_year - 1980, 0) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    return date, clock


def expected_zip(entries):
    """The archive for [(name in archive, path on disk)], stored entries."""
    body, central = b"", b""
    for name, path in entries:
        with open(path, "rb") as f:
            data = f.read()
        n = name.encode("utf-8")
        crc = zlib.crc32(data)
        date, clock = dos_stamp(path)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0x0800, 0, clock, date, crc, len(data),
                               len(data), len(n), 0, 0, 0, 0, 0, len(body)) + n
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0x0800, 0, clock, date, crc, len(data), len(data),
                            len(n), 0) + n + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    return body + central + end


class Zip(LoggedInPrograms):
    def put(self, p, rel, data=b"x", mtime=None):
        path = os.path.join(p.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        if mtime:
            stamp = time.mktime(time.strptime(mtime, "%Y-%m-%d %H:%M:%S"))
            os.utime(path, (stamp, stamp))
        return path

    def sparse(self, p, rel, size):
        path = os.path.join(p.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.truncate(size)
        return path

    def zip(self, p, request, timeout=30):
        body = request if isinstance(request, bytes) else json.dumps(request, ensure_ascii=False).encode()
        conn = p.connection(timeout=timeout)
        try:
            conn.request("POST", "/api/zip", body=body, headers={"Cookie": self.cookies[p.name]})
            r = conn.getresponse()
            return r.status, r.reason, dict(r.getheaders()), r.read()
        finally:
            conn.close()

    def assert_refused(self, p, request, status, error):
        got = self.zip(p, request)
        self.assertEqual((got[0], got[1], got[2]["Content-Type"]), (status, "Error", "application/json; charset=utf-8"))
        self.assertEqual(json.loads(got[3]), {"ok": False, "error": error})

    def test_archive_equals_the_record_layouts_and_tests_clean(self):
        names = ["a.txt", "empty.bin", "M\u00e4rz \u20ac.pdf", "big.bin", "old.txt"]
        for p in self.programs.values():
            with self.subTest(p.name):
                shutil.rmtree(os.path.join(p.files, "docs"), ignore_errors=True)
                self.put(p, "docs/2026/a.txt", b"abc", mtime="2026-03-07 14:05:33")
                self.put(p, "docs/2026/empty.bin", b"")
                self.put(p, "docs/2026/M\u00e4rz \u20ac.pdf", os.urandom(300_000))
                self.put(p, "docs/2026/big.bin", os.urandom(3 * 1024 * 1024 + 5))
                self.put(p, "docs/2026/old.txt", b"seventies", mtime="1975-06-01 12:00:00")
                status, reason, headers, data = self.zip(p, {"path": "docs/2026", "names": names})
                self.assertEqual((status, reason, headers["Content-Type"], headers["Content-Disposition"]),
                                 (200, "OK", "application/zip", 'attachment; filename="download.zip"'))
                self.assertEqual(int(headers["Content-Length"]), len(data))
                folder = os.path.join(p.files, "docs", "2026")
                want = expected_zip([("docs/2026/" + n, os.path.join(folder, n)) for n in names])
                self.assertTrue(data == want, "archive differs from the record layouts")

                z = zipfile.ZipFile(io.BytesIO(data))
                self.assertIsNone(z.testzip())
                self.assertEqual(z.namelist(), ["docs/2026/" + n for n in names])
                abc = z.getinfo("docs/2026/a.txt")
                self.assertEqual((abc.CRC, abc.date_time, abc.flag_bits & 0x0800), (0x352441C2, (2026, 3, 7, 14, 5, 32), 0x0800))
                self.assertEqual(z.getinfo("docs/2026/empty.bin").CRC, 0)
                self.assertEqual(z.getinfo("docs/2026/old.txt").date_time[0], 1980)
                with tempfile.NamedTemporaryFile(suffix=".zip") as f:
                    f.write(data)
                    f.flush()
                    subprocess.run(["unzip", "-tqq", f.name], check=True)

                total = sum(os.path.getsize(os.path.join(folder, n)) for n in names)
                p.wait_for(f"ZIP     precheck ok total={total} bytes")
                p.wait_for(f"ZIP     created ({len(data)} bytes) for 5 file(s)")

                # Fetched again after a file was rewritten in place with other
                # bytes of the same size and its time set back: the archive
                # holds the new bytes with their CRC, whatever the server knew.
                big = os.path.join(folder, "big.bin")
                before = os.stat(big)
                time.sleep(0.05)  # past the file system's time stamp granularity
                with open(big, "r+b") as f:
                    f.write(os.urandom(before.st_size))
                os.utime(big, ns=(before.st_atime_ns, before.st_mtime_ns))
                again = self.zip(p, {"path": "docs/2026", "names": names})[3]
                self.assertTrue(again == expected_zip([("docs/2026/" + n, os.path.join(folder, n)) for n in names]),
                                "a rewritten file went out with an old CRC")

    def test_name_prefix_and_what_is_left_out(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "a.txt", b"top")
                self.put(p, "docs/x/a.txt", b"deep")
                self.put(p, "sub/a.txt", b"sub")
                top = self.zip(p, {"path": "", "names": ["a.txt"]})[3]
                self.assertEqual(zipfile.ZipFile(io.BytesIO(top)).namelist(), ["a.txt"])
                deep = self.zip(p, {"path": "/docs\\x", "names": ["a.txt"]})[3]
                self.assertEqual(zipfile.ZipFile(io.BytesIO(deep)).read("docs/x/a.txt"), b"deep")

                names = ["sub/a.txt", "..", "sub", "missing.txt", "a.txt", "..\\a.txt"]
                status, _, _, data = self.zip(p, {"path": "", "names": names})
                self.assertEqual(status, 200)
                self.assertEqual(zipfile.ZipFile(io.BytesIO(data)).namelist(), ["a.txt"])
                p.wait_for(f"ZIP     created ({len(data)} bytes) for 6 file(s)")

    def test_entry_names_come_from_the_clean_path_and_must_fit_sixteen_bits(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "f.txt", b"top")
                self.put(p, "docs/x/a.txt", b"deep")
                for path, name in (("./" * 33000, "f.txt"), ("docs//./x/.", "docs/x/a.txt"), (".", "f.txt")):
                    status, _, _, data = self.zip(p, {"path": path, "names": [os.path.basename(name)]})
                    self.assertEqual(status, 200, path[:20])
                    z = zipfile.ZipFile(io.BytesIO(data))
                    self.assertIsNone(z.testzip())
                    self.assertEqual(z.namelist(), [name])
                # One entry more than the end record can count (a name may
                # be selected again and again).
                self.assert_refused(p, {"path": "", "names": ["f.txt"] * 65536}, 413,
                                    "Too many files for one ZIP (65535 at most). Please reduce selection.")

    def test_refusals(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "only/dir1/x.txt")
                os.makedirs(os.path.join(p.files, "only", "dir2"), exist_ok=True)
                self.assert_refused(p, {"path": ""}, 400, "Missing names[]")
                self.assert_refused(p, {"path": "", "names": []}, 400, "Missing names[]")
                self.assert_refused(p, {"path": "", "names": "a.txt"}, 400, "Missing names[]")
                self.assert_refused(p, {"path": "..", "names": ["a.txt"]}, 400, "Invalid path")
                self.assert_refused(p, {"path": "only", "names": ["dir1", "dir2", "nothing"]}, 400,
                                    "No readable files to zip.")
                self.assertEqual(p.request("POST", "/api/zip", body=b"").status, 401)

    def test_size_limits_with_sparse_files(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.sparse(p, "huge/over.bin", 4 * GIB + 1)
                self.sparse(p, "huge/exact.bin", 4 * GIB)
                self.sparse(p, "huge/three.bin", 3 * GIB)
                self.sparse(p, "huge/half.bin", GIB + GIB // 2)
                self.put(p, "huge/small.txt", b"s")
                self.assert_refused(p, {"path": "huge", "names": ["small.txt", "over.bin"]}, 413,
                                    "A selected file is larger than the ZIP limit (4 GB).")
                self.assert_refused(p, {"path": "huge", "names": ["exact.bin"]}, 413,
                                    "Selected files exceed the ZIP limit (4 GB).")
                self.assert_refused(p, {"path": "huge", "names": ["three.bin", "half.bin"]}, 413,
                                    "Selected files exceed the ZIP limit (4 GB).")

    def test_archive_whose_headers_pass_the_limit(self):
        # The files fit below 4 GiB, the archive with its records does not.
        # Its data is read once before the answer, so one program suffices:
        # the code path is the same in both.
        p = self.programs["vantrel-http"]
        self.sparse(p, "edge/almost.bin", 4 * GIB - 60)
        got = self.zip(p, {"path": "edge", "names": ["almost.bin"]}, timeout=240)
        self.assertEqual((got[0], json.loads(got[3])),
                         (413, {"ok": False, "error": "ZIP would exceed 4 GB. Please reduce selection."}))
        p.wait_for(f"ZIP     precheck ok total={4 * GIB - 60} bytes")


if __name__ == "__main__":
    unittest.main()
