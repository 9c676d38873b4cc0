"""Multipart uploads against both programs: real clients (curl's -F and
crafted bodies), every answer of /upload and /d/<token>/upload, name
sanitising, and what an upload that breaks off leaves on disk."""

import os
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.parse

from harness import FLAVOURS, Program, insecure_context, read_to_end

BOUNDARY = "----vantrelTestBoundary7MA4YWxk"


def file_part(name, data, boundary=BOUNDARY, disposition=None):
    disp = disposition or f'form-data; name="files"; filename="{name}"'
    return (f"--{boundary}\r\nContent-Disposition: {disp}\r\nContent-Type: application/octet-stream\r\n\r\n"
            .encode("utf-8") + data + b"\r\n")


def closing(boundary=BOUNDARY):
    return f"--{boundary}--\r\n".encode()


def listing(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


class Uploads(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.programs = {name: Program(name).start() for name in FLAVOURS}
        cls.cookies = {name: p.login() for name, p in cls.programs.items()}
        cls.tmp = tempfile.mkdtemp(prefix="vantrel-upload-src-")

    @classmethod
    def tearDownClass(cls):
        for p in cls.programs.values():
            p.stop()
            p.cleanup()
        subprocess.run(["rm", "-rf", cls.tmp])

    def url(self, p, target):
        return f"{'https' if p.tls else 'http'}://127.0.0.1:{p.port}{target}"

    def post(self, p, target, body, content_type=None, extra=None, cookie=True):
        headers = {"Content-Type": content_type or f"multipart/form-data; boundary={BOUNDARY}"}
        if cookie:
            headers["Cookie"] = self.cookies[p.name]
        headers.update(extra or {})
        return p.request("POST", target, body=body, headers=headers)

    def raw_head(self, p, target, headers, cookie=True):
        lines = [f"POST {target} HTTP/1.1", "Host: 127.0.0.1"]
        if cookie:
            lines.append("Cookie: " + self.cookies[p.name])
        lines += [f"{k}: {v}" for k, v in headers.items()]
        return ("\r\n".join(lines) + "\r\n\r\n").encode()

    def open_socket(self, p):
        s = socket.create_connection(("127.0.0.1", p.port), timeout=15)
        if p.tls:
            s = insecure_context().wrap_socket(s, server_hostname="localhost")
        return s

    def curl(self, p, target, forms):
        cmd = ["curl", "-sS", "-k", "-H", "Cookie: " + self.cookies[p.name]]
        for f in forms:
            cmd += ["-F", f]
        cmd.append(self.url(p, target))
        return subprocess.run(cmd, capture_output=True, check=True).stdout

    def src(self, name, data):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    # -- storing ----------------------------------------------------------
    def test_curl_stores_several_files_bit_exact(self):
        big = os.urandom(6 * 1024 * 1024 + 17)
        sources = {"big.bin": big, "empty.dat": b"", "B\u00e4r \u20ac.txt": "gr\u00fc\u00df".encode()}
        paths = {n: self.src(n, d) for n, d in sources.items()}
        for p in self.programs.values():
            with self.subTest(p.name):
                out = self.curl(p, "/upload?path=" + urllib.parse.quote("in/curl"),
                                [f"files=@{paths[n]}" for n in sources] + ["note=plain field"])
                self.assertEqual(out, b'{"ok":true}')
                folder = os.path.join(p.files, "in", "curl")
                self.assertEqual(listing(folder), sorted(sources))
                for n, d in sources.items():
                    self.assertTrue(self.read(os.path.join(folder, n)) == d, n)
                    p.wait_for("UPLOAD  " + os.path.join(folder, n))

    def test_names_are_sanitised_and_nameless_parts_skipped(self):
        parts = (file_part("a:b?.txt", b"1") + file_part("C:\\Users\\x\\y.txt", b"2") +
                 file_part('say"hi".txt', b"3") + file_part("", b"skipped") +
                 file_part(None, b"field", disposition='form-data; name="path"') +
                 file_part("../../escape.txt", b"4") + file_part(".", b"5") + file_part("..", b"6") + closing())
        for p in self.programs.values():
            with self.subTest(p.name):
                r = self.post(p, "/upload?path=names", parts)
                self.assertEqual(r.status, 200, r.body)
                folder = os.path.join(p.files, "names")
                self.assertEqual(listing(folder), [".._.._escape.txt", "C__Users_x_y.txt", "_", "__", "a_b_.txt", "say"])
                self.assertEqual(self.read(os.path.join(folder, "say")), b"3")
                self.assertEqual((self.read(os.path.join(folder, "_")), self.read(os.path.join(folder, "__"))),
                                 (b"5", b"6"))
                # The log reaches the harness through a pipe; the last part's line comes last.
                p.wait_for("UPLOAD  " + os.path.join(folder, "__"))
                logged = [m for m in p.messages() if m.startswith("UPLOAD  " + folder + os.sep)]
                self.assertEqual(len(logged), 6, logged)

    def test_a_delimiter_counts_only_at_the_start_or_after_a_line_break(self):
        # "X--boundary" opens no part: the body holds only a preamble and the
        # closing delimiter, whether the server reads it in one piece or in
        # two whose first ends where the parser keeps its search tail.
        body = b"X" + file_part("smuggled.txt", b"data") + closing()
        first = 1 + len("\r\n--" + BOUNDARY) + 8
        for p in self.programs.values():
            for pieces in ((body,), (body[:first], body[first:])):
                with self.subTest(p.name, pieces=len(pieces)):
                    folder = "line%d" % len(pieces)
                    s = self.open_socket(p)
                    try:
                        s.sendall(self.raw_head(p, "/upload?path=" + folder, {
                            "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                            "Content-Length": str(len(body))}) + pieces[0])
                        for piece in pieces[1:]:
                            time.sleep(0.3)
                            s.sendall(piece)
                        answer = b""
                        while chunk := s.recv(4096):
                            answer += chunk
                    finally:
                        s.close()
                    self.assertTrue(answer.endswith(b'\r\n\r\n{"ok":true}'), answer)
                    self.assertEqual(listing(os.path.join(p.files, folder)), [])

    def test_the_boundary_is_found_among_other_parameters(self):
        types = {"after": f"multipart/form-data; boundary={BOUNDARY}; charset=utf-8",
                 "quoted": f'multipart/form-data; boundary="{BOUNDARY}"; charset=utf-8',
                 "before": f"multipart/form-data; charset=utf-8; Boundary={BOUNDARY}"}
        for p in self.programs.values():
            with self.subTest(p.name):
                for form, content_type in types.items():
                    r = self.post(p, "/upload?path=params", file_part(form + ".txt", form.encode()) + closing(),
                                  content_type=content_type)
                    self.assertEqual((r.status, r.body), (200, b'{"ok":true}'), form)
                folder = os.path.join(p.files, "params")
                self.assertEqual({n: self.read(os.path.join(folder, n)) for n in listing(folder)},
                                 {f + ".txt": f.encode() for f in types})

    # -- answers ----------------------------------------------------------
    # Refusals come before the body is read; the answer must still reach a
    # client that sent one.
    def test_refusals_of_the_authenticated_route(self):
        body = file_part("x.txt", os.urandom(300_000)) + closing()
        for p in self.programs.values():
            with self.subTest(p.name):
                # Chunked is refused before the path is looked at.
                raw = p.raw(self.raw_head(p, "/upload?path=..", {
                    "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                    "Transfer-Encoding": "chunked"}))
                self.assertTrue(raw.startswith(b"HTTP/1.1 411 Error\r\n"), raw)
                self.assertTrue(raw.endswith(b'{"ok":false,"error":"Chunked upload not supported (needs Content-Length)"}'))

                r = self.post(p, "/upload?path=..", body)
                self.assertEqual((r.status, r.reason, r.body), (400, "Error", b'{"ok":false,"error":"Invalid path"}'))
                r = self.post(p, "/upload?path=", body, content_type="multipart/form-data")
                self.assertEqual((r.status, r.body), (400, b'{"ok":false,"error":"Missing multipart boundary"}'))

                raw = p.raw(self.raw_head(p, "/upload?path=", {
                    "Content-Type": f"multipart/form-data; boundary={BOUNDARY}"}))
                self.assertTrue(raw.startswith(b"HTTP/1.1 411 Error\r\n"), raw)
                self.assertTrue(raw.endswith(b'{"ok":false,"error":"Content-Length required"}'))

                r = self.post(p, "/upload?path=", body, cookie=False)
                self.assertEqual((r.status, r.body), (401, b"Unauthorized"))

    def test_body_that_ends_before_the_closing_delimiter_is_answered(self):
        body = file_part("cut.txt", b"some data") + closing()
        short = body[:len(body) - len(closing()) - 5]
        for p in self.programs.values():
            with self.subTest(p.name):
                # The declared length ends early; the client waits for the answer.
                s = self.open_socket(p)
                try:
                    s.sendall(self.raw_head(p, "/upload?path=cut", {
                        "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                        "Content-Length": str(len(short))}) + short)
                    answer = read_to_end(s)
                finally:
                    s.close()
                self.assertTrue(answer.startswith(b"HTTP/1.1 400 Error\r\n"), answer)
                self.assertTrue(answer.endswith(b'{"ok":false,"error":"Upload aborted"}'))
                self.assertEqual(listing(os.path.join(p.files, "cut")), [])

    def test_connection_dropped_midway_keeps_the_old_file(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                folder = os.path.join(p.files, "dropped")
                os.makedirs(folder, exist_ok=True)
                with open(os.path.join(folder, "keep.bin"), "wb") as f:
                    f.write(b"the old content")
                body = file_part("done.txt", b"complete") + file_part("keep.bin", os.urandom(3_000_000)) + closing()
                s = self.open_socket(p)
                try:
                    s.sendall(self.raw_head(p, "/upload?path=dropped", {
                        "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                        "Content-Length": str(len(body))}) + body[:2_000_000])
                    p.wait_for("UPLOAD  " + os.path.join(folder, "keep.bin"))
                finally:
                    s.close()
                # The server notices the close on its next read and cleans up.
                deadline = time.time() + 15
                while listing(folder) != ["done.txt", "keep.bin"] and time.time() < deadline:
                    time.sleep(0.05)
                self.assertEqual(listing(folder), ["done.txt", "keep.bin"])
                self.assertEqual(self.read(os.path.join(folder, "keep.bin")), b"the old content")
                self.assertEqual(self.read(os.path.join(folder, "done.txt")), b"complete")

    # -- the shared-folder route -------------------------------------------
    def share_link(self, p, rel):
        os.makedirs(os.path.join(p.files, rel), exist_ok=True)
        r = p.request("GET", "/api/share?path=" + urllib.parse.quote(rel),
                      headers={"Cookie": self.cookies[p.name]})
        self.assertEqual(r.status, 200, r.body)
        return r.json()["path"]

    def test_shared_folder_upload_and_its_answers(self):
        body = file_part("guest.txt", b"from a guest") + closing()
        for p in self.programs.values():
            with self.subTest(p.name):
                link = self.share_link(p, "drop box")
                r = self.post(p, link + "/upload", body, cookie=False)
                self.assertEqual((r.status, r.reason, r.header("Content-Type"), r.body),
                                 (200, "OK", "application/json; charset=utf-8", b'{"ok":true}'))
                target = os.path.join(p.files, "drop box", "guest.txt")
                self.assertEqual(self.read(target), b"from a guest")
                p.wait_for("UPLOAD  " + target)

                raw = p.raw(self.raw_head(p, link + "/upload", {
                    "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                    "Transfer-Encoding": "chunked"}, cookie=False))
                self.assertTrue(raw.startswith(b"HTTP/1.1 411 Length Required\r\n"), raw)
                self.assertTrue(raw.endswith(b"\r\n\r\nChunked upload not supported"), raw)
                r = self.post(p, link + "/upload", body, content_type="multipart/form-data", cookie=False)
                self.assertEqual((r.status, r.reason, r.body), (400, "Bad Request", b"Missing multipart boundary"))
                raw = p.raw(self.raw_head(p, link + "/upload", {
                    "Content-Type": f"multipart/form-data; boundary={BOUNDARY}"}, cookie=False))
                self.assertTrue(raw.startswith(b"HTTP/1.1 411 Length Required\r\n"), raw)
                self.assertTrue(raw.endswith(b"\r\n\r\nContent-Length required"), raw)
                r = self.post(p, link + "/upload", body[:-10], cookie=False)
                self.assertEqual((r.status, r.reason, r.body), (400, "Bad Request", b"Upload aborted"))

                r = self.post(p, "/d/" + "0" * 64 + "/upload", body, cookie=False)
                self.assertEqual((r.status, r.reason, r.body), (410, "Gone", b"Link expired or invalid"))

    def test_expect_100_continue_is_answered_only_when_the_body_will_be_read(self):
        body = file_part("asked.txt", b"sent after the interim answer") + closing()
        multipart = {"Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
                     "Content-Length": str(len(body)), "Expect": "100-continue"}
        for p in self.programs.values():
            with self.subTest(p.name):
                link = self.share_link(p, "asked")
                for target, cookie, final in (("/upload?path=", True, b'{"ok":true}'),
                                              (link + "/upload", False, b'{"ok":true}')):
                    s = self.open_socket(p)
                    try:
                        s.sendall(self.raw_head(p, target, multipart, cookie=cookie))
                        interim = b""
                        while not interim.endswith(b"\r\n\r\n"):
                            interim += s.recv(1)
                        self.assertEqual(interim, b"HTTP/1.1 100 Continue\r\n\r\n")
                        s.sendall(body)
                        answer = b""
                        while chunk := s.recv(4096):
                            answer += chunk
                        self.assertTrue(answer.startswith(b"HTTP/1.1 200 OK\r\n"), answer)
                        self.assertTrue(answer.endswith(final), answer)
                    finally:
                        s.close()
                # Refused before the body: the final answer alone.
                for target, cookie, status in (("/upload?path=", False, b"401"),
                                               ("/d/" + "0" * 64 + "/upload", False, b"410"),
                                               ("/upload?path=..", True, b"400")):
                    raw = p.raw(self.raw_head(p, target, multipart, cookie=cookie))
                    self.assertTrue(raw.startswith(b"HTTP/1.1 " + status), raw)
                    self.assertNotIn(b"100 Continue", raw)


if __name__ == "__main__":
    unittest.main()
