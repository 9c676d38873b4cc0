"""Share links against both programs: creating them, the /s/ and /d/ routes
with every answer, and what a folder link lets its holder do."""

import json
import os
import re
import shutil
import time
import unittest
import urllib.parse

from harness import FLAVOURS, LoggedInPrograms, Program

TOKEN = re.compile(r"^/([sd])/([0-9a-f]{64})$")
GONE = (410, "Gone", b"Link expired or invalid")
NOT_FOUND = (404, "Not Found", b"Not Found")


def answer(r):
    return (r.status, r.reason, r.body)


class Flavoured(LoggedInPrograms):
    def put(self, p, rel, data=b"x"):
        path = os.path.join(p.files, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def share(self, p, rel, headers=None):
        h = {"Cookie": self.cookies[p.name]}
        h.update(headers or {})
        return p.request("GET", "/api/share?path=" + urllib.parse.quote(rel, safe=""), headers=h)

    def link(self, p, rel):
        r = self.share(p, rel)
        self.assertEqual(r.status, 200, r.body)
        return r.json()["path"]


class Creating(Flavoured):
    def test_answer_members_in_order_with_the_programs_own_address(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                # The address the program shows, whatever Host the request names.
                host = next((m[18:] for m in p.messages() if m.startswith("NET     cached-ip=")), "localhost")
                own = f"{'https' if p.tls else 'http'}://{host}:{p.port}".encode()
                self.put(p, "c/a.txt")
                r = self.share(p, "c/a.txt", {"Host": "192.168.1.5:8443"})
                self.assertEqual((r.status, r.reason, r.header("Content-Type")),
                                 (200, "OK", "application/json; charset=utf-8"))
                m = re.fullmatch(rb'\{"ok":true,"path":"(/s/[0-9a-f]{64})","url":"([^"]*)","kind":"file",'
                                 rb'"ttlSeconds":86400,"expiresAt":\d+\}', r.body)
                self.assertIsNotNone(m, r.body)
                self.assertEqual(m.group(2), own + m.group(1))
                r = self.share(p, "c")
                self.assertEqual((r.json()["kind"], TOKEN.match(r.json()["path"]).group(1)), ("dir", "d"))
                self.put(p, "nohost.txt")
                raw = p.raw(("GET /api/share?path=nohost.txt HTTP/1.1\r\nCookie: %s\r\n\r\n"
                             % self.cookies[p.name]).encode())
                body = json.loads(raw.split(b"\r\n\r\n", 1)[1])
                self.assertEqual(body["url"].encode(), own + body["path"].encode())

    def test_refusals(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                # Every spelling of the web root itself is refused like the empty path.
                for raw in ("", "%2F", "%5C", ".", "./", "%2e", "%2E%2F", "/.", "%2F.%2F.%2F", ".//.", "%5C.%5C"):
                    r = p.request("GET", "/api/share?path=" + raw, headers={"Cookie": self.cookies[p.name]})
                    self.assertEqual((r.status, r.reason, r.json()),
                                     (400, "Error", {"ok": False, "error": "The web root itself cannot be shared"}),
                                     raw)
                r = self.share(p, "missing.txt")
                self.assertEqual((r.status, r.json()), (404, {"ok": False, "error": "Not found"}))
                for rel in ("a/../b", "..", "x\x00y"):
                    r = self.share(p, rel)
                    self.assertEqual((r.status, r.json()), (400, {"ok": False, "error": "Invalid path"}), rel)
                self.assertEqual(p.request("GET", "/api/share?path=x").status, 401)
                self.assertFalse([m for m in p.messages() if m.startswith("SHARE") and "secret" not in m])


class FileLinks(Flavoured):
    def test_two_tokens_for_one_file_both_download(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                data = os.urandom(262145)
                path = self.put(p, "f/two.bin", data)
                a, b = self.link(p, "f/two.bin"), self.link(p, "\\f\\two.bin")
                self.assertNotEqual(a, b)
                for link in (a, b):
                    r = p.request("GET", link)
                    self.assertEqual((r.status, r.body), (200, data))
                    self.assertEqual(r.header("Content-Disposition"), 'attachment; filename="two.bin"')
                deadline = time.time() + 10
                while p.messages().count("SHAREDL " + path) < 2 and time.time() < deadline:
                    time.sleep(0.05)
                self.assertEqual(p.messages().count("SHAREDL " + path), 2)

    def test_token_matrix(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "m/a.txt")
                file_link, folder_link = self.link(p, "m/a.txt"), self.link(p, "m")
                file_token, folder_token = file_link[3:], folder_link[3:]
                cases = [
                    ("/s/" + "a" * 31, NOT_FOUND),
                    ("/s/", NOT_FOUND),
                    ("/s/" + "a" * 32, GONE),
                    ("/s/" + "0" * 64, GONE),
                    ("/s/" + folder_token, GONE),
                    ("/s/" + file_token + "/x", GONE),
                    ("/s/" + file_token.upper(), GONE),
                    ("/d/" + file_token, GONE),
                    ("/d/" + file_token + "/api/list", GONE),
                    ("/d/" + "0" * 64 + "/", GONE),
                    ("/d/", GONE),
                    ("/d/" + folder_token + "//api/list", NOT_FOUND),
                    ("/d/" + folder_token + "/other", NOT_FOUND),
                    ("/d/" + folder_token + "/api/list/", NOT_FOUND),
                ]
                for path, expected in cases:
                    r = p.request("GET", path)
                    self.assertEqual(answer(r), expected, path)
                    self.assertEqual(r.header("Content-Type"), "text/plain; charset=utf-8")
                for page in (folder_link, folder_link + "/"):
                    r = p.request("GET", page)
                    self.assertEqual((r.status, r.reason, r.header("Content-Type")),
                                     (200, "OK", "text/html; charset=utf-8"))

    def test_link_follows_the_name(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                path = self.put(p, "follow/a.txt", b"first")
                link = self.link(p, "follow/a.txt")
                os.remove(path)
                self.assertEqual(answer(p.request("GET", link)), NOT_FOUND)
                os.makedirs(path)
                self.assertEqual(answer(p.request("GET", link)), NOT_FOUND)
                os.rmdir(path)
                self.put(p, "follow/a.txt", b"second")
                self.assertEqual(p.request("GET", link).body, b"second")


class FolderLinks(Flavoured):
    def setUp(self):
        self.links = {}
        for p in self.programs.values():
            shutil.rmtree(os.path.join(p.files, "shared"), ignore_errors=True)
            self.put(p, "shared/one.txt", b"one")
            self.put(p, "shared/sub/deep.txt", b"deep")
            self.links[p.name] = self.link(p, "shared")

    def test_listing_shows_files_only(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                r = p.request("GET", self.links[p.name] + "/api/list")
                self.assertEqual((r.status, r.reason, r.header("Content-Type")),
                                 (200, "OK", "application/json; charset=utf-8"))
                mtime = int(os.path.getmtime(os.path.join(p.files, "shared", "one.txt")))
                self.assertEqual(r.json(), {"ok": True, "items": [{"name": "one.txt", "size": 3, "modified": mtime}]})

    def test_download_by_plain_name(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                base = self.links[p.name]
                self.put(p, 'shared/Bericht M\u00e4rz "1".txt', b"maerz")
                name = urllib.parse.quote('Bericht M\u00e4rz "1".txt')
                raw = p.raw(f"GET {base}/download?name={name} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())
                self.assertTrue(raw.startswith(b"HTTP/1.1 200 OK\r\n"))
                self.assertIn(b'\r\nContent-Disposition: attachment; filename="Bericht M\xc3\xa4rz _1_.txt"\r\n', raw)
                self.assertTrue(raw.endswith(b"\r\n\r\nmaerz"))
                p.wait_for("SHDIRDL " + os.path.join(p.files, "shared", 'Bericht M\u00e4rz "1".txt'))
                for name in ("..%2Fx", "sub%2Fdeep.txt", "sub%5Cdeep.txt", "", "one.txt%00.jpg", ".."):
                    r = p.request("GET", f"{base}/download?name={name}")
                    self.assertEqual(answer(r), (400, "Bad Request", b"Invalid name"), name)
                for name in ("sub", "missing.txt", "a..b"):
                    self.assertEqual(answer(p.request("GET", f"{base}/download?name={name}")), NOT_FOUND, name)

    def test_delete_answers(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                base = self.links[p.name]

                def delete(body):
                    data = body if isinstance(body, bytes) else json.dumps(body).encode()
                    r = p.request("POST", base + "/api/delete", body=data)
                    self.assertEqual(r.header("Content-Type"), "application/json; charset=utf-8")
                    return r.status, r.reason, r.json()

                self.assertEqual(delete({"name": "sub"}),
                                 (400, "Bad Request", {"ok": False, "error": "Directories cannot be deleted here"}))
                self.assertEqual(delete({"name": "nope.txt"}), (404, "Not Found", {"ok": False, "error": "Not found"}))
                for bad in ({"name": "../one.txt"}, {"name": "sub/deep.txt"}, {}, b'{"name":"one.txt\x00"}'):
                    self.assertEqual(delete(bad), (400, "Bad Request", {"ok": False, "error": "Invalid name"}), bad)
                self.assertEqual(delete({"name": "one.txt"}), (200, "OK", {"ok": True}))
                self.assertFalse(os.path.exists(os.path.join(p.files, "shared", "one.txt")))
                p.wait_for("SHDIRDEL " + os.path.join(p.files, "shared", "one.txt"))
                self.assertTrue(os.path.exists(os.path.join(p.files, "shared", "sub", "deep.txt")))

    def test_other_posts(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                base = self.links[p.name]
                self.assertEqual(answer(p.request("POST", base + "/other")), NOT_FOUND)
                self.assertEqual(answer(p.request("POST", base + "//api/delete")), NOT_FOUND)
                self.assertEqual(answer(p.request("POST", "/d/" + "0" * 64 + "/api/delete")), GONE)
                self.assertEqual(answer(p.request("POST", "/d/x")), GONE)

    def test_missing_shared_folder(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                self.put(p, "gone/f.txt")
                link = self.link(p, "gone")
                os.remove(os.path.join(p.files, "gone", "f.txt"))
                os.rmdir(os.path.join(p.files, "gone"))
                r = p.request("GET", link + "/api/list")
                self.assertEqual((r.status, r.reason, r.body),
                                 (404, "Not Found", b'{"ok":false,"error":"Directory not found"}'))
                self.assertEqual(p.request("GET", link + "/download?name=f.txt").status, 404)
                r = p.request("POST", link + "/api/delete", body=b'{"name":"f.txt"}')
                self.assertEqual((r.status, r.json()), (404, {"ok": False, "error": "Not found"}))


class Restart(unittest.TestCase):
    def test_links_die_with_the_process(self):
        for name in FLAVOURS:
            with self.subTest(name):
                p = Program(name).start()
                try:
                    os.makedirs(os.path.join(p.files, "d"))
                    cookie = {"Cookie": p.login()}
                    link = p.request("GET", "/api/share?path=d", headers=cookie).json()["path"]
                    self.assertEqual(p.request("GET", link).status, 200)
                    p.stop()
                    p.lines.clear()
                    p.start()
                    self.assertEqual(answer(p.request("GET", link)), GONE)
                finally:
                    p.stop()
                    p.cleanup()


if __name__ == "__main__":
    unittest.main()
