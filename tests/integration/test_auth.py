"""Access control against both programs: the authentication gate, PIN login
at /api/login and /auto, the session cookie, the failed-login ban, and the
stored master PIN and web root."""

import http.client
import json
import os
import re
import unittest
import urllib.parse

from harness import FLAVOURS, Program, insecure_context

CODE_FORMS_REFUSED = [
    b'{"code":123456}',
    b'{"code":" 12345"}',
    b'{"code":"12345"}',
    b'{"code":"1234567"}',
    b'{"code":"12345a"}',
    b'{"pin":"123456"}',
    b"not json",
    b"",
]

HTTP_INVALID_PIN_PAGE = (b"<!doctype html><html><body style='font-family:Segoe UI,sans-serif;padding:22px;'>"
                         b"<h3>Invalid PIN</h3><div style='margin-top:10px;'><a href='/'>Back</a></div></body></html>")


def http_ban_page(seconds):
    return (b"<!doctype html><html><body style='font-family:Segoe UI,sans-serif;padding:22px;'>"
            b"<h3>Too many attempts</h3><div>IP blocked for %d seconds.</div>"
            b"<div style='margin-top:10px;'><a href='/'>Back</a></div></body></html>" % seconds)


def wrong_pin(p):
    return "000000" if p.run_pin() != "000000" and read_master(p) != "000000" else "999999"


def read_settings(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def read_master(p):
    m = re.search(r"^MasterPin6=(.*)$", read_settings(p.settings_path), re.M)
    return m.group(1) if m else None


def write_settings(home, text):
    folder = os.path.join(home, ".config/vantrel")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "settings"), "w", encoding="utf-8") as f:
        f.write(text)


class Flavoured(unittest.TestCase):
    """One running program per flavour, shared by the tests of the class."""

    @classmethod
    def setUpClass(cls):
        cls.programs = {name: Program(name).start() for name in FLAVOURS}

    @classmethod
    def tearDownClass(cls):
        for p in cls.programs.values():
            p.stop()
            p.cleanup()

    def each(self):
        for name, p in self.programs.items():
            with self.subTest(name):
                yield p


class Gate(Flavoured):
    def test_open_routes_answer_without_a_session(self):
        for p in self.each():
            r = p.request("GET", "/api/status")
            self.assertEqual((r.status, r.body), (200, b'{"running":true,"port":%d}' % p.port))
            r = p.request("GET", "/?x=1")
            self.assertEqual(r.status, 200)
            self.assertEqual(r.header("Content-Type"), "text/html; charset=utf-8")
            self.assertIsNone(r.header("Set-Cookie"))

    def test_401_without_a_session_and_404_with_one(self):
        for p in self.each():
            cookie = {"Cookie": p.login()}
            for method, path in [("GET", "/api/list"), ("GET", "/favicon.ico"), ("POST", "/"),
                                 ("POST", "/d/"), ("GET", "/API/STATUS"), ("GET", "/api/status/"),
                                 ("DELETE", "/auto"), ("POST", "/api/status")]:
                r = p.request(method, path)
                self.assertEqual((r.status, r.reason, r.body), (401, "Unauthorized", b"Unauthorized"), path)
                self.assertEqual(r.header("Content-Type"), "text/plain; charset=utf-8")
                if path != "/api/list":  # the listing has an endpoint of its own
                    r = p.request(method, path, headers=cookie)
                    self.assertEqual((r.status, r.reason, r.body), (404, "Not Found", b"Not Found"), path)

    def test_login_endpoint_with_another_method_is_404_either_way(self):
        for p in self.each():
            cookie = {"Cookie": p.login()}
            for method in ("GET", "PUT"):
                self.assertEqual(p.request(method, "/api/login").status, 404)
                self.assertEqual(p.request(method, "/api/login", headers=cookie).status, 404)

    def test_root_page_follows_the_session(self):
        for p in self.each():
            login_page = p.request("GET", "/").body
            cookie = p.login()
            manager_page = p.request("GET", "/", headers={"Cookie": cookie}).body
            self.assertNotEqual(login_page, manager_page)
            self.assertEqual(p.request("GET", "/", headers={"Cookie": cookie + "x"}).body, login_page)


class Cookies(Flavoured):
    def test_only_the_exact_cookie_name_authenticates(self):
        for p in self.each():
            token = p.login().split("=", 1)[1]
            name = p.cookie_name
            accepted = [f"{name}={token}", f"theme=dark; {name}={token}", f"; ;{name}={token}; x=1",
                        f"{name}={token}; {name}=other"]
            refused = [f" {name} ={token}", f"X{name}={token}", f"{name.lower()}={token}",
                       f"{name}={token} ", f"{name}=other; {name}={token}", f"{name}=",
                       ("AUTH" if name != "AUTH" else "VANTREL_PRO_AUTH") + "=" + token]
            for c in accepted:
                self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": c}).status, 404, c)
            for c in refused:
                self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": c}).status, 401, c)


