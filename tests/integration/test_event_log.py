"""What clients send reaches the event log only as one escaped, bounded line,
on stdout and in HTTP.log alike, and HTTP.log is the owner's alone."""

import json
import os
import stat
import unittest

from harness import STAMP, LoggedInPrograms

BOUNDARY = "----vantrelLogBoundary"
FORGED = "a\n2026-12-09 11:11:11.111  AUTH    Master PIN updated (registry)\x1b]0;title\x07\u2028end"
ESCAPED = "a\\x0a2026-12-09 11:11:11.111  AUTH    Master PIN updated (registry)\\x1b]0;title\\x07\\u2028end"
LONG_NAME = "\x1b[2J" + "n" * 5000


class ClientTextInTheLog(LoggedInPrograms):
    def test_forged_and_long_names_stay_single_escaped_cut_lines(self):
        for p in self.programs.values():
            with self.subTest(p.name):
                cookie = {"Cookie": self.cookies[p.name]}
                r = p.request("POST", "/api/mkdir", json.dumps({"path": "", "name": FORGED}), headers=cookie)
                self.assertEqual(r.status, 200)
                # A folder-share guest, who holds no PIN, names the upload.
                os.makedirs(os.path.join(p.files, "drop"))
                link = p.request("GET", "/api/share?path=drop", headers=cookie).json()["path"]
                body = (f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"files\"; "
                        f"filename=\"{LONG_NAME}\"\r\n\r\nx\r\n--{BOUNDARY}--\r\n").encode()
                p.request("POST", link + "/upload", body,
                          headers={"Content-Type": "multipart/form-data; boundary=" + BOUNDARY})

                p.wait_for("UPLOAD  ")
                p.stop()
                mkdir = "MKDIR   " + os.path.join(p.files, ESCAPED)
                upload = ("UPLOAD  " + os.path.join(p.files, "drop", "\\x1b[2J" + "n" * 5000))[:400] + "\u2026"
                with open(os.path.join(p.base, "HTTP.log"), "rb") as f:
                    file_lines = f.read().decode("utf-8").split("\r\n")
                self.assertEqual(file_lines.pop(), "")
                # The status block between the log lines on stdout has escape sequences of its own.
                stdout_lines = [l for l in p.lines if STAMP.match(l)]
                for lines in (stdout_lines, file_lines):
                    self.assertEqual([l[25:] for l in lines].count(mkdir), 1)
                    self.assertEqual([l[25:] for l in lines].count(upload), 1)
                    for line in lines:
                        self.assertTrue(STAMP.match(line) and not line.startswith("2026-12-09 11:11:11.111"), line)
                        self.assertFalse(set("\r\n\x1b\x07\u2028") & set(line), line)
                self.assertEqual(stat.S_IMODE(os.stat(os.path.join(p.base, "HTTP.log")).st_mode), 0o600)


if __name__ == "__main__":
    unittest.main()
