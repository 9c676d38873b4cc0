"""Resumable uploads over plain requests: every refusal, the reserved names
of data in progress, the per-client cap, expiry at start-up, and a stalled
PATCH taken over by a second connection."""

import base64
import json
import os
import socket
import time
import unittest

from harness import FLAVOURS, LoggedInPrograms, Program, insecure_context

OCTETS = "application/offset+octet-stream"


def metadata(**fields):
    return ",".join(f"{k} {base64.b64encode(v.encode()).decode()}" for k, v in fields.items())


class TusClient:
    def __init__(self, program, cookie):
        self.p, self.cookie = program, cookie

    def send(self, method, target, headers=None, body=None, version="1.0.0"):
        h = {"Cookie": self.cookie} if self.cookie else {}
        if version:
            h["Tus-Resumable"] = version
        h.update(headers or {})
        return self.p.request(method, target, body=body, headers=h)

    def create(self, length, **fields):
        r = self.send("POST", "/api/tus", {"Upload-Length": str(length), "Upload-Metadata": metadata(**fields)})
        assert r.status == 201, (r.status, r.body)
        return r.header("Location")

    def patch(self, url, offset, body, **headers):
        return self.send("PATCH", url, {"Content-Type": OCTETS, "Upload-Offset": str(offset), **headers}, body)

    def offset(self, url):
        r = self.send("HEAD", url)
        assert r.status == 200, r.status
        return int(r.header("Upload-Offset"))