class PinLogin(Flavoured):
    def test_run_pin_logs_in_with_the_session_cookie(self):
        for p in self.each():
            r = p.request("POST", "/api/login", json.dumps({"code": p.run_pin()}),
                          headers={"Content-Type": "application/json; charset=utf-8"})
            self.assertEqual((r.status, r.reason, r.body), (200, "OK", b'{"ok":true}'))
            self.assertEqual(r.header("Content-Type"), "application/json; charset=utf-8")
            attrs = "; Path=/; Max-Age=28800; SameSite=Lax" + ("; Secure" if p.tls else "") + "; HttpOnly"
            self.assertRegex(r.header("Set-Cookie"), "^" + p.cookie_name + "=[0-9a-f]{32}" + re.escape(attrs) + "$")
            label = "127.0.0.1" if p.tls else "::ffff:127.0.0.1"
            p.wait_for(f"AUTH    success from {label}:")
            self.assertRegex(p.wait_for("AUTH    success from"),
                             r"^AUTH    success from " + re.escape(label) + r":\d+ \(session issued\)$")

    def test_master_pin_logs_in_beside_the_run_pin(self):
        for p in self.each():
            master = read_master(p)
            self.assertRegex(master, r"^\d{6}$")
            if master != p.run_pin():
                p.login(master)
            self.assertNotIn(master, "\n".join(m for m in p.messages() if not m.startswith("AUTH    PIN=")))

    def test_wrong_code_is_401_and_logged(self):
        for p in self.each():
            r = p.request("POST", "/api/login", json.dumps({"code": wrong_pin(p)}))
            self.assertEqual((r.status, r.reason, r.body), (401, "Error", b'{"ok":false,"error":"Wrong code"}'))
            self.assertIsNone(r.header("Set-Cookie"))
            p.wait_for("AUTH    failed login from ")
            p.login()  # clears the count for the other tests

    def test_codes_of_the_wrong_form_are_400_and_never_counted(self):
        for p in self.each():
            before = len([m for m in p.messages() if "failed login" in m])
            for _ in range(2):
                for body in CODE_FORMS_REFUSED:
                    r = p.request("POST", "/api/login", body)
                    self.assertEqual((r.status, r.reason, r.body),
                                     (400, "Error", b'{"ok":false,"error":"Code must be 6 digits"}'), body)
            self.assertEqual(before, len([m for m in p.messages() if "failed login" in m]))
            for _ in range(2):  # two real failures still do not ban: the 400s did not count
                self.assertEqual(p.request("POST", "/api/login", json.dumps({"code": wrong_pin(p)})).status, 401)
            p.login()

    def test_auto_login_sets_the_cookie_and_redirects(self):
        for p in self.each():
            encoded = "".join("%%%02X" % ord(ch) for ch in p.run_pin())
            r = p.request("GET", "/auto?x=1&pin=" + encoded)
            self.assertEqual((r.status, r.reason), (200, "OK"))
            self.assertEqual(r.header("Content-Type"), "text/html; charset=utf-8")
            charset = b"<meta charset='utf-8'/>" if p.tls else b""
            self.assertEqual(r.body, b"<!doctype html><html><head>" + charset +
                             b"<meta http-equiv='refresh' content='0; url=/'/></head><body></body></html>")
            cookie = r.header("Set-Cookie").split(";")[0]
            self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": cookie}).status, 404)
            if p.tls:
                self.assertRegex(p.wait_for("AUTH    request FROM"), r"^AUTH    request FROM 127\.0\.0\.1:\d+$")
            else:
                self.assertFalse([m for m in p.messages() if "request FROM" in m])

    def test_auto_login_with_a_wrong_or_missing_pin(self):
        for p in self.each():
            for target in ("/auto?pin=", "/auto"):
                r = p.request("GET", target)
                self.assertEqual(r.status, 401)
                self.assertIsNone(r.header("Set-Cookie"))
                self.assertEqual(r.header("Content-Type"), "text/html; charset=utf-8")
                if p.tls:
                    self.assertEqual(r.reason, "Error")
                    self.assertIn(b"Invalid PIN.", r.body)
                    p.wait_for("AUTH    /auto wrong PIN from ::ffff:127.0.0.1")
                else:
                    self.assertEqual((r.reason, r.body), ("Unauthorized", HTTP_INVALID_PIN_PAGE))
                    p.wait_for("AUTO    invalid pin from ::ffff:127.0.0.1")
            p.login()


