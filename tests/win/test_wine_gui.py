"""The desktop programs under Wine, driven from outside through gui_probe.exe
as a user and the shell would: the main window's controls in both views,
the master PIN box, the "Server" switch, the clipboard, the tray icon's
messages, menu and tip, minimising, a second instance, --autostart and
closing; the autostart box, the web-root picker, "Back" and the drive letter;
the log window.
Pictures of the windows go to build/windows/screenshots/ for people to look
at; nothing is asserted on pixels."""

import getpass
import http.client
import json
import os
import re
import threading
import time
import unittest

import guiprobe as g
import test_wine_drive as drive
import winharness as w

SS_LEFTNOWORDWRAP = 0xC
ES_MULTILINE, ES_PASSWORD, ES_AUTOHSCROLL, ES_READONLY = 0x4, 0x20, 0x80, 0x800
WS_VSCROLL = 0x200000
WS_EX_CLIENTEDGE = 0x200
BS_AUTOCHECKBOX = 0x3
CBS_DROPDOWNLIST = 0x3

RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"

ALWAYS, EXPANDED, AREA = "always", "expanded", "area"

# Every control in creation order: id, class, position and size at 96 DPI
# (None: the report box's width follows the client width), when it is shown.
CONTROLS = [
    (1001, "Button", (46, 148, 140, 32), EXPANDED),
    (1002, "Button", (586, 6, 82, 32), ALWAYS),
    (1003, "Button", (192, 148, 82, 32), EXPANDED),
    (1004, "Button", (496, 6, 82, 32), ALWAYS),
    (1102, "Static", (202, 52, 420, 20), ALWAYS),
    (1103, "Static", (202, 70, 160, 20), ALWAYS),
    (1104, "Static", (202, 88, 420, 20), ALWAYS),
    (1010, "Button", (196, 6, 140, 32), ALWAYS),
    (1112, "Static", (194, 188, 380, 20), AREA),
    (1013, "Button", (46, 184, 102, 26), AREA),
    (1014, "Button", (152, 184, 34, 26), AREA),
    (1110, "Static", (466, 156, 120, 20), EXPANDED),
    (1111, "Edit", (546, 154, 90, 24), EXPANDED),
    (1012, "Button", (346, 6, 82, 32), ALWAYS),
    (1201, "Edit", None, EXPANDED),
    (1011, "Button", (296, 154, 160, 24), EXPANDED),
    (1015, "ComboBox", (496, 50, 168, None), ALWAYS),
]
HTTPS_ONLY = {1112, 1013, 1014, 1015}
FIXED_TEXTS = {1001: "Server", 1002: "Status", 1003: "Logs", 1004: "Explorer", 1104: "Drive:   -",
               1010: "Copy URL+PIN", 1013: "Web Root...", 1014: "Back", 1110: "Master PIN:",
               1012: "Browser", 1011: "Windows Autostart", 1015: "(auto)"}


def windows_base():
    return "C:\\users\\%s\\AppData\\Local\\Vantrel" % getpass.getuser()


def log_messages():
    """Every entry of HTTP.log without its time stamp."""
    path = os.path.join(w.base_folder(), "HTTP.log")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return [line[25:] for line in f.read().decode("utf-8", "replace").split("\r\n") if line]


def entries(text):
    """The log box's lines without their time stamps."""
    return [line[25:] for line in text.split("\r\n") if line]


