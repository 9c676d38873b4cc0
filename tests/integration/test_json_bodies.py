"""JSON bodies that end early, against both programs: a body that stops short
of its Content-Length (the client closes, or stalls past the read time-out)
and a complete body whose JSON is cut off are answered 400, and no route
acts on what did arrive."""

import json
import os
import socket
import ssl
import unittest

from harness import FLAVOURS, Program, insecure_context

# Shortens the idle read time-out so a stalled client is given up quickly.
IDLE_MS = 2000
INCOMPLETE = {"ok": False, "error": "Incomplete request body"}


class RawClient:
    """One connection on which a request can be sent in part, the sending
    side closed, and the whole answer still read (TLS through memory
    buffers, so the half-closed socket stays readable)."""

    def __init__(self, p):
        self.sock = socket.create_connection(("127.0.0.1", p.port), timeout=30)
        self.tls = None
        if p.tls:
            self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
            self.tls = insecure_context().wrap_bio(self.incoming, self.outgoing, server_hostname="localhost")
            while True:
                try:
                    self.tls.do_handshake()
                    break
                except ssl.SSLWantReadError:
                    self._flush()
                    if not self._take():
                        raise ConnectionError("closed during the handshake")
            self._flush()

    def _flush(self):
        self.sock.sendall(self.outgoing.read())

    def _take(self):
        data = self.sock.recv(65536)
        if data:
            self.incoming.write(data)
        return bool(data)

    def send(self, data):
        if self.tls:
            self.tls.write(data)
            self._flush()
        else:
            self.sock.sendall(data)

    def close_sending(self):
        self.sock.shutdown(socket.SHUT_WR)

    def answer(self):
        out = b""
        try:
            while True:
                if not self.tls:
                    chunk = self.sock.recv(65536)
                else:
                    try:
                        chunk = self.tls.read(65536)
                    except ssl.SSLWantReadError:
                        if self._take():
                            continue
                        chunk = b""
                if not chunk:
                    return out
                out += chunk
        except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
            return out
        finally:
            self.sock.close()


def status_and_json(answer):
    head, _, body = answer.partition(b"\r\n\r\n")
    return int(head.split(b" ")[1]), json.loads(body)


def tree(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, dirs, files in os.walk(folder) for n in dirs + files)


class CutShortBodies(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.programs = [Program(name, env={"VANTREL_IDLE_READ_MS": str(IDLE_MS)}).start() for name in FLAVOURS]
        cls.cookies = {p.name: p.login() for p in cls.programs}

    @classmethod
    def tearDownClass(cls):
        for p in cls.programs:
            p.stop()
            p.cleanup()

    def post(self, p, path, body, length=None):
        head = (f"POST {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: {self.cookies[p.name]}\r\n"
                f"Content-Type: application/json\r\nContent-Length: {length or len(body)}\r\n\r\n")
        client = RawClient(p)
        client.send(head.encode() + body)
        return client

    def test_nothing_is_done_with_a_body_that_ends_early(self):
        for p in self.programs:
            with self.subTest(p.name):
                for rel in ("a.txt", "b.t", "shared/b.t"):
                    os.makedirs(os.path.dirname(os.path.join(p.files, rel)), exist_ok=True)
                    with open(os.path.join(p.files, rel), "wb") as f:
                        f.write(b"keep")
                os.makedirs(os.path.join(p.files, "empty"))
                share = p.request("GET", "/api/share?path=shared", headers={"Cookie": self.cookies[p.name]})
                link = share.json()["path"]
                before, logged = tree(p.files), len(p.messages())
                cut = [("/api/delete_many", b'{"path":"","names":["a.txt","b.t'),
                       ("/api/delete", b'{"path":"","name":"b.t'),
                       ("/api/zip", b'{"path":"","names":["a.txt","b.t'),
                       ("/api/mkdir", b'{"path":"","name":"new'),
                       ("/api/rmdir", b'{"path":"","name":"empty'),
                       (link + "/api/delete", b'{"name":"b.t'),
                       ("/api/login", b'{"code":"' + p.run_pin()[:3].encode())]
                # All stalled clients wait out the time-out together.
                stalled = [self.post(p, route, body, length=200) for route, body in cut]
                for route, body in cut:
                    client = self.post(p, route, body, length=200)
                    client.close_sending()
                    self.assertEqual(status_and_json(client.answer()), (400, INCOMPLETE), ("closed", route))
                for (route, _), client in zip(cut, stalled):
                    self.assertEqual(status_and_json(client.answer()), (400, INCOMPLETE), ("stalled", route))

                # Complete bodies whose JSON is cut off get the route's own refusal.
                unterminated = [("/api/delete_many", b'{"path":"","names":["a.txt","b.t', "Missing names[]"),
                                ("/api/zip", b'{"path":"","names":["a.txt","b.t"]', "Missing names[]"),
                                ("/api/delete", b'{"path":"","name":"b.t', "Missing name"),
                                ("/api/delete", b'{"path":"","name":"b.t"', "Missing name"),
                                ("/api/mkdir", b'{"path":"","name":"new"} x', "Missing name"),
                                (link + "/api/delete", b'{"name":"b.t', "Invalid name")]
                for route, body, error in unterminated:
                    answer = self.post(p, route, body).answer()
                    self.assertEqual(status_and_json(answer), (400, {"ok": False, "error": error}), (route, body))

                self.assertEqual(tree(p.files), before)
                acted = ("DELETE", "MKDIR", "RMDIR", "ZIP", "SHDIRDEL", "AUTH    success", "AUTH    failed")
                self.assertFalse([m for m in p.messages()[logged:] if m.startswith(acted)])


if __name__ == "__main__":
    unittest.main()