class Refusals(LoggedInPrograms):
    def client(self, name):
        return TusClient(self.programs[name], self.cookies[name])

    def assert_refused(self, r, status, error=None):
        self.assertEqual(r.status, status, r.body)
        self.assertEqual(r.header("Tus-Resumable"), "1.0.0")
        if error:
            self.assertEqual(json.loads(r.body), {"ok": False, "error": error})

    def test_protocol_refusals_write_nothing(self):
        for name in FLAVOURS:
            with self.subTest(name):
                c = self.client(name)
                r = c.send("OPTIONS", "/api/tus", version=None)
                self.assertEqual(r.status, 204)
                self.assertEqual(r.header("Tus-Version"), "1.0.0")
                self.assertIn("termination", r.header("Tus-Extension"))
                self.assertGreater(int(r.header("Tus-Max-Size")), 0)

                url = c.create(10, filename="a.txt")
                for method in ("POST", "HEAD", "PATCH", "DELETE"):
                    target = "/api/tus" if method == "POST" else url
                    self.assert_refused(c.send(method, target, version=None), 412)
                    self.assert_refused(c.send(method, target, version="0.2.2"), 412)
                self.assert_refused(c.patch(url, 0, b"abc", **{"Content-Type": "application/octet-stream"}), 415)
                self.assert_refused(c.patch(url, 3, b"abc"), 409)
                self.assert_refused(c.patch(url, 0, b"x" * 11), 400)
                self.assertEqual(c.offset(url), 0)
                self.assertEqual(c.patch(url, 0, b"abcd").status, 204)
                self.assert_refused(c.patch(url, 0, b"abcd"), 409)
                self.assert_refused(c.patch(url, 4, b"y" * 7), 400)
                self.assertEqual(c.offset(url), 4)
                # A client that lost the last answer learns the upload is done,
                # and under which name; ending it then keeps the file.
                done = c.create(2, filename="done.txt")
                self.assertEqual(c.patch(done, 0, b"ok").status, 204)
                again = c.send("HEAD", done)
                self.assertEqual((again.status, again.header("Upload-Offset")), (200, "2"))
                self.assertEqual(again.header("Upload-File-Name"), "done.txt")
                self.assertEqual(c.patch(done, 2, b"").status, 204)
                self.assert_refused(c.patch(done, 0, b"ok"), 409)
                self.assertEqual(c.send("DELETE", done).status, 204)
                with open(os.path.join(c.p.files, "done.txt"), "rb") as f:
                    self.assertEqual(f.read(), b"ok")

                self.assert_refused(c.send("POST", "/api/tus", {"Upload-Metadata": metadata(filename="b")}), 400)
                self.assert_refused(c.send("POST", "/api/tus", {"Upload-Length": "-1"}), 400)
                bad = {"Upload-Length": "5", "Upload-Metadata": "filename !!!"}
                self.assert_refused(c.send("POST", "/api/tus", bad), 400, "Invalid Upload-Metadata")
                nameless = {"Upload-Length": "5", "Upload-Metadata": metadata(path="")}
                self.assert_refused(c.send("POST", "/api/tus", nameless), 400, "Missing filename")
                huge = {"Upload-Length": str(2 ** 62), "Upload-Metadata": metadata(filename="huge.bin")}
                self.assert_refused(c.send("POST", "/api/tus", huge), 413, "Not enough free space on this computer")

                self.assert_refused(c.send("HEAD", "/api/tus/" + "0" * 32), 404)
                self.assert_refused(c.patch("/api/tus/" + "0" * 32, 0, b"a"), 404)
                self.assertEqual(c.send("DELETE", url).status, 204)
                self.assert_refused(c.send("HEAD", url), 404)
                self.assertEqual(TusClient(c.p, None).send("POST", "/api/tus").status, 401)

    def test_names_and_folders_are_checked_like_other_routes(self):
        c = self.client("vantrel-http")
        for bad in ("..", ".", "a/b", "a\\b", "tab\there", "del\x7f", "bell\x07", ".vantrel-partial-x",
                    ".VANTREL-PARTIAL-1", "x" * 256):
            with self.subTest(filename=bad):
                r = c.send("POST", "/api/tus", {"Upload-Length": "1", "Upload-Metadata": metadata(filename=bad)})
                self.assert_refused(r, 400, "Invalid name")
        for field, bad in (("relativePath", "../up"), ("relativePath", "a/../b"), ("relativePath", "a\\b"),
                           ("relativePath", "ok/.vantrel-partial-1"), ("relativePath", "c\x05d"),
                           ("path", ".."), ("path", "x/.vantrel-partial-2"), ("path", "e\x1bf")):
            with self.subTest(**{field: bad}):
                fields = {"filename": "ok.txt", field: bad}
                r = c.send("POST", "/api/tus", {"Upload-Length": "1", "Upload-Metadata": metadata(**fields)})
                self.assert_refused(r, 400, "Invalid path")
        made = {n for _, folders, names in os.walk(c.p.files) for n in folders + names}
        self.assertFalse(made & {"ok.txt", "up", "b", "c\x05d", "e\x1bf"}, made)

    def test_data_in_progress_is_reachable_by_no_other_route(self):
        name = "vantrel-http"
        c = self.client(name)
        url = c.create(100, filename="later.bin", path="hold")
        c.patch(url, 0, b"z" * 10)
        partial = ".vantrel-partial-" + url.rsplit("/", 1)[1]
        self.assertEqual(os.listdir(os.path.join(c.p.files, "hold")), [partial])
        p, cookie = c.p, {"Cookie": c.cookie}
        listing = p.request("GET", "/api/list?path=hold", headers=cookie).json()
        self.assertEqual(listing["items"], [])
        self.assertEqual(p.request("GET", f"/download?path=hold/{partial}", headers=cookie).status, 400)
        self.assertEqual(p.request("GET", f"/api/share?path=hold/{partial}", headers=cookie).status, 400)
        body = json.dumps({"path": "hold", "name": partial})
        delete = p.request("POST", "/api/delete", body, {**cookie, "Content-Type": "application/json"})
        self.assertEqual(delete.status, 400)
        zipped = p.request("POST", "/api/zip", json.dumps({"path": "hold", "names": [partial]}),
                           {**cookie, "Content-Type": "application/json"})
        self.assertEqual(zipped.status, 400)

        # A guest of a share reaches only uploads made through that share.
        link = p.request("GET", "/api/share?path=hold", headers=cookie).json()["path"]
        guest = TusClient(p, None)
        self.assert_refused(guest.send("HEAD", f"{link}/tus/{url.rsplit('/', 1)[1]}"), 404)
        r = guest.send("POST", link + "/tus", {"Upload-Length": "2", "Upload-Metadata": metadata(filename="g",
                                                                                                path="../..")})
        self.assert_refused(r, 400, "Invalid path")
        # Another session continues what one session began.
        other = TusClient(p, p.login())
        self.assertEqual(other.patch(url, 10, b"q" * 90).status, 204)
        self.assertEqual(sorted(os.listdir(os.path.join(p.files, "hold"))), ["later.bin"])


