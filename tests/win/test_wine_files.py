"""File services of vantrel-http.exe under Wine: the Windows path rules seen
from a client (drive letters, devices, trailing dots, the 260-character
limit) and bit-exact downloads with UTF-8 names."""

import email.utils
import io
import json
import os
import time
import unittest
import urllib.parse
import zipfile

import winharness as w

SECRET = b"outside the web root"


class WineFiles(w.LoggedInHttp):
    def get(self, path):
        return self.call("GET", path, headers={"Cookie": self.cookie})

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
        self.assertEqual((status, json.loads(body)), (400, {"ok": False, "error": "Invalid path"}))
        status, _, body = self.get("/api/list?path=" + "d" * 300)
        self.assertEqual((status, json.loads(body)), (400, {"ok": False, "error": "Invalid path"}))

    def post(self, path, body, headers=None):
        data = json.dumps(body, ensure_ascii=False).encode() if isinstance(body, dict) else body
        return self.call("POST", path, data, dict({"Cookie": self.cookie}, **(headers or {})))

    def test_device_stream_and_dot_names_touch_nothing_outside_the_web_root(self):
        dosdevices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
        outside = {d: sorted(os.listdir(d)) for d in (dosdevices, w.base_folder())}
        self.put("dev/keep.txt", b"keep")
        devices = ["CON", "nul", "COM1", "com9", "LPT1", "lpt9", "AUX", "PRN", "nul.txt", "com1.log", "CONIN$",
                   "conout$", "COM\u00b9", "lpt\u00b2 .txt", "CON . ", "COM0", "keep.txt::$DATA", "keep.txt:hidden"]
        dots = [".", ". ", " .", ".  ", "..."]
        for name in devices + dots:
            for route in ("/api/mkdir", "/api/rmdir", "/api/delete"):
                for path in ("", ".", "/", "\\", "dev") if name in dots else ("", "dev"):
                    status, _, body = self.post(route, {"path": path, "name": name})
                    self.assertEqual((status, json.loads(body)), (400, {"ok": False, "error": "Invalid name"}),
                                     (route, path, name))
        status, _, body = self.post("/api/delete_many", {"path": "dev", "names": devices + dots})
        self.assertEqual(json.loads(body), {"ok": True, "deleted": 0, "failed": len(devices + dots)})
        status, _, body = self.post("/api/zip", {"path": "dev", "names": devices})
        self.assertEqual((status, json.loads(body)["error"]), (400, "No readable files to zip."))
        for name in devices:
            for path in (name, "dev/" + name, name + "/x"):
                quoted = urllib.parse.quote(path)
                self.assertEqual(self.get("/download?path=" + quoted)[:3:2], (400, b"Invalid path"), path)
                self.assertEqual(self.get("/api/list?path=" + quoted)[0], 400, path)
                self.assertEqual(self.get("/api/share?path=" + quoted)[0], 400, path)
            status, _, body = self.post("/api/zip", {"path": name, "names": ["keep.txt"]})
            self.assertEqual((status, json.loads(body)["error"]), (400, "Invalid path"))
        status, _, body = self.get("/api/share?path=dev")
        link = json.loads(body)["path"]
        for name in devices + dots:
            status, _, body = self.call("GET", link + "/download?name=" + urllib.parse.quote(name))
            self.assertEqual((status, body), (400, b"Invalid name"), name)
            status, _, body = self.post(link + "/api/delete", {"name": name})
            self.assertEqual((status, json.loads(body)["error"]), (400, "Invalid name"), name)
        # Uploads keep such names, made harmless.
        boundary = "devBoundary"
        parts = b"".join(f'--{boundary}\r\nContent-Disposition: form-data; name="f"; filename="{n}"\r\n\r\n'
                         .encode() + n.encode() + b"\r\n" for n in ("COM1", "nul.txt", "CONIN$", ". ", "a:b"))
        status, _, body = self.post("/upload?path=dev", parts + f"--{boundary}--\r\n".encode(),
                                    {"Content-Type": f"multipart/form-data; boundary={boundary}"})
        self.assertEqual((status, body), (200, b'{"ok":true}'))
        self.assertEqual(sorted(os.listdir(os.path.join(self.files, "dev"))),
                         ["_COM1", "_CONIN$", "__", "_nul.txt", "a_b", "keep.txt"])
        with open(os.path.join(self.files, "dev", "_COM1"), "rb") as f:
            self.assertEqual(f.read(), b"COM1")
        self.assertEqual({d: sorted(os.listdir(d)) for d in outside}, outside)
        with open(os.path.join(self.files, "dev", "keep.txt"), "rb") as f:
            self.assertEqual(f.read(), b"keep")

    def test_case_and_trailing_dots_fold_to_the_same_file(self):
        self.put("Fold/file.txt", b"folded")
        for spelling in ("Fold/file.txt", "FOLD/FILE.TXT", "fold%5Cfile.txt.", "fold/file.txt%20.", "/fold//file.txt"):
            status, headers, body = self.get("/download?path=" + spelling)
            self.assertEqual((status, body), (200, b"folded"), spelling)

    def test_double_dots_inside_a_name_are_no_parent(self):
        name = "report..final.txt"
        self.put("dd/" + name, b"dots")
        self.put("dd/zip..me.txt", b"zip")
        status, _, body = self.get("/download?path=" + urllib.parse.quote("dd/" + name))
        self.assertEqual((status, body), (200, b"dots"))
        status, _, data = self.post("/api/zip", {"path": "dd", "names": ["zip..me.txt"]})
        self.assertEqual(zipfile.ZipFile(io.BytesIO(data)).read("dd/zip..me.txt"), b"zip")
        # Windows would fold the trailing dots onto another name.
        for bad in ("report..final.", "report..final.txt.."):
            status, _, body = self.post("/api/delete", {"path": "dd", "name": bad})
            self.assertEqual((status, json.loads(body)["error"]), (400, "Invalid name"), bad)
        self.assertEqual(self.get("/download?path=" + urllib.parse.quote("dd/../dd/" + name))[0], 400)
        status, _, body = self.post("/api/delete_many", {"path": "dd", "names": [name, "zip..me.txt"]})
        self.assertEqual(json.loads(body), {"ok": True, "deleted": 2, "failed": 0})
        self.assertEqual(os.listdir(os.path.join(self.files, "dd")), [])

    def test_mkdir_answers_what_it_could_not_make(self):
        self.put("mk/plain", b"keep")
        for path, name, error in (("mk", "x" * 300, "Name too long"), ("mk", "x" * 4000, "Name too long"),
                                  ("mk", "y" * 250, "Name too long"),  # the full path is past the limit
                                  ("mk", "plain", "A file with that name already exists"),
                                  ("mk/plain", "below", "Failed to create folder")):
            status, _, body = self.post("/api/mkdir", {"path": path, "name": name})
            self.assertEqual((status, json.loads(body)), (400, {"ok": False, "error": error}), (path, name[:9]))
        for _ in range(2):
            status, _, body = self.post("/api/mkdir", {"path": "mk", "name": "new"})
            self.assertEqual((status, body), (200, b'{"ok":true}'))
        self.assertEqual(sorted(os.listdir(os.path.join(self.files, "mk"))), ["new", "plain"])
        # Only the two that made or found the folder are logged.
        deadline = time.time() + 30
        while True:
            with open(os.path.join(w.base_folder(), "HTTP.log"), "rb") as f:
                lines = f.read().decode("utf-8", "replace").split("\r\n")
            made = [l[25:].rsplit("\\", 2)[-2:] for l in lines if l[25:].startswith("MKDIR")]
            if len(made) >= 2 or time.time() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(made, [["mk", "new"], ["mk", "new"]])

    def test_bit_exact_downloads_with_utf8_names(self):
        data = os.urandom(262145)
        self.put("dl/Bericht M\u00e4rz.bin", data)
        self.put("dl/empty.bin", b"")
        status, headers, body = self.get("/download?path=" + urllib.parse.quote("dl/Bericht M\u00e4rz.bin"))
        self.assertEqual((status, body), (200, data))
        self.assertEqual(headers["content-disposition"].encode("latin-1"),
                         'attachment; filename="Bericht M\u00e4rz.bin"'.encode("utf-8"))
        etag = headers["etag"]
        # A range from the middle, through the second piece: seek and validators from the system.
        status, headers, body = self.call("GET", "/download?path=" + urllib.parse.quote("dl/Bericht M\u00e4rz.bin"),
                                          headers={"Cookie": self.cookie, "Range": "bytes=262000-",
                                                   "If-Range": etag})
        self.assertEqual((status, headers["content-range"], body), (206, "bytes 262000-262144/262145", data[262000:]))
        mtime = os.path.getmtime(os.path.join(self.files, "dl", "Bericht M\u00e4rz.bin"))
        self.assertEqual(email.utils.parsedate_to_datetime(headers["last-modified"]).timestamp(), int(mtime))
        status, headers, body = self.get("/download?path=dl/empty.bin")
        self.assertEqual((status, headers["content-length"], body), (200, "0", b""))
        status, _, body = self.get("/api/list?path=dl")
        items = sorted(json.loads(body)["items"], key=lambda i: i["name"])
        mtimes = [int(os.path.getmtime(os.path.join(self.files, "dl", n))) for n in ("Bericht M\u00e4rz.bin", "empty.bin")]
        self.assertEqual(items, [{"name": "Bericht M\u00e4rz.bin", "type": "file", "size": 262145, "modified": mtimes[0]},
                                 {"name": "empty.bin", "type": "file", "size": 0, "modified": mtimes[1]}])


if __name__ == "__main__":
    unittest.main()
