"""vantrel-http.exe under Wine refuses other host names and requests from
other sites, and sends its pages with their security policy."""

import json
import os
import socket
import unittest

import winharness as w


class WineWebSecurity(w.LoggedInHttp):
    def test_host_names_other_sites_and_page_headers(self):
        own = socket.gethostname().split(".")[0]
        for host, status in (("evil.example", 421), (f"127.0.0.1:{self.port}", 200), (own.upper(), 200),
                             (own + ".local", 200)):
            self.assertEqual(self.call("GET", "/", headers={"Host": host})[0], status, host)

        body = json.dumps({"path": "", "name": "made"}).encode()
        status, _, answer = self.call("POST", "/api/mkdir", body,
                                      {"Cookie": self.cookie, "Origin": "http://127.0.0.1:18999"})
        self.assertEqual((status, json.loads(answer)["error"]), (403, "Cross-origin request refused"))
        self.assertFalse(os.path.exists(os.path.join(self.files, "made")))
        status, headers, _ = self.call("POST", "/api/mkdir", body,
                                       {"Cookie": self.cookie, "Content-Type": "application/json"})
        self.assertEqual(status, 200)
        self.assertTrue(os.path.isdir(os.path.join(self.files, "made")))
        self.assertEqual((headers["x-content-type-options"], headers["cache-control"]), ("nosniff", "no-store"))

        status, headers, _ = self.call("GET", "/", headers={"Cookie": self.cookie})
        self.assertEqual(status, 200)
        self.assertIn("script-src 'sha256-", headers["content-security-policy"])
        self.assertEqual(headers["x-frame-options"], "DENY")


if __name__ == "__main__":
    unittest.main()
