"""What protects a logged-in browser from other pages: requests another site
or origin makes it send are refused, pages carry their security policy."""

import base64
import hashlib
import json
import os
import re
import unittest

from harness import LoggedInPrograms

JSON = {"Content-Type": "application/json"}


class CrossSite(LoggedInPrograms):
    def post(self, p, path, body, headers=None, cookie=True):
        h = dict(headers or {})
        if cookie:
            h["Cookie"] = self.cookies[p.name]
        return p.request("POST", path, body if isinstance(body, bytes) else json.dumps(body), headers=h)

    def test_requests_from_other_sites_change_nothing(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                own = f"{'https' if p.tls else 'http'}://127.0.0.1:{p.port}"
                other_port = f"{'https' if p.tls else 'http'}://127.0.0.1:18999"
                refused = [
                    ({"Origin": other_port}, 403, "Cross-origin request refused"),
                    ({"Origin": "null"}, 403, "Cross-origin request refused"),
                    ({"Sec-Fetch-Site": "same-site"}, 403, "Cross-site request refused"),
                    ({"Sec-Fetch-Site": "cross-site", "Origin": own}, 403, "Cross-site request refused"),
                    ({"Content-Type": "text/plain;charset=UTF-8"}, 415, "Content-Type must be application/json"),
                    ({"Content-Type": "application/x-www-form-urlencoded"}, 415,
                     "Content-Type must be application/json"),
                ]
                for headers, status, error in refused:
                    r = self.post(p, "/api/mkdir", {"path": "", "name": "made"}, headers)
                    self.assertEqual((r.status, r.json()), (status, {"ok": False, "error": error}), headers)
                    r = self.post(p, "/upload?path=", b"--b\r\n\r\n--b--\r\n",
                                  {**headers, "Content-Type": "multipart/form-data; boundary=b"})
                    if status == 403:
                        self.assertEqual(r.status, 403, headers)
                self.assertFalse(os.path.exists(os.path.join(p.files, "made")))

                # Another site cannot spend the owner's login attempts.
                for _ in range(4):
                    r = self.post(p, "/api/login", {"code": "000000"}, {"Sec-Fetch-Site": "cross-site"}, cookie=False)
                    self.assertEqual(r.status, 403)
                self.assertFalse(any("failed login" in m for m in p.messages()))

                # The page's own requests, and those of scripts without these headers, go through.
                for headers in ({"Origin": own, "Sec-Fetch-Site": "same-origin", **JSON},
                                {"Origin": f"{own.upper()}", **JSON}, {}):
                    name = "made%d" % len(os.listdir(p.files))
                    r = self.post(p, "/api/mkdir", {"path": "", "name": name}, headers)
                    self.assertEqual(r.status, 200, headers)
                    self.assertTrue(os.path.isdir(os.path.join(p.files, name)))

    def test_share_links_by_post_and_by_the_old_get(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                with open(os.path.join(p.files, "s.txt"), "wb") as f:
                    f.write(b"s")
                r = self.post(p, "/api/share", {"path": "s.txt"}, JSON)
                self.assertEqual(r.status, 200)
                self.assertRegex(r.json()["path"], r"^/s/[0-9a-f]{64}$")
                r = self.post(p, "/api/share", {"path": "s.txt"}, {"Origin": "http://evil.example", **JSON})
                self.assertEqual(r.status, 403)
                r = p.request("GET", "/api/share?path=s.txt", headers={"Cookie": self.cookies[p.name]})
                self.assertEqual(r.status, 200)


def inline_hashes(body, element):
    texts = re.findall(rb"<%s>(.*?)</%s>" % (element, element), body, re.S)
    return ["'sha256-%s'" % base64.b64encode(hashlib.sha256(t).digest()).decode() for t in texts]


class PageHeaders(LoggedInPrograms):
    def test_pages_carry_their_policy(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                share = p.request("GET", "/api/share?path=", headers={"Cookie": self.cookies[p.name]})
                os.makedirs(os.path.join(p.files, "d"), exist_ok=True)
                link = p.request("GET", "/api/share?path=d", headers={"Cookie": self.cookies[p.name]}).json()["path"]
                for path, cookie in (("/", None), ("/", self.cookies[p.name]), (link, None)):
                    r = p.request("GET", path, headers={"Cookie": cookie} if cookie else {})
                    self.assertEqual(r.status, 200)
                    csp = r.header("Content-Security-Policy")
                    self.assertIn("frame-ancestors 'none'", csp)
                    self.assertIn("default-src 'self'", csp)
                    self.assertNotIn("unsafe-inline", csp)
                    script = re.search(r"script-src ([^;]*)", csp).group(1).split()
                    style = re.search(r"style-src ([^;]*)", csp).group(1).split()
                    self.assertEqual(script, inline_hashes(r.body, b"script"))
                    self.assertEqual(style, inline_hashes(r.body, b"style"))
                    self.assertNotRegex(r.body, rb"\son[a-z]+=")
                    self.assertEqual((r.header("X-Frame-Options"), r.header("Referrer-Policy"),
                                      r.header("X-Content-Type-Options")), ("DENY", "no-referrer", "nosniff"))
                self.assertEqual((share.header("X-Content-Type-Options"), share.header("Cache-Control")),
                                 ("nosniff", "no-store"))


if __name__ == "__main__":
    unittest.main()