def wait_for_log(message, count=1, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        if log_messages().count(message) >= count:
            return
        time.sleep(0.1)
    raise AssertionError(f"'{message}' not logged {count}x; log: {log_messages()[-10:]}")


def login(port, tls, pin):
    conn = w.connection(port, tls)
    try:
        conn.request("POST", "/api/login", body=json.dumps({"code": pin}).encode())
        return conn.getresponse().status
    finally:
        conn.close()


def serving(port, tls):
    try:
        return w.get(port, "/api/status", tls)[0] == 200
    except OSError:
        return False


class DesktopProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        g.use_virtual_desktop("VantrelTest")
        cls.probe = g.Probe()

    @classmethod
    def tearDownClass(cls):
        cls.probe.close()
        g.use_virtual_desktop(None)

    def setUp(self):
        self.procs = []

    def tearDown(self):
        for p in self.procs:
            w.stop(p)
        # The next test must not find this one's window.
        self.probe.wait_for(lambda a: a is None, "find", "HTTPVantrel_Main")

    def start(self, exe, *args):
        p = w.start(exe, *args)
        self.procs.append(p)
        return p

    def shot(self, hwnd, name, probe=None):
        path = os.path.join(g.screenshot_dir(), name)
        bmp = path + ".bmp"
        time.sleep(0.3)  # lets the window finish painting after the last change
        if (probe or self.probe)("capture", hwnd, "Z:" + bmp.replace("/", "\\"))["ok"]:
            g.bmp_to_png(bmp, path + ".png")
            os.remove(bmp)

    def controls(self, hwnd):
        return self.probe.controls(hwnd)

    def press(self, hwnd, control_id):
        self.assertTrue(self.probe("click", self.controls(hwnd)[control_id]["hwnd"])["ok"])

    def text_of(self, hwnd, control_id):
        return self.controls(hwnd)[control_id]["text"]

    def wait_text(self, hwnd, control_id, check):
        end = time.time() + 30
        while time.time() < end:
            text = self.text_of(hwnd, control_id)
            if check(text):
                return text
            time.sleep(0.1)
        raise AssertionError(f"control {control_id} still reads {text!r}")

    def check_controls(self, hwnd, https, expanded, texts):
        """Ids, classes, texts, styles, positions and visibility against the tables."""
        window = self.probe("window", hwnd)
        self.assertEqual(window["rect"][3] - window["rect"][1], 520 if expanded else 180)
        self.assertEqual(window["rect"][2] - window["rect"][0], 694)
        controls = self.probe("controls", hwnd)
        expected = [c for c in CONTROLS if https or c[0] not in HTTPS_ONLY]
        self.assertEqual([c["id"] for c in controls], [c[0] for c in expected])
        for got, (cid, cls, rect, shown) in zip(controls, expected):
            with self.subTest(control=cid, expanded=expanded):
                self.assertEqual(got["class"], cls)
                if cid in texts:
                    self.assertEqual(got["text"], texts[cid])
                if rect is None:
                    rect = (40, 218, window["client"][0] - 50, 250) if https else (40, 190, window["client"][0] - 50, 240)
                self.assertEqual(got["rect"][:3], list(rect[:3]))
                if rect[3] is not None:
                    self.assertEqual(got["rect"][3], rect[3])
                self.assertEqual(got["visible"], shown != EXPANDED or expanded)
        by_id = {c["id"]: c for c in controls}
        for cid in (1102, 1103, 1104, 1110) + ((1112,) if https else ()):
            self.assertEqual(by_id[cid]["style"] & 0xF, SS_LEFTNOWORDWRAP)
        pin_box = by_id[1111]
        self.assertEqual(pin_box["style"] & (ES_PASSWORD | ES_AUTOHSCROLL), ES_PASSWORD | ES_AUTOHSCROLL)
        self.assertTrue(pin_box["exstyle"] & WS_EX_CLIENTEDGE)
        self.assertEqual(pin_box["limit"], 6)
        report = by_id[1201]["style"]
        self.assertEqual(report & (WS_VSCROLL | ES_MULTILINE | ES_READONLY), WS_VSCROLL | ES_MULTILINE | ES_READONLY)
        self.assertEqual(by_id[1011]["style"] & 0xF, BS_AUTOCHECKBOX)
        if https:
            combo = by_id[1015]
            # The combo box hands its scroll bar on to its list.
            self.assertEqual(combo["style"] & 0xF, CBS_DROPDOWNLIST)
            self.assertEqual(combo["droppedWidth"], 130)
            self.assertEqual(combo["rect"][3] + combo["droppedHeight"], 200)
            self.assertEqual(combo["selected"], 0)

    def tray(self, hwnd, mouse_message):
        self.probe("post", hwnd, g.WM_TRAY_CALLBACK, 0, mouse_message)

    def tray_menu_keys(self, hwnd, *keys):
        """Opens the tray menu as a right click on the icon does and types keys into it."""
        self.tray(hwnd, g.WM_RBUTTONUP)
        menu = self.probe.wait_for(lambda a: a, "visible", "#32768")[0]["hwnd"]
        for key in keys:
            self.probe("post", menu, g.WM_KEYDOWN, key, 0)
        self.probe.wait_for(lambda a: a == [], "visible", "#32768")

    def run_program(self, exe, https):
        name = exe[:-4]
        w.reset_base_folder()
        port = w.free_port()
        proc = self.start(exe, "--port", str(port))
        hwnd = self.probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_Main", timeout=60)["hwnd"]
        w.wait_until_serving(port, https)
        title = "HTTPS Vantrel PRO" if https else "HTTP Vantrel PRO"
        self.assertEqual(self.probe("window", hwnd)["title"], title)

        # Collapsed view with the start-up texts.
        run_pin = w.log_line("AUTH    PIN=")[len("AUTH    PIN="):]
        master = self.probe("registry", "Software\\Vantrel PRO", "MasterPin6")
        self.assertRegex(master, r"^\d{6}$")
        scheme = "https" if https else "http"
        url_line = self.wait_text(hwnd, 1102, lambda t: t != "URL:     -")
        host = re.fullmatch(r"URL:     %s://([0-9.]+|localhost):%d/" % (scheme, port), url_line).group(1)
        files = windows_base() + "\\files"
        texts = dict(FIXED_TEXTS)
        texts.update({1102: url_line, 1103: "PIN:      " + run_pin, 1112: files, 1111: master})
        self.check_controls(hwnd, https, False, texts)
        self.shot(hwnd, name + "-collapsed")

        # "Status": the expanded view and its report.
        self.press(hwnd, 1002)
        self.check_controls(hwnd, https, True, texts)
        report = self.text_of(hwnd, 1201).split("\r\n")
        admin_port = 443 if https else 80
        head = ["State:                  running", "IP:                      " + host,
                "Port:                   %d" % port,
                "Admin:               yes (port %d - No drive possible!)" % admin_port]
        if https:
            head += ["TLS:                    enabled", "   Cert:                " + windows_base() + "\\server.crt",
                     "   Key:                 " + windows_base() + "\\server.key",
                     "WEB Root:          " + files, "WEB Root (D):     " + files]
        else:
            head += ["WEB Root:          " + files]
        self.assertEqual(report[:len(head) + 1], head + [""])
        self.assertIn("Version:              2.0", report)
        self.assertIn("IPv4 Addresses:", report)
        self.shot(hwnd, name + "-expanded")

        # The master PIN box: letters go at once, the caret stays at the end;
        # six new digits are stored and work for logins; the same again, like
        # the program's own filling at start-up, changes nothing.
        updated = "AUTH    Master PIN updated (registry)"
        self.assertNotIn(updated, log_messages())
        box = self.controls(hwnd)[1111]["hwnd"]
        self.probe("settext", box, "12")
        self.probe("chars", box, "a")
        self.assertEqual(self.probe("text", box), "12")
        self.assertEqual(self.probe("selection", box), [2, 2])
        new_pin = "%06d" % ((int(master) + 1) % 1000000)
        self.probe("settext", box, "")
        self.probe("chars", box, new_pin)
        wait_for_log(updated)
        self.assertEqual(self.probe("registry", "Software\\Vantrel PRO", "MasterPin6"), new_pin)
        self.assertEqual(login(port, https, new_pin), 200)
        self.probe("settext", box, "")
        self.probe("chars", box, new_pin)
        self.assertEqual(log_messages().count(updated), 1)

        # "Copy URL+PIN" while running, also while another program holds the
        # clipboard for a moment; a left click on the tray icon and the tray
        # menu's first item copy the same.
        auto_url = "%s://%s:%d/auto?pin=%s" % (scheme, host, port, run_pin)
        self.probe("setclipboard", "before")
        self.press(hwnd, 1010)
        self.assertEqual(self.probe("clipboard"), auto_url)
        self.probe("setclipboard", "before")
        self.assertTrue(self.probe("busyclipboard", hwnd, 1010, 50)["ok"])
        self.probe.wait_for(lambda a: a == auto_url, "clipboard")
        self.probe("setclipboard", "before")
        self.tray(hwnd, g.WM_LBUTTONUP)
        self.probe.wait_for(lambda a: a == auto_url, "clipboard")
        self.probe("setclipboard", "before")
        self.tray_menu_keys(hwnd, g.VK_DOWN, g.VK_RETURN)
        self.probe.wait_for(lambda a: a == auto_url, "clipboard")

        # "Server" stops: URL line, state bar and report follow; nothing is
        # copied, and the tray menu's greyed first item does nothing.
        self.press(hwnd, 1001)
        self.assertEqual(self.wait_text(hwnd, 1102, lambda t: t == "URL:     -"), "URL:     -")
        report = self.text_of(hwnd, 1201).split("\r\n")
        self.assertEqual(report[0], "State:                  stopped")
        self.assertEqual(report[2], "Port:                   -")
        self.assertFalse(serving(port, https))
        self.probe("setclipboard", "before")
        self.press(hwnd, 1010)
        self.tray(hwnd, g.WM_LBUTTONUP)
        self.tray_menu_keys(hwnd, g.VK_DOWN, g.VK_RETURN)
        self.probe("send", hwnd, g.WM_NULL, 0, 0)
        self.assertEqual(self.probe("clipboard"), "before")
        self.shot(hwnd, name + "-stopped")

        # ... and starts again.
        self.press(hwnd, 1001)
        self.assertEqual(self.wait_text(hwnd, 1102, lambda t: t != "URL:     -"), url_line)
        self.assertEqual(self.text_of(hwnd, 1201).split("\r\n")[0], "State:                  running")
        w.wait_until_serving(port, https)

        # Minimising hides the window; a double click on the tray icon brings it back.
        self.probe("post", hwnd, g.WM_SYSCOMMAND, g.SC_MINIMIZE, 0)
        self.probe.wait_for(lambda a: not a["visible"], "window", hwnd)
        self.tray(hwnd, g.WM_LBUTTONDBLCLK)
        self.probe.wait_for(lambda a: a["visible"] and not a["iconic"], "window", hwnd)

        # A second instance shows its notice, which closes by itself, and leaves.
        starts = log_messages().count("APP     start")
        second = self.start(exe, "--port", str(w.free_port()))
        notice = self.probe.wait_for(lambda a: a, "find", "#32770", "HTTPS Vantrel")
        self.assertIn("The application HTTP(S) Vantrel PRO is already running.\r\n\r\n"
                      "Please close one of the applications.\r\n",
                      [c["text"] for c in self.probe("controls", notice["hwnd"])])
        self.assertEqual(second.wait(timeout=30), 0)
        self.assertEqual(log_messages().count("APP     start"), starts)

        # The close button ends the program.
        self.probe("post", hwnd, g.WM_CLOSE, 0, 0)
        self.assertEqual(proc.wait(timeout=30), 0)
        self.assertEqual(log_messages()[-1], "APP     exit")

        # --autostart anywhere in the command line: hidden, in the tray, serving;
        # "Close" in the tray menu ends it.
        port = w.free_port()
        proc = self.start(exe, "--port", str(port), "--autostart")
        hwnd = self.probe.wait_for(lambda a: a, "find", "HTTPVantrel_Main", timeout=60)["hwnd"]
        w.wait_until_serving(port, https)
        self.assertFalse(self.probe("window", hwnd)["visible"])
        self.tray_menu_keys(hwnd, g.VK_UP, g.VK_RETURN)
        self.assertEqual(proc.wait(timeout=30), 0)
        self.assertEqual(log_messages().count("APP     exit"), 2)

    def test_https(self):
        self.run_program("vantrel-https.exe", True)

    def test_http(self):
        self.run_program("vantrel-http.exe", False)

    def test_https_web_root_autostart_and_drive(self):
        """As a standard user, so that the web root has a drive letter: the
        autostart box against the Run value, "Web Root..." through the shell's
        folder picker while serving, "Back", and the letter's removal at exit."""
        w.reset_base_folder()
        self.addCleanup(self.forget_web_root_and_letters)
        self.forget_web_root_and_letters()
        exe = os.path.realpath(os.path.join(w.BIN, "vantrel-https.exe"))
        run_value = '"Z:%s" --autostart' % exe.replace("/", "\\")
        self.probe("setregistry", RUN_KEY, "Vantrel PRO", run_value)
        port = w.free_port()
        os.environ["VANTREL_AS_STANDARD_USER"] = "1"
        try:
            proc = self.start("vantrel-https.exe", "--port", str(port))
        finally:
            del os.environ["VANTREL_AS_STANDARD_USER"]
        hwnd = self.probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_Main", timeout=60)["hwnd"]
        w.wait_until_serving(port, True)
        files = windows_base() + "\\files"
        letter = w.log_line("DRIVE   mounted ")[len("DRIVE   mounted "):][:2]
        self.assertEqual(self.text_of(hwnd, 1104), "Drive:   " + letter[0])
        self.assertEqual(drive.target_of(letter), "\\??\\" + files)
        # Minimised once, so that the tray icon and its tip exist.
        self.probe("post", hwnd, g.WM_SYSCOMMAND, g.SC_MINIMIZE, 0)
        self.probe.wait_for(lambda a: not a["visible"], "window", hwnd)
        self.tray(hwnd, g.WM_LBUTTONDBLCLK)
        self.probe.wait_for(lambda a: a["visible"] and not a["iconic"], "window", hwnd)
        self.assertTrue(self.tray_tip(port).endswith("\r\nDrive:          " + letter))

        # The box starts from the stored entry; each click writes or removes
        # it; removing an entry that is not there succeeds as well.
        self.press(hwnd, 1002)
        self.assertEqual(self.controls(hwnd)[1011]["checked"], 1)
        self.press(hwnd, 1011)
        self.assertIsNone(self.probe("registry", RUN_KEY, "Vantrel PRO"))
        self.press(hwnd, 1011)
        self.assertEqual(self.probe("registry", RUN_KEY, "Vantrel PRO"), run_value)
        self.probe("delregistry", RUN_KEY, "Vantrel PRO")
        self.press(hwnd, 1011)
        self.assertEqual(self.controls(hwnd)[1011]["checked"], 0)
        self.assertEqual([m for m in log_messages() if m.startswith("AUTOSTART")],
                         ["AUTOSTART disabled", "AUTOSTART enabled", "AUTOSTART disabled"])

        # A share link made before the change.
        with open(os.path.join(w.base_folder(), "files", "a.txt"), "w") as f:
            f.write("a")
        conn = w.connection(port, True)
        conn.request("POST", "/api/login", body=json.dumps({"code": w.log_line("AUTH    PIN=")[12:]}).encode())
        cookie = conn.getresponse().getheader("Set-Cookie").split(";")[0]
        conn.close()
        conn = w.connection(port, True)
        conn.request("GET", "/api/share?path=a.txt", headers={"Cookie": cookie})
        link = json.loads(conn.getresponse().read())["path"]
        conn.close()
        self.assertEqual(w.get(port, link, True)[0], 200)

        # The picker: cancelled, nothing changes; a folder chosen, the server
        # stops, the letter goes, the change is stored and logged, the letter
        # comes back for the new folder and the server starts again.
        os.makedirs(os.path.join(w.base_folder(), "other"))
        other = windows_base() + "\\other"
        before = len(log_messages())
        picker = self.open_picker(hwnd)
        self.probe("click", picker[2])
        self.probe.wait_for(lambda a: a is None, "find", "#32770", "Select Web Root Folder")
        self.probe("send", hwnd, g.WM_NULL, 0, 0)
        self.assertEqual(len(log_messages()), before)
        picker = self.open_picker(hwnd)
        self.probe("settext", picker[1152], other)
        self.probe("click", picker[1])
        wait_for_log("SERVER  listening (HTTPS) on port %d" % port, count=2)
        self.assertEqual(log_messages()[before:], [
            "SERVER  stopping", "DRIVE   unmounted " + letter,
            "WEBROOT changed to: " + other + " (share links cleared)",
            "DRIVE   mounted %s -> %s" % (letter, other),
            "SERVER  listening (HTTPS) on port %d" % port])
        self.assertEqual(self.probe("registry", "Software\\Vantrel PRO", "WebRootPath"), other)
        self.assertEqual(self.text_of(hwnd, 1112), other)
        self.assertEqual(self.text_of(hwnd, 1104), "Drive:   " + letter[0])
        self.assertEqual(drive.target_of(letter), "\\??\\" + other)
        w.wait_until_serving(port, True)
        self.assertEqual(w.get(port, link, True)[0], 410)  # a link the server no longer knows

        # Someone else takes the letter over meanwhile (Wine replaces a
        # definition where Windows would stack it on ours). "Back" stores the
        # default folder explicitly, leaves their definition and maps the next
        # free letter; the drive line follows.
        self.take_over(letter, other)
        before = len(log_messages())
        self.press(hwnd, 1014)
        wait_for_log("SERVER  listening (HTTPS) on port %d" % port, count=3)
        moved = log_messages()[before + 3][len("DRIVE   mounted "):][:2]
        self.assertNotEqual(moved, letter)
        self.assertEqual(log_messages()[before:], [
            "SERVER  stopping", "DRIVE   unmount failed for %s (err=2)" % letter,
            "WEBROOT changed to: " + files + " (share links cleared)",
            "DRIVE   mounted %s -> %s" % (moved, files),
            "SERVER  listening (HTTPS) on port %d" % port])
        self.assertEqual(self.probe("registry", "Software\\Vantrel PRO", "WebRootPath"), files)
        self.assertEqual(self.text_of(hwnd, 1112), files)
        self.assertEqual(self.text_of(hwnd, 1104), "Drive:   " + moved[0])
        self.assertEqual(drive.target_of(moved), "\\??\\" + files)
        self.assertTrue(self.tray_tip(port).endswith("\r\nDrive:          " + moved))
        self.assertEqual(drive.target_of(letter), drive.OTHER)

        # The same at the orderly exit.
        self.take_over(moved, files)
        self.probe("post", hwnd, g.WM_CLOSE, 0, 0)
        self.assertEqual(proc.wait(timeout=30), 0)
        self.assertEqual(drive.target_of(moved), drive.OTHER)
        self.assertEqual(log_messages()[-2:], ["DRIVE   unmount failed for %s (err=2)" % moved, "APP     exit"])

    def tray_tip(self, port):
        """The tip of the program serving on port; Wine keeps the tips of
        icons whose programs were killed."""
        tips = [t for t in self.probe("tooltips") if t.startswith("Vantrel PRO\r\n") and ":%d\r\n" % port in t]
        self.assertEqual(len(tips), 1, tips)
        return tips[0]

    def take_over(self, letter, folder):
        """Replaces the program's definition of letter by someone else's."""
        self.assertEqual(drive.probe("remove", letter, "\\??\\" + folder)[0], 0)
        self.assertEqual(drive.probe("define", letter, drive.OTHER)[0], 0)
        self.addCleanup(drive.probe, "remove", letter, drive.OTHER)

    def test_http_log_window(self):
        """The log window: earlier entries, live entries from connection
        threads, "Clear Logs", hiding, and a main window that keeps answering
        while a burst of requests logs thousands of entries."""
        w.reset_base_folder()
        port = w.free_port()
        proc = self.start("vantrel-http.exe", "--port", str(port))
        hwnd = self.probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_Main", timeout=60)["hwnd"]
        w.wait_until_serving(port)
        with open(os.path.join(w.base_folder(), "files", "a.txt"), "w") as f:
            f.write("a")
        pin = w.log_line("AUTH    PIN=")[len("AUTH    PIN="):]
        conn = w.connection(port, False)
        conn.request("POST", "/api/login", body=json.dumps({"code": pin}).encode())
        cookie = conn.getresponse().getheader("Set-Cookie").split(";")[0]
        conn.close()
        wrong = next(p for p in ("111111", "222222", "333333") if p not in (pin, self.master_pin()))

        self.probe("post", hwnd, g.WM_COMMAND, 1003, 0)
        log = self.probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_LogWin")
        self.assertEqual(log["title"], "HTTP.log (last 500 entries)")
        self.assertEqual([log["rect"][2] - log["rect"][0], log["rect"][3] - log["rect"][1]], [820, 430])
        controls = self.probe("controls", log["hwnd"])
        self.assertEqual([(c["id"], c["class"], c["text"], c["rect"]) for c in controls][:1],
                         [(2001, "Button", "Clear Logs", [10, 10, 110, 28])])
        box = controls[1]
        self.assertEqual((box["id"], box["class"], box["rect"]), (2002, "Edit", [10, 48, 780, 320]))
        self.assertEqual(box["style"] & (WS_VSCROLL | ES_MULTILINE | ES_READONLY), WS_VSCROLL | ES_MULTILINE | ES_READONLY)
        self.assertTrue(box["exstyle"] & WS_EX_CLIENTEDGE)
        shown = lambda: entries(self.probe("text", box["hwnd"]))
        self.assertEqual(shown(), log_messages())
        self.shot(log["hwnd"], "vantrel-http-log")

        # A connection thread's entry arrives by the posted message alone.
        self.assertEqual(login(port, False, wrong), 401)
        self.probe.wait_for(lambda a: entries(a)[-1].startswith("AUTH    failed login"), "text", box["hwnd"])

        # A burst of logged downloads: the window keeps answering, and the
        # box ends on the last entry. A ping counts as answered when one of
        # three tries gets through within a second each, so that a moment
        # without CPU on a busy machine is not mistaken for a flooded queue.
        done = threading.Event()
        errors = []

        def download(count):
            try:
                for _ in range(count):
                    c = w.connection(port, False, timeout=60)
                    c.request("GET", "/download?path=a.txt", headers={"Cookie": cookie})
                    c.getresponse().read()
                    c.close()
            except (OSError, http.client.HTTPException) as e:
                errors.append(e)

        clients = [threading.Thread(target=download, args=(2500,)) for _ in range(8)]
        for t in clients:
            t.start()
        unanswered = 0
        while any(t.is_alive() for t in clients):
            if not any(self.probe("ping", hwnd, 1000)["ok"] for _ in range(3)):
                unanswered += 1
            time.sleep(0.2)
        for t in clients:
            t.join()
        self.assertEqual(errors, [])
        self.assertEqual(unanswered, 0)
        self.assertEqual(log_messages().count("DL      C:\\users\\%s\\AppData\\Local\\Vantrel\\files\\a.txt"
                                              % getpass.getuser()), 20000)
        self.probe.wait_for(lambda a: entries(a) == log_messages()[-500:], "text", box["hwnd"])

        # A refresh per entry would also bury the posts that follow (closing
        # the window below) behind thousands of queued refreshes.

        # "Clear Logs" leaves just its own entry.
        self.probe("click", controls[0]["hwnd"])
        # Its own entry reaches the box by a posted message, like any other.
        self.probe.wait_for(lambda a: entries(a) == ["LOG     cleared"], "text", box["hwnd"])
        self.assertEqual(shown(), ["LOG     cleared"])
        self.assertEqual(log_messages(), ["LOG     cleared"])

        # Closing hides it; entries made meanwhile are there when it is shown again.
        self.probe("post", log["hwnd"], g.WM_CLOSE, 0, 0)
        self.probe.wait_for(lambda a: a and not a["visible"], "window", log["hwnd"])
        self.assertEqual(login(port, False, wrong), 401)
        self.probe("post", hwnd, g.WM_COMMAND, 1003, 0)
        self.probe.wait_for(lambda a: a["visible"], "window", log["hwnd"])
        self.probe.wait_for(lambda a: len(entries(a)) == 2 and entries(a)[1].startswith("AUTH    failed login"),
                            "text", box["hwnd"])

        self.probe("post", hwnd, g.WM_CLOSE, 0, 0)
        self.assertEqual(proc.wait(timeout=30), 0)

    def master_pin(self):
        return self.probe("registry", "Software\\Vantrel PRO", "MasterPin6")

    def forget_web_root_and_letters(self):
        self.probe("delregistry", "Software\\Vantrel PRO", "WebRootPath")
        self.probe("delregistry", RUN_KEY, "Vantrel PRO")
        for letter in drive.CANDIDATES:
            target = drive.target_of(letter)
            if target and "\\Vantrel\\" in target:
                drive.probe("remove", letter, target)

    def open_picker(self, hwnd):
        """Presses "Web Root..." and waits for the picker; its controls by id."""
        self.probe("post", hwnd, g.WM_COMMAND, 1013, 0)
        picker = self.probe.wait_for(lambda a: a, "find", "#32770", "Select Web Root Folder")
        controls = self.probe("descendants", picker["hwnd"])
        return {c["id"]: c["hwnd"] for c in controls if c["visible"] and c["class"] in ("Button", "Edit")}

    def test_https_at_150_percent(self):
        """Every figure scaled by 1.5, for pictures of a high-DPI screen."""
        g.use_virtual_desktop("VantrelTest144", dpi=144)
        probe = g.Probe()
        try:
            port = w.free_port()
            proc = self.start("vantrel-https.exe", "--port", str(port))
            hwnd = probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_Main", timeout=60)["hwnd"]
            w.wait_until_serving(port, True)
            window = probe("window", hwnd)
            self.assertEqual(window["dpi"], 144)
            self.assertEqual(window["rect"][2] - window["rect"][0], 1041)
            self.assertEqual(window["rect"][3] - window["rect"][1], 270)
            self.assertEqual(probe.controls(hwnd)[1002]["rect"], [879, 9, 123, 48])
            self.shot(hwnd, "vantrel-https-144dpi-collapsed", probe)
            probe("click", probe.controls(hwnd)[1002]["hwnd"])
            probe.wait_for(lambda a: a["rect"][3] - a["rect"][1] == 780, "window", hwnd)
            self.assertEqual(probe.controls(hwnd)[1201]["rect"][:2], [60, 327])
            self.shot(hwnd, "vantrel-https-144dpi-expanded", probe)
            probe("post", hwnd, g.WM_COMMAND, 1003, 0)
            log = probe.wait_for(lambda a: a and a["visible"], "find", "HTTPVantrel_LogWin")
            self.assertEqual([log["rect"][2] - log["rect"][0], log["rect"][3] - log["rect"][1]], [1230, 645])
            self.assertEqual([c["rect"] for c in probe("controls", log["hwnd"])], [[15, 15, 165, 42], [15, 72, 1170, 480]])
            self.shot(log["hwnd"], "vantrel-https-144dpi-log", probe)
            probe("post", hwnd, g.WM_CLOSE, 0, 0)
            self.assertEqual(proc.wait(timeout=30), 0)
        finally:
            probe.close()
            g.use_virtual_desktop("VantrelTest")


if __name__ == "__main__":
    unittest.main()