class Ban(unittest.TestCase):
    def test_mixed_endpoints_ban_and_what_the_ban_leaves_open(self):
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                host = "::ffff:127.0.0.1"
                cookie = p.login()
                bad = wrong_pin(p)
                self.assertEqual(p.request("POST", "/api/login", json.dumps({"code": bad})).status, 401)
                self.assertEqual(p.request("GET", "/auto?pin=" + bad).status, 401)
                r = p.request("GET", "/auto?pin=" + bad)
                self.assertEqual(r.status, 429)
                self.assertIsNone(r.header("Set-Cookie"))
                if p.tls:
                    self.assertEqual(r.reason, "Error")
                    self.assertIn(b"Too many attempts. IP blocked for 120 seconds.", r.body)
                    p.wait_for("AUTH  >>>>>>  ALERT <<<<<<< /auto failed 3x => IP banned 2 min: " + host)
                else:
                    self.assertEqual((r.reason, r.body), ("Too Many Requests", http_ban_page(120)))
                    p.wait_for("AUTO    >>>>>>  ALERT <<<<<<< failed 3x => IP banned 2 min: " + host)

                # The right PIN is refused too, with the seconds that remain.
                r = p.request("POST", "/api/login", json.dumps({"code": p.run_pin()}))
                self.assertEqual((r.status, r.reason), (429, "Error"))
                self.assertIsNone(r.header("Set-Cookie"))
                n = int(re.search(rb"blocked for (\d+) seconds", r.body).group(1))
                self.assertTrue(115 <= n <= 120, n)
                self.assertEqual(r.body, b'{"ok":false,"error":"Too many attempts. IP blocked for %d seconds."}' % n)
                p.wait_for(f"AUTH    blocked IP {host} ({n}s remaining)")
                r = p.request("GET", "/auto?pin=" + p.run_pin())
                self.assertEqual(r.status, 429)
                self.assertIsNone(r.header("Set-Cookie"))
                n = int(re.search(rb"blocked for (\d+) seconds", r.body).group(1))
                if p.tls:
                    self.assertEqual(r.reason, "Error")
                    self.assertIn(b"Too many attempts. IP blocked for %d seconds." % n, r.body)
                    p.wait_for(f"AUTH    /auto blocked IP {host} ({n}s remaining)")
                else:
                    self.assertEqual((r.reason, r.body), ("Too Many Requests", http_ban_page(n)))
                    p.wait_for(f"AUTO    blocked IP {host} ({n}s remaining)")
                # The ban is checked before the code's form.
                self.assertEqual(p.request("POST", "/api/login", b'{"code":1}').status, 429)

                # A session from before the ban keeps working; the status stays open.
                self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": cookie}).status, 404)
                self.assertNotEqual(p.request("GET", "/", headers={"Cookie": cookie}).body,
                                    p.request("GET", "/").body)
                self.assertEqual(p.request("GET", "/api/status").status, 200)
                # Another address is not banned.
                p.login(host="::1")


def from_address(p, source, method, target, body=None):
    """One request from the given loopback source address: (status, reason, body, cookie)."""
    tls = {"context": insecure_context()} if p.tls else {}
    conn = (http.client.HTTPSConnection if p.tls else http.client.HTTPConnection)(
        "127.0.0.1", p.port, timeout=10, source_address=(source, 0), **tls)
    try:
        conn.request(method, target, body=body)
        r = conn.getresponse()
        return r.status, r.reason, r.read(), r.getheader("Set-Cookie")
    finally:
        conn.close()


class ManyAddresses(unittest.TestCase):
    def test_failures_from_many_addresses_pause_logins_but_the_owner_gets_in(self):
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                bad, pin, owner = wrong_pin(p), p.run_pin(), "127.0.1.250"
                login = lambda a, code: from_address(p, a, "POST", "/api/login", json.dumps({"code": code}))
                auto = lambda a, code: from_address(p, a, "GET", "/auto?pin=" + code)

                def refused(answer):
                    self.assertEqual((answer[0], answer[3]), (429, None))
                    n = int(re.search(rb"Too many failed logins; try again in (\d+) s", answer[2]).group(1))
                    self.assertTrue(0 < n <= 30, n)
                    return answer

                # One wrong PIN from each of ten addresses: none is banned, and the budget is spent.
                attackers = ["127.0.0.%d" % i for i in range(2, 12)]
                self.assertEqual([(login if i % 2 else auto)(a, bad)[0] for i, a in enumerate(attackers)], [401] * 10)
                for a in attackers * 2:
                    self.assertRegex(refused(login(a, bad))[2],
                                     rb'^\{"ok":false,"error":"Too many failed logins; try again in \d+ s"\}$')
                # Not even the right PIN is looked at from an address that failed.
                _, reason, body, _ = refused(auto(attackers[3], pin))
                self.assertEqual(reason, "Error" if p.tls else "Too Many Requests")
                refused(login(attackers[4], pin))
                # The owner from a new address gets in; after that, new addresses get one
                # check in ten minutes, answered like the pause, and the owner's address still gets in.
                self.assertEqual(login(owner, pin)[:3], (200, "OK", b'{"ok":true}'))
                for i in range(20):
                    refused(login("127.0.2.%d" % (i + 1), bad))
                cookie = auto(owner, pin)[3].split(";")[0]
                self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": cookie}).status, 404)

                p.stop()
                msgs = p.messages()
                self.assertEqual([m for m in msgs if "paused" in m], ["AUTH    >>>>>>  ALERT <<<<<<<  10 failed "
                                                                     "logins within 10 min => all logins paused 30 s"])
                checked = [m for m in msgs if re.search("failed login from|wrong PIN from|invalid pin from", m)]
                self.assertEqual(len(checked), 11, checked)
                self.assertFalse([m for m in msgs if "blocked IP" in m or "banned" in m])