class Lifetime(unittest.TestCase):
    def test_cap_per_client_and_expiry_at_start_up(self):
        with Program("vantrel-http") as p:
            c = TusClient(p, p.login())
            urls = [c.create(5, filename=f"f{i}") for i in range(1000)]
            r = c.send("POST", "/api/tus", {"Upload-Length": "5", "Upload-Metadata": metadata(filename="one-more")})
            self.assertEqual(r.status, 429)
            self.assertEqual(c.send("DELETE", urls.pop()).status, 204)
            kept = c.create(5, filename="again")
            c.patch(kept, 0, b"12")
            c.patch(urls[0], 0, b"123")

            p.stop()
            # The one upload whose day has passed goes with its data at start-up.
            state = os.path.join(p.base, "uploads", urls[0].rsplit("/", 1)[1])
            with open(state) as f:
                text = f.read()
            with open(state, "w") as f:
                f.write("".join(l if not l.startswith("expires=") else "expires=1\n"
                                for l in text.splitlines(keepends=True)))
            with Program("vantrel-http", home=p.home, port=p.port) as again:
                self.assert_resumed(again, urls[0], kept)

    def assert_resumed(self, p, expired, kept):
        c = TusClient(p, p.login())
        self.assertEqual(c.send("HEAD", expired).status, 404)
        self.assertNotIn(".vantrel-partial-" + expired.rsplit("/", 1)[1], os.listdir(p.files))
        self.assertEqual(c.offset(kept), 2)
        self.assertEqual(c.patch(kept, 2, b"345").status, 204)
        with open(os.path.join(p.files, "again"), "rb") as f:
            self.assertEqual(f.read(), b"12345")


class TakeOver(unittest.TestCase):
    def open_patch(self, p, cookie, url, length, first):
        s = socket.create_connection(("127.0.0.1", p.port), timeout=30)
        if p.tls:
            s = insecure_context().wrap_socket(s, server_hostname="localhost")
        head = (f"PATCH {url} HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: {cookie}\r\nTus-Resumable: 1.0.0\r\n"
                f"Content-Type: {OCTETS}\r\nUpload-Offset: 0\r\nContent-Length: {length}\r\n\r\n")
        s.sendall(head.encode() + first)
        return s

    def test_a_silent_patch_is_ended_by_the_next_request(self):
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                c = TusClient(p, p.login())
                data = os.urandom(3 * 1024 * 1024)
                url = c.create(len(data), filename="phone.bin")
                sent = 1024 * 1024 + 17
                stalled = self.open_patch(p, c.cookie, url, len(data), data[:sent])
                partial = os.path.join(p.files, ".vantrel-partial-" + url.rsplit("/", 1)[1])
                try:
                    # A writer whose client pauses writes out what it has.
                    deadline = time.time() + 20
                    while os.path.getsize(partial) < sent and time.time() < deadline:
                        time.sleep(0.05)
                    # The stalled request lets go at once, not after its read time-out.
                    asked = time.time()
                    self.assertEqual(c.offset(url), sent)
                    self.assertLess(time.time() - asked, 10)
                    r = c.patch(url, sent, data[sent:])
                    self.assertEqual(r.status, 204, r.body)
                    self.assertEqual(r.header("Upload-File-Name"), "phone.bin")
                finally:
                    stalled.close()
                with open(os.path.join(p.files, "phone.bin"), "rb") as f:
                    self.assertEqual(f.read(), data)


if __name__ == "__main__":
    unittest.main()
