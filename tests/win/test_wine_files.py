"""File services of vantrel-http.exe under Wine: the Windows path rules seen
from a client (drive letters, devices, trailing dots, the 260-character
limit) and bit-exact downloads with UTF-8 names."""

import json
import os
import unittest
import urllib.parse

import winharness as w

SECRET = b"outside the web root"


class WineFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        w.reset_base_folder()
        cls.port = w.free_port()
        cls.proc = w.start("vantrel-http.exe", "--port", str(cls.port))
        w.wait_until_serving(cls.port)
        pin = w.log_line("AUTH    PIN=")[len("AUTH    PIN="):]
        status, headers, _ = cls.call("POST", "/api/login", json.dumps({"code": pin}).encode())
        assert status == 200, status
        cls.cookie = headers["set-cookie"].split(";")[0]
        cls.files = os.path.join(w.base_folder(), "files")

    @classmethod
    def tearDownClass(cls):
        w.stop(cls.proc)
        w.reset_base_folder()

    @classmethod
    def call(cls, method, path, body=None, cookie=None):
        conn = w.connection(cls.port, False, timeout=30)
        try:
            conn.request(method, path, body=body, headers={"Cookie": cookie} if cookie else {})
            r = conn.getresponse()
            return r.status, {k.lower(): v for k, v in r.getheaders()}, r.read()
        finally:
            conn.close()

    def get(self, path):
        return self.call("GET", path, cookie=self.cookie)

    def put(self, rel, data=b"x"):
        path = os.path.join(self.files, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def test_windows_paths_never_leave_the_web_root(self):
        with open(os.path.join(w.base_folder(), "secret.txt"), "wb") as f:
            f.write(SECRET)
        self.put("docs/a.txt", b"inside")
        for attack in ("..%5Csecret.txt", "%5C..%5Csecret.txt", "docs%5C..%5C..%5Csecret.txt", "%2e%2e",
                       "a..b", "docs%00.txt", "C:%5CWindows%5Cwin.ini", "C:/windows/win.ini",
                       "%5C%5C.%5CC:%5Cwindows%5Cwin.ini", "%5C%5C%3F%5CC:%5Cwindows%5Cwin.ini",
                       "CON", "docs/NUL", "docs/com1.txt", "x" * 300):
            status, _, body = self.get("/download?path=" + attack)
            self.assertIn(status, (400, 404), attack)
            self.assertNotIn(SECRET, body)
            self.assertNotIn(b"[fonts]", body)
        status, _, body = self.get("/api/list?path=" + urllib.parse.quote("C:/Windows"))
        self.assertEqual((status, json.loads(body)), (404, {"ok": False, "error": "Directory not found"}))
        status, _, body = self.get("/api/list?path=" + "d" * 300)
        self.assertEqual((status, json.loads(body)), (400, {"ok": False, "error": "Invalid path"}))

    def test_case_and_trailing_dots_fold_to_the_same_file(self):
        self.put("Fold/file.txt", b"folded")
        for spelling in ("Fold/file.txt", "FOLD/FILE.TXT", "fold%5Cfile.txt.", "fold/file.txt%20.", "/fold//file.txt"):
            status, headers, body = self.get("/download?path=" + spelling)
            self.assertEqual((status, body), (200, b"folded"), spelling)

    def test_bit_exact_downloads_with_utf8_names(self):
        data = os.urandom(262145)
        self.put("dl/Bericht M\u00e4rz.bin", data)
        self.put("dl/empty.bin", b"")
        status, headers, body = self.get("/download?path=" + urllib.parse.quote("dl/Bericht M\u00e4rz.bin"))
        self.assertEqual((status, body), (200, data))
        self.assertEqual(headers["content-disposition"].encode("latin-1"),
                         'attachment; filename="Bericht M\u00e4rz.bin"'.encode("utf-8"))
        status, headers, body = self.get("/download?path=dl/empty.bin")
        self.assertEqual((status, headers["content-length"], body), (200, "0", b""))
        status, _, body = self.get("/api/list?path=dl")
        items = sorted(json.loads(body)["items"], key=lambda i: i["name"])
        self.assertEqual(items, [{"name": "Bericht M\u00e4rz.bin", "type": "file", "size": 262145},
                                 {"name": "empty.bin", "type": "file", "size": 0}])


if __name__ == "__main__":
    unittest.main()