class StoredSettings(unittest.TestCase):
    def test_startup_lines_in_order(self):
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                msgs = p.messages()
                order = ["AUTH    Master PIN loaded (6 digits)", "APP     start", "PATH    files=" + p.files,
                         "AUTH    PIN=" + p.run_pin()]
                if p.tls:
                    order.append("TLS     cert=" + os.path.join(p.base, "server.crt"))
                else:
                    order.append("COOKIE  name=VANTREL_PRO_AUTH")
                positions = [msgs.index(m) for m in order]
                self.assertEqual(positions, sorted(positions), msgs)
                self.assertRegex(p.run_pin(), r"^\d{6}$")
                self.assertEqual(p.messages().count("AUTH    Master PIN loaded (6 digits)"), 1)

    def test_master_pin_of_the_wrong_form_is_replaced_and_written_back(self):
        for stored in ("12345", "12a456", "1234567", ""):
            with self.subTest(stored):
                p = Program("vantrel-http")
                write_settings(p.home, f"Other=kept\nMasterPin6={stored}\nLast=also kept\n")
                try:
                    p.start()
                    master = read_master(p)
                    self.assertRegex(master, r"^\d{6}$")
                    self.assertEqual(read_settings(p.settings_path),
                                     f"Other=kept\nMasterPin6={master}\nLast=also kept\n")
                    self.assertEqual(os.listdir(os.path.dirname(p.settings_path)), ["settings"])
                    p.login(master)
                finally:
                    p.stop()
                    p.cleanup()

    def test_leading_zero_master_pin_survives_restarts_unlike_sessions(self):
        p = Program("vantrel-https")
        write_settings(p.home, "MasterPin6=004217\n")
        try:
            p.start()
            cookie = p.login("004217")
            r = p.request("POST", "/api/login", b'{"code":"4217"}')
            self.assertEqual((r.status, r.body), (400, b'{"ok":false,"error":"Code must be 6 digits"}'))
            login_page = p.request("GET", "/").body
            old_pin = p.run_pin()
            p.stop()
            p.lines.clear()
            p.start()
            self.assertEqual(p.request("GET", "/", headers={"Cookie": cookie}).body, login_page)
            self.assertEqual(p.request("GET", "/favicon.ico", headers={"Cookie": cookie}).status, 401)
            p.login("004217")
            self.assertEqual(read_settings(p.settings_path), "MasterPin6=004217\n")
            self.assertRegex(p.run_pin(), r"^\d{6}$")
            if p.run_pin() != old_pin:
                r = p.request("POST", "/api/login", json.dumps({"code": old_pin}))
                self.assertEqual(r.status, 401)
        finally:
            p.stop()
            p.cleanup()

    def test_stored_web_root_serves_https_only_and_root_option_overrides(self):
        for name in FLAVOURS:
            with self.subTest(name):
                p = Program(name)
                stored = os.path.join(p.home, "stored root")
                write_settings(p.home, f"WebRootPath={stored}\n")
                try:
                    p.start()
                    expected = stored if p.tls else p.files
                    p.wait_for("PATH    files=" + expected)
                    self.assertTrue(os.path.isdir(expected))
                    p.stop()
                    override = os.path.join(p.home, "override")
                    p.args = ["--root", override]
                    p.lines.clear()
                    p.start()
                    p.wait_for("PATH    files=" + override)
                    self.assertIn(f"WebRootPath={stored}\n", read_settings(p.settings_path))
                finally:
                    p.stop()
                    p.cleanup()


if __name__ == "__main__":
    unittest.main()
