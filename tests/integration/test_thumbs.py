"""Thumbnails from both programs: photos made here with libvips' command
(and a GIF written byte by byte), their previews' size and orientation,
revalidation, "No preview" for what is no picture, and the reach of a
folder share."""

import json
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import urllib.parse

from harness import LoggedInPrograms

NO_PREVIEW = {"ok": False, "error": "No preview"}


def vips_black(path, width, height, bands):
    subprocess.run(["vips", "black", path, str(width), str(height), "--bands", str(bands)], check=True)


def with_orientation(jpeg, orientation):
    """The JPEG with an EXIF block holding only the orientation tag."""
    tiff = b"MM\0*" + struct.pack(">IHHHIHHI", 8, 1, 0x0112, 3, 1, orientation, 0, 0)
    app1 = b"Exif\0\0" + tiff
    return jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + jpeg[2:]


def two_frame_gif(width, height):
    """An animation of a red frame and a blue one. The LZW stream starts
    over every two pixels, so its codes stay 3 bits wide."""
    def frame(index):
        bits, count = 0, 0
        out = bytearray()
        for i in range(width * height):
            codes = ([4] if i % 2 == 0 else []) + [index]
            for code in codes:
                bits |= code << count
                count += 3
        bits |= 5 << count
        count += 3
        out = bits.to_bytes((count + 7) // 8, "little")
        blocks = b"".join(bytes([len(out[i:i + 255])]) + out[i:i + 255] for i in range(0, len(out), 255))
        return (b"\x21\xf9\x04\x00\x0a\x00\x00\x00" + b"\x2c" + struct.pack("<HHHH", 0, 0, width, height) +
                b"\x00\x02" + blocks + b"\x00")
    head = b"GIF89a" + struct.pack("<HH", width, height) + b"\x80\x00\x00" + b"\xff\x00\x00\x00\x00\xff"
    return head + frame(0) + frame(1) + b"\x3b"


def jpeg_size(data):
    """Width and height from the frame header."""
    i = 2
    while i + 9 < len(data) and data[i] == 0xFF:
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC2:
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    raise AssertionError("no frame header")


class Thumbnails(LoggedInPrograms):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pictures = tempfile.mkdtemp(prefix="vantrel-pictures-")
        made = lambda name: os.path.join(cls.pictures, name)
        vips_black(made("plain.jpg"), 400, 200, 3)
        with open(made("plain.jpg"), "rb") as f:
            jpeg = f.read()
        with open(made("turned.jpg"), "wb") as f:
            f.write(with_orientation(jpeg, 6))
        with open(made("broken.jpg"), "wb") as f:
            f.write(jpeg[:len(jpeg) // 2])
        vips_black(made("clear.png"), 300, 100, 4)
        vips_black(made("wide.webp"), 500, 250, 3)
        with open(made("moving.gif"), "wb") as f:
            f.write(two_frame_gif(120, 60))
        with open(made("notes.txt"), "w") as f:
            f.write("3 4\nnot a picture\n")

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.pictures, ignore_errors=True)

    def put(self, p, folder, *names):
        os.makedirs(os.path.join(p.files, folder), exist_ok=True)
        for n in names:
            shutil.copy(os.path.join(self.pictures, n), os.path.join(p.files, folder, n))

    def thumb(self, p, target, headers=None, cookie=True):
        h = {"Cookie": self.cookies[p.name]} if cookie else {}
        return p.request("GET", target, headers={**h, **(headers or {})})

    def test_previews_of_each_format_revalidate_and_follow_a_replaced_photo(self):
        expected = {"turned.jpg": (160, (80, 160)), "plain.jpg": (640, (400, 200)), "clear.png": (160, (160, 53)),
                    "moving.gif": (160, (120, 60)), "wide.webp": (320, (320, 160))}
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "photos", *expected)
                before = len(os.listdir(os.path.join(p.base, "thumbs")))
                for name, (size, dims) in expected.items():
                    r = self.thumb(p, f"/api/thumb?path=photos/{name}&size={size}")
                    self.assertEqual((r.status, r.header("Content-Type")), (200, "image/jpeg"), name)
                    self.assertEqual(r.header("X-Content-Type-Options"), "nosniff")
                    self.assertEqual(r.header("Cache-Control"), "private, max-age=86400")
                    width, height = jpeg_size(r.body)
                    self.assertLessEqual(abs(width - dims[0]) + abs(height - dims[1]), 1, (name, width, height))

                r = self.thumb(p, "/api/thumb?path=photos/turned.jpg&size=160")
                etag = r.header("ETag")
                again = self.thumb(p, "/api/thumb?path=photos/turned.jpg&size=160", {"If-None-Match": etag})
                self.assertEqual((again.status, again.body, again.header("ETag")), (304, b"", etag))
                self.assertEqual(self.thumb(p, "/api/thumb?path=photos/turned.jpg&size=320",
                                            {"If-None-Match": etag}).status, 200)
                kept = os.listdir(os.path.join(p.base, "thumbs"))
                self.assertEqual(len(kept), before + len(expected) + 1, kept)

                # The photo replaced by one of the other orientation.
                path = os.path.join(p.files, "photos", "turned.jpg")
                shutil.copy(os.path.join(self.pictures, "plain.jpg"), path)
                r = self.thumb(p, "/api/thumb?path=photos/turned.jpg&size=160", {"If-None-Match": etag})
                self.assertEqual(r.status, 200)
                self.assertNotEqual(r.header("ETag"), etag)
                self.assertEqual(jpeg_size(r.body), (160, 80))

                listed = self.thumb(p, "/api/list?path=photos").json()["items"]
                dates = {i["name"]: i["modified"] for i in listed}
                self.assertEqual(dates["turned.jpg"], int(os.path.getmtime(path)))

    def test_no_preview_for_what_is_no_picture_and_the_reach_of_a_share(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "mixed", "notes.txt", "broken.jpg", "plain.jpg")
                self.put(p, "mixed/inner", "plain.jpg")
                self.put(p, "", "clear.png")
                for name in ("notes.txt", "broken.jpg", "notes.txt"):
                    r = self.thumb(p, f"/api/thumb?path=mixed/{name}&size=160")
                    self.assertEqual((r.status, r.json()), (404, NO_PREVIEW), name)
                self.assertEqual(self.thumb(p, "/api/thumb?path=mixed/plain.jpg&size=161").status, 400)
                self.assertEqual(self.thumb(p, "/api/thumb?path=mixed/plain.jpg&size=160", cookie=False).status, 401)

                link = json.loads(self.thumb(p, "/api/share?path=mixed").body)["path"]
                self.assertEqual(self.thumb(p, link + "/thumb?name=plain.jpg&size=160", cookie=False).status, 200)
                r = self.thumb(p, link + "/thumb?name=broken.jpg&size=160", cookie=False)
                self.assertEqual((r.status, r.json()), (404, NO_PREVIEW))
                for name, status in (("../clear.png", 400), ("inner/plain.jpg", 400), ("inner", 404),
                                     ("clear.png", 404)):
                    r = self.thumb(p, link + "/thumb?size=160&name=" + urllib.parse.quote(name), cookie=False)
                    self.assertEqual(r.status, status, name)
                file_link = json.loads(self.thumb(p, "/api/share?path=mixed/plain.jpg").body)["path"]
                token = file_link.rsplit("/", 1)[1]
                r = self.thumb(p, f"/d/{token}/thumb?name=plain.jpg&size=160", cookie=False)
                self.assertEqual(r.status, 410)


if __name__ == "__main__":
    unittest.main()
