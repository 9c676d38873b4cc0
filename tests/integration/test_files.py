"""File services against both programs: client paths that try to leave the
web root, listings, downloads and the folder operations."""

import io
import json
import os
import shutil
import unittest
import urllib.parse
import zipfile

from harness import LoggedInPrograms

SECRET = b"outside the web root"

# Client paths that must never reach anything outside the web root.
ESCAPES = [
    "..", "../", "../secret.txt", "..%2Fsecret.txt", "%2e%2e", "%2e%2e%2fsecret.txt", "%2E%2E/secret.txt",
    "a..b", "docs/../../secret.txt", "..\\secret.txt", "\\..\\secret.txt", "%5c..%5csecret.txt",
    "/../secret.txt", "//../secret.txt", "...", "docs/...", "C:/Windows", "C:%5cWindows", "//server/share",
    "%00", "docs%00/../../secret.txt", "secret.txt%00", "x" * 5000, "/".join(["d"] * 3000),
]


class Flavoured(LoggedInPrograms):
    """One running program per flavour, logged in, shared by the class."""

    def get(self, p, path):
        return p.request("GET", path, headers={"Cookie": self.cookies[p.name]})

    def post(self, p, path, body):
        # As browsers send it: characters outside ASCII as UTF-8, not as \u escapes.
        data = body if isinstance(body, bytes) else json.dumps(body, ensure_ascii=False).encode()
        return p.request("POST", path, body=data, headers={"Cookie": self.cookies[p.name]})

    def put(self, p, rel, data):
        path = os.path.join(p.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def raw_get(self, p, target):
        head = f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: {self.cookies[p.name]}\r\n\r\n"
        return p.raw(head.encode("utf-8"))


def q(text):
    return urllib.parse.quote(text, safe="")


class Escapes(Flavoured):
    def test_no_client_path_leaves_the_web_root(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "docs/inside.txt", b"inside")
                secret_paths = [os.path.join(p.base, "secret.txt"), os.path.join(p.home, "secret.txt")]
                for s in secret_paths:
                    with open(s, "wb") as f:
                        f.write(SECRET)
                before = {d: sorted(os.listdir(d)) for d in (p.home, p.base)}
                for attack in ESCAPES:
                    raw = attack if "%" in attack else q(attack)
                    for route in ("/api/list", "/download", "/api/share"):
                        r = self.get(p, f"{route}?path={raw}")
                        self.assertIn(r.status, (400, 404), (route, attack))
                        self.assertNotIn(SECRET, r.body)
                for attack in ESCAPES:
                    decoded = urllib.parse.unquote(attack)
                    for route, body in [("/api/mkdir", {"path": decoded, "name": "made"}),
                                        ("/api/delete", {"path": decoded, "name": "secret.txt"}),
                                        ("/api/delete_many", {"path": decoded, "names": ["secret.txt"]}),
                                        ("/api/rmdir", {"path": decoded, "name": "vantrel"})]:
                        r = self.post(p, route, body)
                        if r.status == 200 and route == "/api/delete_many":
                            self.assertEqual(r.json()["deleted"], 0, (route, attack))
                for s in secret_paths:
                    with open(s, "rb") as f:
                        self.assertEqual(f.read(), SECRET)
                self.assertEqual({d: sorted(os.listdir(d)) for d in (p.home, p.base)}, before)
                # What the attempts made lies below the web root; clear it for the other tests.
                for entry in os.listdir(p.files):
                    shutil.rmtree(os.path.join(p.files, entry))

    def test_refusals_and_misses_answer_as_documented(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                for attack in ("..", "docs/../x", "%2e%2e", "%00", "docs%00x", "x" * 5000):
                    r = self.get(p, "/api/list?path=" + attack)
                    self.assertEqual((r.status, r.reason, r.json()),
                                     (400, "Error", {"ok": False, "error": "Invalid path"}))
                    r = self.get(p, "/download?path=" + attack)
                    self.assertEqual((r.status, r.reason, r.body), (400, "Bad Request", b"Invalid path"))
                # Leading slashes go, so these name entries below the web root that do not exist.
                for miss in ("C:/Windows", "//server/share", "/etc/passwd"):
                    r = self.get(p, "/api/list?path=" + q(miss))
                    self.assertEqual((r.status, r.json()), (404, {"ok": False, "error": "Directory not found"}))
                    self.assertEqual(self.get(p, "/download?path=" + q(miss)).status, 404)

    def test_nul_in_a_json_path_or_name_is_refused(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                os.makedirs(os.path.join(p.files, "nul"), exist_ok=True)
                r = self.post(p, "/api/mkdir", b'{"path":"nul","name":"a\x00b"}')
                self.assertEqual((r.status, r.json()["error"]), (400, "Invalid name"))
                r = self.post(p, "/api/mkdir", b'{"path":"nul\x00/x","name":"a"}')
                self.assertEqual((r.status, r.json()["error"]), (400, "Invalid path"))
                r = self.post(p, "/api/delete_many", b'{"path":"nul","names":["a\x00b"]}')
                self.assertEqual(r.json(), {"ok": True, "deleted": 0, "failed": 1})
                self.assertEqual(os.listdir(os.path.join(p.files, "nul")), [])


class Listing(Flavoured):
    def test_awkward_names_are_listed_exactly(self):
        names = ['quo"te.txt', "back\\slash.txt", "Bericht M\u00e4rz.pdf", "it's.txt", "\u65e5\u672c.txt"]
        for p in self.programs.values():
            with self.subTest(p.name):
                for n in names:
                    self.put(p, "odd/" + n, n.encode())
                os.makedirs(os.path.join(p.files, "odd", "folder"))
                r = self.get(p, "/api/list?path=odd")
                self.assertEqual(r.header("Content-Type"), "application/json; charset=utf-8")
                items = {i["name"]: i for i in r.json()["items"]}
                for n in names:
                    mtime = int(os.path.getmtime(os.path.join(p.files, "odd", n)))
                    self.assertEqual(items[n], {"name": n, "type": "file", "size": len(n.encode()), "modified": mtime})
                mtime = int(os.path.getmtime(os.path.join(p.files, "odd", "folder")))
                self.assertEqual(items["folder"], {"name": "folder", "type": "dir", "modified": mtime})


    def test_control_characters_and_bytes_that_are_not_utf8(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                folder = os.path.join(p.files, "u8")
                os.makedirs(folder)
                # A browser's JSON.stringify sends \u0001; the escapes decode to the real name.
                r = self.post(p, "/api/mkdir", json.dumps({"path": "u8", "name": "c\u0001\u00e4\U0001F600"}).encode())
                self.assertEqual(r.status, 200)
                self.assertTrue(os.path.isdir(os.path.join(folder, "c\u0001\u00e4\U0001F600")))
                with open(os.path.join(folder.encode(), b"bad\xff.txt"), "wb") as f:
                    f.write(b"x")
                r = self.get(p, "/api/list?path=u8")
                self.assertIn(b'"c\\u0001\xc3\xa4\xf0\x9f\x98\x80"', r.body)
                self.assertEqual(sorted(i["name"] for i in r.json()["items"]),
                                 ["bad\ufffd.txt", "c\u0001\u00e4\U0001F600"])
                # The listed name cannot reach the file, and says why; the
                # bytes themselves can.
                r = self.post(p, "/api/delete", {"path": "u8", "name": "bad\ufffd.txt"})
                self.assertEqual((r.status, r.json()["error"]), (404, "Not found (name on disk is not valid UTF-8)"))
                r = self.post(p, "/api/delete", b'{"path":"u8","name":"bad\xff.txt"}')
                self.assertEqual(r.status, 200)
                r = self.post(p, "/api/rmdir", json.dumps({"path": "u8", "name": "c\u0001\u00e4\U0001F600"}).encode())
                self.assertEqual(r.status, 200)
                self.assertEqual(os.listdir(folder), [])

    def test_a_reload_of_an_unchanged_listing_is_answered_304(self):
        # The tag follows the bytes of the listing: stable while nothing
        # changes, new when a file is added, renamed or grows; the same holds
        # for a shared folder's listing.
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "tagged/a.txt", b"a")
                r = self.get(p, "/api/share?path=tagged")
                shared = r.json()["path"] + "/api/list"
                for url, cookie in (("/api/list?path=tagged", self.cookies[p.name]), (shared, None)):
                    h = {"Cookie": cookie} if cookie else {}
                    first = p.request("GET", url, headers=h)
                    tag = first.header("ETag")
                    self.assertRegex(tag, r'^"[0-9a-f]{32}"$')
                    self.assertEqual([k for k, _ in first.headers][-1], "ETag")
                    self.assertEqual(p.request("GET", url, headers=h).header("ETag"), tag)
                    again = p.request("GET", url, headers=dict(h, **{"If-None-Match": f'"x", W/{tag}'}))
                    self.assertEqual((again.status, again.body, again.header("ETag")), (304, b"", tag))
                    self.assertIsNone(again.header("Content-Length"))
                    seen = {tag}
                    for change in (lambda: self.put(p, "tagged/b.txt", b"b"),
                                   lambda: os.rename(os.path.join(p.files, "tagged/b.txt"),
                                                     os.path.join(p.files, "tagged/c.txt")),
                                   lambda: self.put(p, "tagged/c.txt", b"cc")):
                        change()
                        r = p.request("GET", url, headers=dict(h, **{"If-None-Match": tag}))
                        self.assertEqual(r.status, 200)  # a stale tag gets the new body
                        self.assertNotIn(r.header("ETag"), seen)
                        tag = r.header("ETag")
                        seen.add(tag)
                    os.remove(os.path.join(p.files, "tagged/c.txt"))


class Downloads(Flavoured):
    def test_empty_and_two_piece_files_are_bit_exact(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                data = os.urandom(262145)
                self.put(p, "dl/two.bin", data)
                self.put(p, "dl/empty.bin", b"")
                r = self.get(p, "/download?path=dl/two.bin")
                self.assertEqual((r.status, r.reason), (200, "OK"))
                self.assertEqual(r.body, data)
                self.assertEqual(r.header("Content-Length"), "262145")
                self.assertEqual(r.header("Content-Type"), "application/octet-stream")
                self.assertEqual(r.header("Content-Disposition"), 'attachment; filename="two.bin"')
                self.assertEqual(r.header("Connection"), "close")
                r = self.get(p, "/download?path=dl/empty.bin")
                self.assertEqual((r.status, r.header("Content-Length"), r.body), (200, "0", b""))
                path = os.path.join(p.files, "dl", "two.bin")
                p.wait_for("DL      " + path)
                self.assertNotIn("DL      failed: " + path, p.messages())

    def test_head_order_is_fixed(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "order.txt", b"abc")
                head = self.raw_get(p, "/download?path=order.txt").split(b"\r\n\r\n")[0].split(b"\r\n")
                self.assertEqual(head[0], b"HTTP/1.1 200 OK")
                self.assertEqual([h.split(b":")[0] for h in head[1:]],
                                 [b"Date", b"Server", b"Connection", b"Content-Type", b"Content-Length",
                                  b"Content-Disposition", b"Accept-Ranges", b"Last-Modified", b"ETag"])

    def test_folders_and_missing_files_are_not_found(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                os.makedirs(os.path.join(p.files, "afolder"), exist_ok=True)
                for path in ("afolder", "nothing.txt", ""):
                    r = self.get(p, "/download?path=" + path)
                    self.assertEqual((r.status, r.reason, r.body), (404, "Not Found", b"Not Found"), path)

    def test_awkward_names_download_with_a_safe_header(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "names/Bericht M\u00e4rz.pdf", b"maerz")
                self.put(p, 'names/quo"te.txt', b"quote")
                self.put(p, "names/evil\r\nSet-Cookie: x=1.txt", b"evil")
                raw = self.raw_get(p, "/download?path=" + q("names/Bericht M\u00e4rz.pdf"))
                self.assertIn(b'\r\nContent-Disposition: attachment; filename="Bericht M\xc3\xa4rz.pdf"\r\n', raw)
                self.assertTrue(raw.endswith(b"\r\n\r\nmaerz"))
                raw = self.raw_get(p, "/download?path=" + q('names/quo"te.txt'))
                self.assertIn(b'\r\nContent-Disposition: attachment; filename="quo_te.txt"\r\n', raw)
                self.assertTrue(raw.endswith(b"\r\n\r\nquote"))
                raw = self.raw_get(p, "/download?path=" + q("names/evil\r\nSet-Cookie: x=1.txt"))
                self.assertIn(b'\r\nContent-Disposition: attachment; filename="evil__Set-Cookie: x=1.txt"\r\n', raw)
                self.assertNotIn(b"\r\nSet-Cookie", raw)

    def test_backslash_is_a_separator_in_client_paths(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "back/slash.txt", b"in the folder")
                self.put(p, "back\\slash.txt", b"literal name")
                self.assertEqual(self.get(p, "/download?path=" + q("back\\slash.txt")).body, b"in the folder")


class Operations(Flavoured):
    def test_mkdir_twice_and_what_it_cannot_make(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                folder = os.path.join(p.files, "mk")
                self.put(p, "mk/plain", b"keep")
                for path, name, error in (("mk", "x" * 300, "Name too long"), ("mk", "x" * 4000, "Name too long"),
                                          ("mk", "plain", "A file with that name already exists"),
                                          ("mk/plain", "below", "Failed to create folder")):
                    r = self.post(p, "/api/mkdir", {"path": path, "name": name})
                    self.assertEqual((r.status, r.json()), (400, {"ok": False, "error": error}), (path, name[:9]))
                with open(os.path.join(folder, "plain"), "rb") as f:
                    self.assertEqual(f.read(), b"keep")
                for path, name in (("mk", "new"), ("mk", "new"), ("", "mk"), ("mk", "y" * 255)):
                    r = self.post(p, "/api/mkdir", {"path": path, "name": name})
                    self.assertEqual((r.status, r.reason, r.body), (200, "OK", b'{"ok":true}'), name[:9])
                self.assertEqual(sorted(os.listdir(folder)), ["new", "plain", "y" * 255])
                p.wait_for("MKDIR   " + os.path.join(folder, "y" * 255))
                made = [m for m in p.messages() if m.startswith("MKDIR   " + folder)]
                self.assertEqual(made, ["MKDIR   " + os.path.join(p.files, n) for n in ("mk/new", "mk/new", "mk",
                                                                                        "mk/" + "y" * 255)])
                shutil.rmtree(folder)

    def test_single_entry_refusals_in_their_order(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                cases = [
                    ({"path": "a/../b"}, "Missing name"),
                    ({"path": "a/../b", "name": "x"}, "Invalid path"),
                    ({"path": "", "name": "a/b"}, "Invalid name"),
                    ({"path": "", "name": "a\\b"}, "Invalid name"),
                    ({"path": "", "name": ".."}, "Invalid name"),
                ]
                for route in ("/api/mkdir", "/api/rmdir", "/api/delete"):
                    for body, error in cases:
                        r = self.post(p, route, body)
                        self.assertEqual((r.status, r.reason, r.json()), (400, "Error", {"ok": False, "error": error}),
                                         (route, body))

    def test_rmdir_and_delete(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "ops/full/f.txt", b"x")
                os.makedirs(os.path.join(p.files, "ops", "empty1"))
                os.makedirs(os.path.join(p.files, "ops", "empty2"))
                self.put(p, "ops/file.txt", b"x")
                r = self.post(p, "/api/rmdir", {"path": "ops", "name": "full"})
                self.assertEqual((r.status, r.json()["error"]), (400, "Failed (folder must be empty)"))
                r = self.post(p, "/api/rmdir", {"path": "ops", "name": "file.txt"})
                self.assertEqual((r.status, r.json()["error"]), (400, "Failed (folder must be empty)"))
                r = self.post(p, "/api/delete", {"path": "ops", "name": "full"})
                self.assertEqual((r.status, r.json()["error"]), (400, "Failed to delete"))
                self.assertEqual(self.post(p, "/api/rmdir", {"path": "ops", "name": "empty1"}).status, 200)
                self.assertEqual(self.post(p, "/api/delete", {"path": "/ops", "name": "empty2"}).status, 200)
                self.assertEqual(self.post(p, "/api/delete", {"path": "ops", "name": "file.txt"}).status, 200)
                self.assertEqual(sorted(os.listdir(os.path.join(p.files, "ops"))), ["full"])
                target = os.path.join(p.files, "ops")
                p.wait_for("DELETE  " + os.path.join(target, "file.txt"))
                msgs = p.messages()
                self.assertIn("RMDIR   " + os.path.join(target, "empty1"), msgs)
                self.assertIn("DELETE  " + os.path.join(target, "empty2"), msgs)
                self.assertIn("DELETE  " + os.path.join(target, "file.txt"), msgs)
                self.assertFalse([m for m in msgs if m.endswith(os.path.join(target, "full"))])
                r = self.post(p, "/api/delete", {"path": "ops", "name": "file.txt"})
                self.assertEqual((r.status, r.json()["error"]), (400, "Failed to delete"))

    def test_awkward_names_are_deleted(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                names = ['quo"te.txt', "Bericht M\u00e4rz.pdf", "it's.txt"]
                for n in names:
                    self.put(p, "del/" + n, b"x")
                r = self.post(p, "/api/delete", {"path": "del", "name": names[0]})
                self.assertEqual(r.status, 200)
                r = self.post(p, "/api/delete_many", {"path": "del", "names": names})
                self.assertEqual(r.json(), {"ok": True, "deleted": 2, "failed": 1})
                self.assertEqual(os.listdir(os.path.join(p.files, "del")), [])

    def test_members_are_found_at_the_top_level_only(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "top.txt", b"root")
                self.put(p, "keep/top.txt", b"keep")
                r = self.post(p, "/api/delete_many",
                              b'{"tag":"path","x":"keep","o":{"path":"keep"},"path":"","names":["top.txt"]}')
                self.assertEqual(r.json(), {"ok": True, "deleted": 1, "failed": 0})
                self.assertFalse(os.path.exists(os.path.join(p.files, "top.txt")))
                self.assertTrue(os.path.exists(os.path.join(p.files, "keep", "top.txt")))

    def test_dot_names_never_reach_the_web_root(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "dots/f.txt", b"x")
                # Names that Windows folds to "." are real (missing) names here.
                for path in ("", ".", "/", "\\", "./."):
                    for name in (".", "..", ". ", " .", ".  "):
                        for route in ("/api/rmdir", "/api/delete", "/api/mkdir")[:3 if name in (".", "..") else 2]:
                            r = self.post(p, route, {"path": path, "name": name})
                            self.assertEqual(r.status, 400, (route, path, name))
                            if name in (".", ".."):
                                self.assertEqual(r.json()["error"], "Invalid name", (route, path, name))
                r = self.post(p, "/api/delete_many", {"path": "dots", "names": [".", ".."]})
                self.assertEqual(r.json(), {"ok": True, "deleted": 0, "failed": 2})
                link = self.get(p, "/api/share?path=dots").json()["path"]
                r = p.request("POST", link + "/api/delete", b'{"name":"."}')
                self.assertEqual((r.status, r.json()["error"]), (400, "Invalid name"))
                self.assertTrue(os.path.isfile(os.path.join(p.files, "dots", "f.txt")))

    def test_delete_many_counts(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "many/a.txt", b"a")
                os.makedirs(os.path.join(p.files, "many", "sub"))
                names = ["a.txt", "missing.txt", "sub", "..\\x"]
                r = self.post(p, "/api/delete_many", {"path": "many", "names": names})
                self.assertEqual((r.status, r.body), (200, b'{"ok":true,"deleted":1,"failed":3}'))
                self.assertEqual(os.listdir(os.path.join(p.files, "many")), ["sub"])
                for body in ({"path": "many", "names": []}, {"path": "many"}, {"path": "many", "names": "a.txt"}):
                    r = self.post(p, "/api/delete_many", body)
                    self.assertEqual((r.status, r.json()["error"]), (400, "Missing names[]"), body)
                r = self.post(p, "/api/delete_many", {"path": "..", "names": ["a"]})
                self.assertEqual((r.status, r.json()["error"]), (400, "Invalid path"))


class DoubleDots(Flavoured):
    def test_double_dots_inside_a_name_reach_it_on_every_route_and_a_whole_segment_never(self):
        name = "report..final.txt"
        for p in self.programs.values():
            with self.subTest(p.name):
                for rel in (name, "a..b/" + name, "a..b/two..dots.txt", "a..b/three..dots.txt"):
                    self.put(p, rel, rel.encode())
                items = self.get(p, "/api/list?path=a..b").json()["items"]
                self.assertIn({"name": name, "type": "file", "size": len("a..b/" + name),
                               "modified": int(os.path.getmtime(os.path.join(p.files, "a..b", name)))}, items)
                self.assertEqual(self.get(p, "/download?path=" + q("a..b/" + name)).body, b"a..b/" + name.encode())
                link = self.get(p, "/api/share?path=" + q(name)).json()["path"]
                self.assertEqual(p.request("GET", link).body, name.encode())
                shared = self.get(p, "/api/share?path=a..b").json()["path"]
                r = p.request("GET", shared + "/download?name=" + q(name))
                self.assertEqual((r.status, r.body), (200, b"a..b/" + name.encode()))
                r = self.post(p, "/api/zip", {"path": "a..b", "names": ["two..dots.txt"]})
                self.assertEqual(zipfile.ZipFile(io.BytesIO(r.body)).namelist(), ["a..b/two..dots.txt"])
                r = p.request("POST", shared + "/api/delete", json.dumps({"name": name}).encode())
                self.assertEqual(r.status, 200, r.body)
                r = self.post(p, "/api/delete_many", {"path": "a..b", "names": ["two..dots.txt", "three..dots.txt"]})
                self.assertEqual(r.json(), {"ok": True, "deleted": 2, "failed": 0})
                self.assertEqual(self.post(p, "/api/delete", {"path": "", "name": name}).status, 200)
                self.assertEqual(self.post(p, "/api/rmdir", {"path": "", "name": "a..b"}).status, 200)
                self.assertEqual(os.listdir(p.files), [])

                self.put(p, "x", b"x")
                for bad in ("../x", "a/../b", "..\\x"):
                    for route in ("/api/list", "/download", "/api/share"):
                        self.assertEqual(self.get(p, f"{route}?path={q(bad)}").status, 400, (route, bad))
                    for route in ("/api/mkdir", "/api/rmdir", "/api/delete"):
                        r = self.post(p, route, {"path": bad, "name": "x"})
                        self.assertEqual((r.status, r.json()["error"]), (400, "Invalid path"), (route, bad))
                        r = self.post(p, route, {"path": "", "name": bad})
                        self.assertEqual((r.status, r.json()["error"]), (400, "Invalid name"), (route, bad))
                    r = self.post(p, "/api/delete_many", {"path": "", "names": [bad]})
                    self.assertEqual(r.json(), {"ok": True, "deleted": 0, "failed": 1})
                    r = self.post(p, "/api/zip", {"path": "", "names": [bad]})
                    self.assertEqual((r.status, r.json()["error"]), (400, "No readable files to zip."))
                    r = self.post(p, "/api/zip", {"path": bad, "names": ["x"]})
                    self.assertEqual((r.status, r.json()["error"]), (400, "Invalid path"))
                for bad in ("..", "../x", "..\\x"):
                    r = p.request("GET", shared + "/download?name=" + q(bad))
                    self.assertEqual((r.status, r.body), (400, b"Invalid name"), bad)
                    r = p.request("POST", shared + "/api/delete", json.dumps({"name": bad}).encode())
                    self.assertEqual((r.status, r.json()["error"]), (400, "Invalid name"), bad)
                os.remove(os.path.join(p.files, "x"))


if __name__ == "__main__":
    unittest.main()
