"""Resumable uploads of vantrel-http.exe under Wine: data grows beside its
destination through the Windows file layer, takes its name (or a numbered
one) in one move, keeps the sender's modification time, and names Windows
cannot hold are refused."""

import base64
import getpass
import json
import os
import unittest

import winharness as w

OCTETS = "application/offset+octet-stream"


def metadata(**fields):
    return ",".join(f"{k} {base64.b64encode(v.encode()).decode()}" for k, v in fields.items())


class WineResumableUploads(w.LoggedInHttp):
    def tus(self, method, target, headers=None, body=None, cookie=True):
        h = {"Tus-Resumable": "1.0.0", **(headers or {})}
        if cookie:
            h["Cookie"] = self.cookie
        return self.call(method, target, body, h)

    def upload(self, endpoint, data, cookie=True, **fields):
        status, headers, body = self.tus("POST", endpoint, {
            "Upload-Length": str(len(data)), "Upload-Metadata": metadata(**fields)}, cookie=cookie)
        self.assertEqual(status, 201, body)
        url = headers["location"]
        half = len(data) // 2
        for start, end in ((0, half), (half, len(data))):
            status, headers, _ = self.tus("PATCH", url, {"Content-Type": OCTETS, "Upload-Offset": str(start)},
                                          data[start:end], cookie=cookie)
            self.assertEqual(status, 204)
            if end < len(data):
                listed = json.loads(self.call("GET", "/api/list", headers={"Cookie": self.cookie})[2])
                self.assertNotIn(".vantrel-partial-", json.dumps(listed))
                self.assertEqual(self.tus("HEAD", url, cookie=cookie)[1]["upload-offset"], str(half))
        return headers["upload-file-name"]

    def test_uploads_into_the_web_root_and_through_a_share(self):
        data = os.urandom(3 * 1024 * 1024 + 5)
        with open(os.path.join(self.files, "B\u00e4r.bin"), "wb") as f:
            f.write(b"taken")
        stored = self.upload("/api/tus", data, filename="B\u00e4r.bin", lastModified="1600000000000")
        self.assertEqual(stored, "B%C3%A4r%20%281%29.bin")
        path = os.path.join(self.files, "B\u00e4r (1).bin")
        with open(path, "rb") as f:
            self.assertTrue(f.read() == data)
        self.assertEqual(int(os.stat(path).st_mtime), 1600000000)
        self.assertEqual(sorted(os.listdir(self.files)), ["B\u00e4r (1).bin", "B\u00e4r.bin"])

        os.makedirs(os.path.join(self.files, "inbox"))
        _, _, answer = self.call("GET", "/api/share?path=inbox", headers={"Cookie": self.cookie})
        link = json.loads(answer)["path"]
        stored = self.upload(link + "/tus", b"guest data", cookie=False, filename="n.txt", relativePath="day 1",
                             lastModified="1500000000000")
        self.assertEqual(stored, "n.txt")
        path = os.path.join(self.files, "inbox", "day 1", "n.txt")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), b"guest data")
        self.assertEqual(int(os.stat(path).st_mtime), 1500000000)
        files = "C:\\users\\" + getpass.getuser() + "\\AppData\\Local\\Vantrel\\files\\"
        w.log_line("UPLOAD  " + files + "B\u00e4r (1).bin")
        w.log_line("UPLOAD  " + files + "inbox\\day 1\\n.txt")

    def test_names_windows_cannot_hold_are_refused(self):
        for fields, error in (({"filename": "nul.txt"}, "Invalid name"), ({"filename": "a:b"}, "Invalid name"),
                              ({"filename": "dots."}, "Invalid name"), ({"filename": "q?"}, "Invalid name"),
                              ({"filename": "ok", "relativePath": "con/x"}, "Invalid path"),
                              ({"filename": "ok", "path": "a:b"}, "Invalid path")):
            with self.subTest(**fields):
                status, headers, body = self.tus("POST", "/api/tus", {
                    "Upload-Length": "1", "Upload-Metadata": metadata(**fields)})
                self.assertEqual((status, json.loads(body)["error"]), (400, error))
                self.assertEqual(headers["tus-resumable"], "1.0.0")


if __name__ == "__main__":
    unittest.main()
