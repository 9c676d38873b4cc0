"""Organising the web root from a browser, against both programs: rename and
move without ever replacing an entry (also when two requests race for one
name, and across volumes), search below a folder, and share links with a
chosen lifetime that can be listed, ended and shown as a QR code."""

import json
import os
import shutil
import stat
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

from harness import LoggedInPrograms

TAKEN = "A file or folder with that name already exists"
GONE = (410, "Gone", b"Link expired or invalid")


class Organising(LoggedInPrograms):
    def setUp(self):
        for p in self.programs.values():
            for entry in os.listdir(p.files):
                path = os.path.join(p.files, entry)
                if os.path.isdir(path) and not os.path.islink(path):
                    shutil.rmtree(path)
                else:
                    os.remove(path)

    def put(self, p, rel, data=b"x"):
        path = os.path.join(p.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, p, rel):
        with open(os.path.join(p.files, rel), "rb") as f:
            return f.read()

    def post(self, p, route, body, cookie=True):
        headers = {"Content-Type": "application/json"}
        if cookie:
            headers["Cookie"] = self.cookies[p.name]
        r = p.request("POST", route, json.dumps(body).encode(), headers)
        return r.status, r.json() if r.body.startswith(b"{") else r.body

    def get(self, p, route, **query):
        r = p.request("GET", route + "?" + urllib.parse.urlencode(query), headers={"Cookie": self.cookies[p.name]})
        return r.status, r.json()


