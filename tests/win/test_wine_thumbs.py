"""Thumbnails of vantrel-http.exe under Wine: a JPEG and a PNG made into
previews by the system's imaging component, kept in the base folder,
revalidated, and "No preview" for a file that is no picture."""

import json
import os
import struct
import subprocess
import tempfile
import unittest

import winharness as w


def jpeg_size(data):
    i = 2
    while i + 9 < len(data) and data[i] == 0xFF:
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC2:
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    raise AssertionError("no frame header")


class WineThumbnails(w.LoggedInHttp):
    def test_jpeg_and_png_previews_through_the_imaging_component(self):
        os.makedirs(os.path.join(self.files, "photos"))
        with tempfile.TemporaryDirectory() as made:
            for name, size, bands in (("wide.jpg", (400, 200), 3), ("clear.png", (300, 100), 4)):
                subprocess.run(["vips", "black", os.path.join(made, name), str(size[0]), str(size[1]),
                                "--bands", str(bands)], check=True)
                os.rename(os.path.join(made, name), os.path.join(self.files, "photos", name))
        with open(os.path.join(self.files, "photos", "notes.txt"), "w") as f:
            f.write("no picture")

        for name, dims in (("wide.jpg", (160, 80)), ("clear.png", (160, 53))):
            status, headers, body = self.call("GET", f"/api/thumb?path=photos/{name}&size=160",
                                              headers={"Cookie": self.cookie})
            self.assertEqual((status, headers["content-type"]), (200, "image/jpeg"), name)
            self.assertEqual(headers["cache-control"], "private, max-age=86400")
            self.assertEqual(jpeg_size(body), dims, name)
            status, _, body = self.call("GET", f"/api/thumb?path=photos/{name}&size=160",
                                        headers={"Cookie": self.cookie, "If-None-Match": headers["etag"]})
            self.assertEqual((status, body), (304, b""))
        self.assertEqual(len(os.listdir(os.path.join(w.base_folder(), "thumbs"))), 2)

        status, _, body = self.call("GET", "/api/thumb?path=photos/notes.txt&size=160",
                                    headers={"Cookie": self.cookie})
        self.assertEqual((status, json.loads(body)), (404, {"ok": False, "error": "No preview"}))


if __name__ == "__main__":
    unittest.main()
