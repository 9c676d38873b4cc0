"""PIN login under Wine: the master PIN's registry round trip, and a login
over TLS against vantrel-https.exe."""

import json
import os
import re
import shutil
import subprocess
import time
import unittest

import winharness as w

KEY = r"HKCU\Software\Vantrel PRO"


def reg_add(name, value):
    # reg.exe now and then fails right after a killed program's exit while
    # Wine is still tidying up; a second try goes through.
    for attempt in range(5):
        r = subprocess.run(["wine", "reg", "add", KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f"],
                           capture_output=True, timeout=60)
        if r.returncode == 0:
            return
        time.sleep(1)
    raise AssertionError(f"wine reg add {name} failed: {r.stdout!r} {r.stderr!r}")


def reg_delete(name):
    subprocess.run(["wine", "reg", "delete", KEY, "/v", name, "/f"], capture_output=True, timeout=60)


def reg_query(name):
    r = subprocess.run(["wine", "reg", "query", KEY, "/v", name], capture_output=True, timeout=60)
    m = re.search(rb"%s\s+REG_SZ\s+(\S*)" % name.encode(), r.stdout)
    return m.group(1).decode() if m else None


def post_login(port, tls, code):
    conn = w.connection(port, tls)
    try:
        conn.request("POST", "/api/login", body=json.dumps({"code": code}))
        r = conn.getresponse()
        return r.status, r.getheader("Set-Cookie"), r.read()
    finally:
        conn.close()


def status_with_cookie(port, tls, path, cookie):
    conn = w.connection(port, tls)
    try:
        conn.request("GET", path, headers={"Cookie": cookie} if cookie else {})
        r = conn.getresponse()
        r.read()
        return r.status
    finally:
        conn.close()


class WineAuth(unittest.TestCase):
    def tearDown(self):
        reg_delete("WebRootPath")

    def test_five_digit_master_pin_is_replaced_and_logs_in(self):
        w.reset_base_folder()
        reg_add("MasterPin6", "12345")
        port = w.free_port()
        p = w.start("vantrel-http.exe", "--port", str(port))
        try:
            w.wait_until_serving(port)
            master = reg_query("MasterPin6")
            self.assertRegex(master, r"^\d{6}$")
            run = w.log_line("AUTH    PIN=")[len("AUTH    PIN="):]
            for pin in (master, run):
                status, cookie, body = post_login(port, False, pin)
                self.assertEqual((status, body), (200, b'{"ok":true}'))
                self.assertRegex(cookie, r"^VANTREL_PRO_AUTH=[0-9a-f]{32}; Path=/; Max-Age=28800; "
                                         r"SameSite=Lax; HttpOnly$")
            with open(os.path.join(w.base_folder(), "HTTP.log"), "rb") as f:
                log = f.read()
            self.assertLess(log.index(b"AUTH    Master PIN loaded (6 digits)"), log.index(b"APP     start"))
            self.assertLess(log.index(b"AUTH    PIN="), log.index(b"COOKIE  name=VANTREL_PRO_AUTH"))
            self.assertNotIn(master.encode(), log.replace(b"AUTH    PIN=" + run.encode(), b""))
        finally:
            w.stop(p)

    def test_tls_login_with_a_replaced_lettered_master_pin(self):
        w.reset_base_folder()
        reg_add("MasterPin6", "12a456")
        root = r"C:\vantrel-auth-web-root"
        reg_add("WebRootPath", root)
        root_on_disk = os.path.join(os.environ["WINEPREFIX"], "drive_c", "vantrel-auth-web-root")
        port = w.free_port()
        p = w.start("vantrel-https.exe", "--port", str(port))
        try:
            w.wait_until_serving(port, tls=True)
            master = reg_query("MasterPin6")
            self.assertRegex(master, r"^\d{6}$")
            self.assertTrue(os.path.isdir(root_on_disk))  # the stored web root was taken

            self.assertEqual(post_login(port, True, "12a456")[0], 400)
            status, cookie, body = post_login(port, True, master)
            self.assertEqual((status, body), (200, b'{"ok":true}'))
            self.assertRegex(cookie, r"^AUTH=[0-9a-f]{32}; Path=/; Max-Age=28800; SameSite=Lax; Secure; HttpOnly$")
            session = cookie.split(";")[0]
            self.assertEqual(status_with_cookie(port, True, "/favicon.ico", session), 404)
            self.assertEqual(status_with_cookie(port, True, "/favicon.ico", None), 401)
        finally:
            w.stop(p)
            shutil.rmtree(root_on_disk, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
