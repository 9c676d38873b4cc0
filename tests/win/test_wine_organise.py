"""Rename and move of vantrel-http.exe under Wine: names Windows cannot hold
are refused, a rename may change only the case of a name, names that differ
only in case are taken, and a moved file is still downloadable."""

import getpass
import json
import os
import shutil
import unittest
import urllib.parse

import winharness as w

TAKEN = "A file or folder with that name already exists"


class WineOrganise(w.LoggedInHttp):
    def setUp(self):
        shutil.rmtree(self.files, ignore_errors=True)
        os.makedirs(self.files)

    def put(self, rel, data=b"x"):
        path = os.path.join(self.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def post(self, route, body):
        status, _, answer = self.call("POST", route, json.dumps(body).encode(),
                                      {"Cookie": self.cookie, "Content-Type": "application/json"})
        return status, json.loads(answer)

    def windows_path(self, rel):
        return ("C:\\users\\" + getpass.getuser() + "\\AppData\\Local\\Vantrel\\files\\" + rel).replace("/", "\\")

    def test_rename_with_windows_rules(self):
        self.put("r/Report.TXT", b"report")
        self.put("r/other.txt", b"other")
        self.assertEqual(self.post("/api/rename", {"path": "r", "name": "Report.TXT", "newName": "report.txt"}),
                         (200, {"ok": True}))
        self.assertEqual(sorted(os.listdir(os.path.join(self.files, "r"))), ["other.txt", "report.txt"])
        w.log_line("RENAME  " + self.windows_path("r/Report.TXT") + " -> " + self.windows_path("r/report.txt"))

        for bad in ("nul.txt", "CON", "com1.log", "lpt9", "a:b", "dots.", "blank ", "q?", "a|b", "x*", "<y>"):
            self.assertEqual(self.post("/api/rename", {"path": "r", "name": "report.txt", "newName": bad}),
                             (400, {"ok": False, "error": "Invalid name"}), bad)
        # Windows names differ only in more than case.
        self.assertEqual(self.post("/api/rename", {"path": "r", "name": "report.txt", "newName": "OTHER.txt"}),
                         (409, {"ok": False, "error": TAKEN}))
        self.assertEqual(sorted(os.listdir(os.path.join(self.files, "r"))), ["other.txt", "report.txt"])
        with open(os.path.join(self.files, "r", "other.txt"), "rb") as f:
            self.assertEqual(f.read(), b"other")

    def test_move_and_download(self):
        data = os.urandom(1024 * 1024 + 3)
        self.put("docs/B\u00e4r.bin", data)
        self.put("docs/sub/inner.txt", b"inner")
        self.put("docs/taken.txt", b"mine")
        self.put("Archiv/TAKEN.TXT", b"theirs")
        body = {"path": "docs", "names": ["B\u00e4r.bin", "sub", "taken.txt", "nul"], "to": "Archiv"}
        self.assertEqual(self.post("/api/move", body), (200, {"ok": True, "skipped": ["taken.txt", "nul"]}))
        self.assertEqual(sorted(os.listdir(os.path.join(self.files, "docs"))), ["taken.txt"])
        w.log_line("MOVE    " + self.windows_path("docs/B\u00e4r.bin") + " -> " + self.windows_path("Archiv/B\u00e4r.bin"))
        status, _, got = self.call("GET", "/download?path=" + urllib.parse.quote("archiv/B\u00e4r.bin"),
                                   headers={"Cookie": self.cookie})
        self.assertTrue(status == 200 and got == data, status)
        with open(os.path.join(self.files, "Archiv", "sub", "inner.txt"), "rb") as f:
            self.assertEqual(f.read(), b"inner")

        # Nesting is judged as Windows names are compared: without case.
        self.assertEqual(self.post("/api/move", {"path": "", "names": ["Archiv"], "to": "ARCHIV/SUB"}),
                         (400, {"ok": False, "error": "A folder cannot be moved into itself"}))
        self.assertEqual(self.post("/api/move", {"path": "archiv", "names": ["sub"], "to": "Archiv"}),
                         (409, {"ok": False, "error": TAKEN, "skipped": ["sub"]}))
        self.assertTrue(os.path.isfile(os.path.join(self.files, "Archiv", "sub", "inner.txt")))


if __name__ == "__main__":
    unittest.main()
