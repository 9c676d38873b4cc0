"""Byte ranges on the three file answers against both programs: each range
form, 416, several ranges, If-Range, share links, and a download that the
client breaks off and curl resumes."""

import email.utils
import os
import socket
import subprocess
import tempfile
import urllib.parse

from harness import LoggedInPrograms, insecure_context

SIZE = 600000  # more than two pieces of the streaming path


class Ranges(LoggedInPrograms):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.data = os.urandom(SIZE)
        for p in cls.programs.values():
            os.makedirs(os.path.join(p.files, "r", "shared"), exist_ok=True)
            for rel, data in (("r/big.bin", cls.data), ("r/empty.bin", b""), ("r/shared/big.bin", cls.data)):
                with open(os.path.join(p.files, rel), "wb") as f:
                    f.write(data)

    def get(self, p, target, **headers):
        headers["Cookie"] = self.cookies[p.name]
        return p.request("GET", target, headers={k.replace("_", "-"): v for k, v in headers.items()})

    def check_ranges(self, p, target):
        """Every range form against the 600000-byte file that target answers with."""
        whole = self.get(p, target)
        self.assertEqual((whole.status, whole.body), (200, self.data))
        names = [k for k, _ in whole.headers]
        self.assertEqual(names[-4:], ["Content-Disposition", "Accept-Ranges", "Last-Modified", "ETag"])
        self.assertEqual(whole.header("Accept-Ranges"), "bytes")
        etag, modified = whole.header("ETag"), whole.header("Last-Modified")
        self.assertRegex(etag, r'^"[0-9a-f]+-[0-9a-f]+"$')
        mtime = os.path.getmtime(os.path.join(p.files, "r", "big.bin"))
        self.assertEqual(email.utils.parsedate_to_datetime(modified).timestamp(), int(mtime))

        for ranges, first, last in (("0-99", 0, 99), ("262000-", 262000, SIZE - 1), ("-1000", SIZE - 1000, SIZE - 1),
                                  ("599990-999999", 599990, SIZE - 1), ("-9999999", 0, SIZE - 1),
                                  ("262143-262144", 262143, 262144)):
            r = self.get(p, target, Range="bytes=" + ranges)
            self.assertEqual((r.status, r.reason), (206, "Partial Content"), ranges)
            self.assertEqual(r.header("Content-Range"), f"bytes {first}-{last}/{SIZE}", ranges)
            self.assertEqual(r.header("Content-Length"), str(last - first + 1), ranges)
            self.assertEqual(r.body, self.data[first:last + 1], ranges)
            self.assertEqual((r.header("ETag"), r.header("Content-Type")), (etag, "application/octet-stream"))

        for ranges in (f"{SIZE}-", f"{SIZE + 5}-{SIZE + 10}", "-0"):
            r = self.get(p, target, Range="bytes=" + ranges)
            self.assertEqual((r.status, r.reason, r.header("Content-Range")),
                             (416, "Range Not Satisfiable", f"bytes */{SIZE}"), ranges)

        for ranges in ("bytes=0-1,5-6", "bytes=9-3", "lines=1-2"):
            r = self.get(p, target, Range=ranges)
            self.assertEqual((r.status, len(r.body), r.header("Content-Range")), (200, SIZE, None), ranges)

        for validator, status in ((etag, 206), (modified, 206), ('"0-0"', 200), ("W/" + etag, 200),
                                  ("Thu, 01 Jan 1970 00:00:00 GMT", 200)):
            r = self.get(p, target, Range="bytes=10-19", If_Range=validator)
            self.assertEqual(r.status, status, validator)
            self.assertEqual(r.body, self.data[10:20] if status == 206 else self.data, validator)

    def test_ranges_on_every_file_answer(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                # Only this test's lines: a download another test broke off
                # may have logged a failure.
                logged_before = len(p.messages())
                self.check_ranges(p, "/download?path=r/big.bin")
                share = self.get(p, "/api/share?path=" + urllib.parse.quote("r/big.bin", safe="")).json()["path"]
                self.check_ranges(p, share)
                folder = self.get(p, "/api/share?path=r%2Fshared").json()["path"]
                self.check_ranges(p, folder + "/download?name=big.bin")

                r = self.get(p, "/download?path=r/empty.bin", Range="bytes=0-")
                self.assertEqual((r.status, r.header("Content-Range"), r.body), (416, "bytes */0", b"Range Not Satisfiable"))
                r = self.get(p, "/download?path=r/empty.bin", Range="bytes=-10")
                self.assertEqual((r.status, r.header("Content-Length"), r.body), (200, "0", b""))

                # A part is logged like a whole download, and never as a failure.
                path = os.path.join(p.files, "r", "big.bin")
                self.assertIn("DL      " + path, p.messages())
                self.assertIn("SHAREDL " + path, p.messages())
                self.assertIn("SHDIRDL " + os.path.join(p.files, "r", "shared", "big.bin"), p.messages())
                self.assertFalse([m for m in p.messages()[logged_before:] if "failed:" in m])

    def test_curl_resumes_a_download_the_client_broke_off(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                head_and_some = self.read_some(p, 300000)
                body = head_and_some.split(b"\r\n\r\n", 1)[1]
                self.assertTrue(0 < len(body) < SIZE)
                with tempfile.TemporaryDirectory() as tmp:
                    out = os.path.join(tmp, "big.bin")
                    with open(out, "wb") as f:
                        f.write(body)
                    scheme = "https" if p.tls else "http"
                    subprocess.run(["curl", "-sSfk", "-C", "-", "-b", self.cookies[p.name], "-o", out,
                                    f"{scheme}://127.0.0.1:{p.port}/download?path=r/big.bin"], check=True)
                    with open(out, "rb") as f:
                        self.assertEqual(f.read(), self.data)

    def read_some(self, p, count):
        """The head and some of the body of a download, then the connection is closed."""
        s = socket.create_connection(("127.0.0.1", p.port), timeout=10)
        if p.tls:
            s = insecure_context().wrap_socket(s, server_hostname="localhost")
        try:
            s.sendall(f"GET /download?path=r/big.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                      f"Cookie: {self.cookies[p.name]}\r\n\r\n".encode())
            got = b""
            while len(got) < count:
                chunk = s.recv(65536)
                if not chunk:
                    break
                got += chunk
            return got
        finally:
            s.close()

    def test_view_is_inline_for_safe_types_only(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                for name in ("Photo.JPG", "page.html", "logo.svg", "data.xyz", "noext"):
                    with open(os.path.join(p.files, "r", "shared", name), "wb") as f:
                        f.write(b"<script>alert(1)</script>" * 10)
                folder = self.get(p, "/api/share?path=r%2Fshared").json()["path"]
                for target in ("/download?path=r/shared/", folder + "/download?name="):
                    r = self.get(p, target + "Photo.JPG&view=1", Range="bytes=0-9")
                    self.assertEqual((r.status, r.body), (206, b"<script>al"))
                    self.assertEqual(r.header("Content-Type"), "image/jpeg")
                    self.assertEqual(r.header("Content-Disposition"), 'inline; filename="Photo.JPG"')
                    self.assertEqual(r.header("X-Content-Type-Options"), "nosniff")
                    policy = r.header("Content-Security-Policy")
                    self.assertIn("sandbox", policy)
                    self.assertIn("default-src 'none'", policy)
                    self.assertNotIn("script-src", policy)
                    for name in ("page.html", "logo.svg", "data.xyz", "noext"):
                        r = self.get(p, target + name + "&view=1")
                        self.assertEqual((r.status, r.header("Content-Type"), r.header("Content-Disposition")),
                                         (200, "application/octet-stream", f'attachment; filename="{name}"'), name)
                        self.assertIsNone(r.header("Content-Security-Policy"), name)
