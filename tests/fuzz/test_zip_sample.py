"""Python's zipfile reads the archives our ZIP layout writes, for small
selections of every shape the download makes."""
import os
import random
import subprocess
import tempfile
import unittest
import zipfile

ZIP_SAMPLE = os.environ.get("ZIP_SAMPLE", "zip_sample")


def write_archive(folder, members):
    """members: (name in archive, bytes). Returns the archive path and the
    length the layout announced."""
    args = [ZIP_SAMPLE, os.path.join(folder, "out.zip")]
    for i, (name, data) in enumerate(members):
        path = os.path.join(folder, "in%d" % i)
        with open(path, "wb") as f:
            f.write(data)
        args += [name, path]
    done = subprocess.run(args, check=True, capture_output=True, text=True)
    return args[1], int(done.stdout)


class ZipfileReadsOurArchives(unittest.TestCase):
    def check(self, members):
        with tempfile.TemporaryDirectory() as folder:
            path, announced = write_archive(folder, members)
            self.assertEqual(os.path.getsize(path), announced)
            with zipfile.ZipFile(path) as z:
                self.assertIsNone(z.testzip())
                self.assertEqual(z.namelist(), [name for name, _ in members])
                for name, data in members:
                    info = z.getinfo(name)
                    self.assertEqual(info.compress_type, zipfile.ZIP_STORED)
                    self.assertEqual(info.date_time, (2024, 2, 29, 23, 59, 58))
                    self.assertEqual(z.read(name), data)

    def test_shapes_the_download_makes(self):
        self.check([("empty.txt", b"")])
        self.check([("docs/2026/report.pdf", bytes(range(256)) * 40),
                    ("docs/2026/Überblick – 日本語 🎉.txt", "grüße\n".encode()),
                    ("docs/2026/a b.txt", b"\r\n\x00PK\x05\x06")])
        self.check([("n%03d" % i, b"x" * i) for i in range(300)])
        self.check([("d/" + "ü" * 2000, b"long name")])

    def test_random_small_selections(self):
        rng = random.Random(20260611)
        alphabet = "abcXYZ09 ._-~äöüßé日本🎉"
        for _ in range(25):
            members = []
            for i in range(rng.randint(1, 12)):
                stem = "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 30)))
                members.append(("%d/%s" % (i, stem), rng.randbytes(rng.randint(0, 5000))))
            self.check(members)


if __name__ == "__main__":
    unittest.main()