class Rename(Organising):
    def test_rename_and_every_refusal(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                old = self.put(p, "r/IMG_4411.JPG", b"photo")
                self.put(p, "r/taken.txt", b"keep")
                os.makedirs(os.path.join(p.files, "r/sub"))
                ok = {"path": "r", "name": "IMG_4411.JPG", "newName": "Strand M\u00e4rz.jpg"}
                self.assertEqual(self.post(p, "/api/rename", ok), (200, {"ok": True}))
                self.assertEqual(self.read(p, "r/Strand M\u00e4rz.jpg"), b"photo")
                p.wait_for("RENAME  " + old + " -> " + os.path.join(p.files, "r", "Strand M\u00e4rz.jpg"))
                # A folder is renamed like a file.
                self.assertEqual(self.post(p, "/api/rename", {"path": "r", "name": "sub", "newName": "Ordner"})[0], 200)

                name = "Strand M\u00e4rz.jpg"
                for bad in ("", ".", "..", "a/b", "a\\b", "bell\x07", "del\x7f", "nul\x00", ".vantrel-partial-1"):
                    self.assertEqual(self.post(p, "/api/rename", {"path": "r", "name": name, "newName": bad}),
                                     (400, {"ok": False, "error": "Invalid name"}), repr(bad))
                for taken in ("taken.txt", "Ordner", name):
                    self.assertEqual(self.post(p, "/api/rename", {"path": "r", "name": name, "newName": taken}),
                                     (409, {"ok": False, "error": TAKEN}), taken)
                cases = [({"path": "r", "newName": "x"}, 400, "Missing name"),
                         ({"path": "r", "name": "../r/taken.txt", "newName": "x"}, 400, "Invalid name"),
                         ({"path": "../r", "name": name, "newName": "x"}, 400, "Invalid path"),
                         ({"path": "r", "name": "missing", "newName": "x"}, 404, "Not found"),
                         ({"path": "r", "name": name, "newName": "n" * 256}, 400, "Name too long")]
                for body, status, error in cases:
                    self.assertEqual(self.post(p, "/api/rename", body), (status, {"ok": False, "error": error}), body)
                self.assertEqual(self.post(p, "/api/rename", ok, cookie=False)[0], 401)
                # Another site's page cannot make the browser change anything.
                evil = {"Cookie": self.cookies[p.name], "Content-Type": "application/json",
                        "Origin": "http://evil.example"}
                for route in ("/api/rename", "/api/move", "/api/unshare"):
                    self.assertEqual(p.request("POST", route, json.dumps(ok), evil).status, 403, route)
                self.assertEqual(sorted(os.listdir(os.path.join(p.files, "r"))), ["Ordner", name, "taken.txt"])
                self.assertEqual(self.read(p, "r/taken.txt"), b"keep")

    def test_two_renames_to_one_name_at_once(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                for round_ in range(8):
                    for who in ("a", "b"):
                        self.put(p, f"race/{who}.txt", who.encode() * 1000)
                    barrier = threading.Barrier(2)
                    answers = {}

                    def rename(who):
                        barrier.wait()
                        answers[who] = self.post(p, "/api/rename", {"path": "race", "name": who + ".txt",
                                                                    "newName": "final.txt"})

                    threads = [threading.Thread(target=rename, args=(who,)) for who in ("a", "b")]
                    for t in threads:
                        t.start()
                    for t in threads:
                        t.join()
                    statuses = sorted(a[0] for a in answers.values())
                    self.assertEqual(statuses, [200, 409], answers)
                    winner = next(who for who, a in answers.items() if a[0] == 200)
                    loser = "b" if winner == "a" else "a"
                    self.assertEqual(self.read(p, "race/final.txt"), winner.encode() * 1000)
                    self.assertEqual(self.read(p, f"race/{loser}.txt"), loser.encode() * 1000)
                    self.assertEqual(sorted(os.listdir(os.path.join(p.files, "race"))), sorted([f"{loser}.txt",
                                                                                                 "final.txt"]))
                    shutil.rmtree(os.path.join(p.files, "race"))


class Move(Organising):
    def test_move_skips_taken_names_and_never_into_itself(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "src/one.txt", b"one")
                self.put(p, "src/two.txt", b"two")
                self.put(p, "src/dir/inner/deep.txt", b"deep")
                self.put(p, "dst/two.txt", b"other two")
                body = {"path": "src", "names": ["one.txt", "two.txt", "dir", "missing", "../dst"], "to": "dst"}
                self.assertEqual(self.post(p, "/api/move", body),
                                 (200, {"ok": True, "skipped": ["two.txt", "missing", "../dst"]}))
                self.assertEqual(sorted(os.listdir(os.path.join(p.files, "src"))), ["two.txt"])
                self.assertEqual(self.read(p, "src/two.txt"), b"two")
                self.assertEqual(self.read(p, "dst/two.txt"), b"other two")
                self.assertEqual(self.read(p, "dst/dir/inner/deep.txt"), b"deep")
                for name in ("one.txt", "dir"):
                    p.wait_for(f"MOVE    {os.path.join(p.files, 'src', name)} -> {os.path.join(p.files, 'dst', name)}")

                self.assertEqual(self.post(p, "/api/move", {"path": "src", "names": ["two.txt"], "to": "dst"}),
                                 (409, {"ok": False, "error": TAKEN, "skipped": ["two.txt"]}))
                # Into its own folder: every entry is already there.
                self.assertEqual(self.post(p, "/api/move", {"path": "dst", "names": ["two.txt"], "to": "dst/"})[0],
                                 409)
                for into in ("dst/dir", "dst/dir/inner", "/dst\\dir\\inner"):
                    self.assertEqual(self.post(p, "/api/move", {"path": "dst", "names": ["two.txt", "dir"], "to": into}),
                                     (400, {"ok": False, "error": "A folder cannot be moved into itself"}), into)
                self.assertEqual(self.post(p, "/api/move", {"path": "", "names": ["dst"], "to": "dst/dir"})[0], 400)
                self.assertTrue(os.path.isfile(os.path.join(p.files, "dst/two.txt")))
                # A folder whose name merely begins like the target's is no parent of it.
                os.makedirs(os.path.join(p.files, "dst/dirty"))
                self.assertEqual(self.post(p, "/api/move", {"path": "dst", "names": ["dir"], "to": "dst/dirty"}),
                                 (200, {"ok": True, "skipped": []}))

                cases = [({"path": "dst", "names": [], "to": ""}, 400, "Missing names[]"),
                         ({"path": "dst", "to": ""}, 400, "Missing names[]"),
                         ({"path": "dst", "names": ["two.txt"], "to": "../x"}, 400, "Invalid path"),
                         ({"path": "..", "names": ["two.txt"], "to": ""}, 400, "Invalid path"),
                         ({"path": "dst", "names": ["two.txt"], "to": "nowhere"}, 404, "Directory not found"),
                         ({"path": "dst", "names": ["two.txt"], "to": "dst/two.txt"}, 404, "Directory not found")]
                for body, status, error in cases:
                    self.assertEqual(self.post(p, "/api/move", body), (status, {"ok": False, "error": error}), body)
                self.assertEqual(self.post(p, "/api/move", {"path": "dst", "names": ["two.txt"], "to": ""},
                                           cookie=False)[0], 401)

    def test_move_to_another_volume(self):
        other = tempfile.mkdtemp(prefix="vantrel-volume-", dir="/dev/shm") if os.path.isdir("/dev/shm") else None
        if not other or os.stat(other).st_dev == os.stat(tempfile.gettempdir()).st_dev:
            self.skipTest("no second volume")
        try:
            for p in self.programs.values():
                with self.subTest(p.name):
                    volume = os.path.join(other, p.name)
                    os.makedirs(volume)
                    os.symlink(volume, os.path.join(p.files, "vol"))
                    big = os.urandom(3 * 1024 * 1024 + 17)
                    self.put(p, "home/big.bin", big)
                    os.utime(os.path.join(p.files, "home/big.bin"), (1500000000, 1500000000))
                    self.put(p, "home/tree/a/b.txt", b"b")
                    self.put(p, "home/tree/c.txt", b"c")
                    self.put(p, "home/taken.txt", b"mine")
                    self.put(p, "vol/taken.txt", b"theirs")
                    # A pipe cannot be copied: that folder stays whole where it is.
                    self.put(p, "home/odd/keep.txt", b"keep")
                    os.mkfifo(os.path.join(p.files, "home/odd/pipe"))
                    body = {"path": "home", "names": ["big.bin", "tree", "taken.txt", "odd"], "to": "vol"}
                    self.assertEqual(self.post(p, "/api/move", body),
                                     (200, {"ok": True, "skipped": ["taken.txt", "odd"]}))
                    self.assertEqual(sorted(os.listdir(volume)), ["big.bin", "taken.txt", "tree"])
                    self.assertEqual(self.read(p, "vol/big.bin"), big)
                    self.assertEqual(os.stat(os.path.join(volume, "big.bin")).st_mtime, 1500000000)
                    self.assertEqual(self.read(p, "vol/tree/a/b.txt"), b"b")
                    self.assertEqual(self.read(p, "vol/taken.txt"), b"theirs")
                    self.assertEqual(sorted(os.listdir(os.path.join(p.files, "home"))), ["odd", "taken.txt"])
                    self.assertTrue(stat.S_ISFIFO(os.stat(os.path.join(p.files, "home/odd/pipe")).st_mode))
                    p.wait_for("MOVE    " + os.path.join(p.files, "home", "tree") + " -> ")
                    r = p.request("GET", "/download?path=vol/big.bin", headers={"Cookie": self.cookies[p.name]})
                    self.assertEqual((r.status, r.body), (200, big))
        finally:
            shutil.rmtree(other, ignore_errors=True)


class Search(Organising):
    def test_search_bounds_folding_and_what_is_never_reported(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                for i in range(520):
                    self.put(p, f"s/many/{i % 4}/Match-{i:03d}.txt")
                deep = "s/" + "/".join(f"d{i}" for i in range(40))
                self.put(p, deep + "/Ζωή \u041c\u041e\u0420\u0415 \u00dcber.txt", b"deep!")
                os.utime(os.path.join(p.files, deep, "Ζωή \u041c\u041e\u0420\u0415 \u00dcber.txt"), (1600000000, 1600000000))
                self.put(p, "s/.vantrel-partial-zwh-ζωή")
                outside = tempfile.mkdtemp(prefix="vantrel-outside-")
                self.addCleanup(shutil.rmtree, outside, True)
                with open(os.path.join(outside, "ζωή-outside.txt"), "wb"):
                    pass
                os.symlink(outside, os.path.join(p.files, "s/ζωή-link"))

                status, body = self.get(p, "/api/search", path="s", q="match-")
                self.assertEqual((status, len(body["items"]), body["truncated"]), (200, 500, True))
                status, body = self.get(p, "/api/search", path="s/many/1", q="MATCH")
                self.assertEqual((len(body["items"]), body["truncated"]), (130, False))
                self.assertTrue(all(i["path"] == "s/many/1" for i in body["items"]))

                found = {"path": deep, "name": "Ζωή \u041c\u041e\u0420\u0415 \u00dcber.txt", "type": "file", "size": 5,
                         "modified": 1600000000}
                for q in ("ζωή", "ΖΩΉ", "\u043c\u043e\u0440\u0435", "üBER", "ζωή \u043c\u043e\u0440\u0435 über.TXT"):
                    self.assertEqual(self.get(p, "/api/search", path="", q=q),
                                     (200, {"ok": True, "items": [found], "truncated": False}), q)
                status, body = self.get(p, "/api/search", path="s", q="D39")
                self.assertEqual(body["items"], [{"path": deep[:deep.rindex("/")], "name": "d39", "type": "dir",
                                                  "modified": int(os.stat(os.path.join(p.files, deep)).st_mtime)}])
                self.assertEqual(self.get(p, "/api/search", path="s", q="q" * 200)[1]["items"], [])
                cases = [({"path": "s", "q": ""}, 400), ({"path": "s"}, 400), ({"path": "s", "q": "é" * 101}, 400),
                         ({"path": "../s", "q": "a"}, 400), ({"path": "nowhere", "q": "a"}, 404)]
                for query, status in cases:
                    self.assertEqual(self.get(p, "/api/search", **query)[0], status, query)
                self.assertEqual(p.request("GET", "/api/search?path=s&q=a").status, 401)


class ShareControl(Organising):
    def share(self, p, rel, hours=None, post=False):
        if post:
            body = {"path": rel} if hours is None else {"path": rel, "hours": hours}
            return self.post(p, "/api/share", body)
        query = {"path": rel} if hours is None else {"path": rel, "hours": hours}
        return self.get(p, "/api/share", **query)

    def test_lifetimes_list_and_end(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "sh/a.txt", b"a")
                before = int(time.time())
                for hours, ttl in ((None, 86400), (1, 3600), (720, 2592000), (0, 86400), (721, 86400),
                                   (-1, 86400), ("x", 86400), (1.5, 86400), ("168", 604800)):
                    for post in (False, True):
                        status, body = self.share(p, "sh/a.txt", hours, post)
                        self.assertEqual((status, body["ttlSeconds"]), (200, ttl), (hours, post))
                        self.assertTrue(before + ttl <= body["expiresAt"] <= int(time.time()) + ttl)
                self.assertEqual(self.share(p, "sh", 168, post=True)[0], 200)
                self.assertEqual(self.share(p, "", post=True),
                                 (400, {"ok": False, "error": "The web root itself cannot be shared"}))

                status, listed = self.get(p, "/api/shares")
                self.assertEqual((status, len(listed["items"])), (200, 19))
                expiries = [i["expiresAt"] for i in listed["items"]]
                self.assertEqual(expiries, sorted(expiries))
                folder = next(i for i in listed["items"] if i["kind"] == "dir")
                self.assertEqual((folder["path"], folder["url"][-67:-64]), ("sh", "/d/"))
                self.assertEqual(p.request("GET", "/d/" + folder["token"] + "/api/list").status, 200)

                first = listed["items"][0]
                link = "/s/" + first["token"]
                self.assertTrue(first["url"].endswith(link))
                self.assertEqual(p.request("GET", link).body, b"a")
                self.assertEqual(self.post(p, "/api/unshare", {"token": first["token"]}), (200, {"ok": True}))
                r = p.request("GET", link)
                self.assertEqual((r.status, r.reason, r.body), GONE)
                self.assertEqual(self.post(p, "/api/unshare", {"token": first["token"]}),
                                 (404, {"ok": False, "error": "Not found"}))
                self.assertEqual(self.post(p, "/api/unshare", {}), (400, {"ok": False, "error": "Missing token"}))
                self.assertNotIn(first["token"], json.dumps(self.get(p, "/api/shares")[1]))
                self.assertEqual(self.post(p, "/api/unshare", {"token": folder["token"]}, cookie=False)[0], 401)
                self.assertEqual(p.request("GET", "/api/shares").status, 401)
                for item in self.get(p, "/api/shares")[1]["items"]:
                    self.post(p, "/api/unshare", {"token": item["token"]})
                self.assertEqual(self.get(p, "/api/shares"), (200, {"ok": True, "items": []}))

    def test_qr_code_reads_back(self):
        text = "https://192.0.2.7:8443/s/" + "0123456789abcdef" * 4 + "?from=phone&n=" + "x" * 300
        work = tempfile.mkdtemp(prefix="vantrel-qr-")
        self.addCleanup(shutil.rmtree, work, True)
        for p in self.programs.values():
            with self.subTest(p.name):
                cookie = {"Cookie": self.cookies[p.name]}
                r = p.request("GET", "/api/qr?text=" + urllib.parse.quote(text, safe=""), headers=cookie)
                self.assertEqual((r.status, r.header("Content-Type")), (200, "image/svg+xml"))
                svg, png = os.path.join(work, p.name + ".svg"), os.path.join(work, p.name + ".png")
                with open(svg, "wb") as f:
                    f.write(r.body)
                subprocess.run(["rsvg-convert", "-z", "2", "-o", png, svg], check=True, timeout=30)
                decoded = subprocess.run(["zbarimg", "--raw", "-q", png], capture_output=True, timeout=30)
                self.assertEqual(decoded.stdout.decode().strip(), text)

                self.assertEqual(p.request("GET", "/api/qr?text=" + "y" * 1024, headers=cookie).status, 200)
                for query in ("text=" + "y" * 1025, "text=", ""):
                    r = p.request("GET", "/api/qr?" + query, headers=cookie)
                    self.assertEqual((r.status, r.json()["ok"]), (400, False), query)
                self.assertEqual(p.request("GET", "/api/qr?text=a").status, 401)


if __name__ == "__main__":
    unittest.main()
