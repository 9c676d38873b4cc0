"""The console status block: URL with this machine's LAN address, PIN, drive
line, a QR code that a decoder reads back as the auto-login URL, and the
status report. Only loopback is ever contacted; the LAN address is read."""

import fcntl
import os
import pty
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import unittest

from harness import BIN, Program, free_port

GLYPHS = {" ": (0, 0), "\u2580": (1, 0), "\u2584": (0, 1), "\u2588": (1, 1)}
ANSI = re.compile(r"\x1b\[[0-9;]*m")
SIOCGIFADDR = 0x8915


def interface_ipv4(name):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        res = fcntl.ioctl(s.fileno(), SIOCGIFADDR, struct.pack("256s", name.encode()[:15]))
    except OSError:
        return None
    finally:
        s.close()
    addr = socket.inet_ntoa(res[20:24])
    return None if addr.startswith("169.254.") or addr == "0.0.0.0" else addr


def default_route_addresses():
    """Addresses of the adapters behind IPv4 default routes, lowest metric first."""
    routes = []
    with open("/proc/net/route") as f:
        next(f)
        for line in f:
            fields = line.split()
            if len(fields) < 8 or not int(fields[3], 16) & 1:
                continue
            if fields[1] == "00000000" and fields[7] == "00000000":
                routes.append((int(fields[6]), fields[0]))
    routes.sort(key=lambda r: r[0])
    return [a for a in (interface_ipv4(name) for _, name in routes) if a]


def qr_modules(lines):
    """The module rows of the longest run of half-block lines."""
    best, run = [], []
    for raw in lines + [""]:
        line = ANSI.sub("", raw)
        if line and set(line) <= set(GLYPHS) and (not run or len(line) == len(run[0])):
            run.append(line)
            continue
        if len(run) > len(best):
            best = run
        run = [line] if line and set(line) <= set(GLYPHS) else []
    rows = []
    for line in best:
        rows.append([GLYPHS[c][0] for c in line])
        rows.append([GLYPHS[c][1] for c in line])
    return rows


def decode_qr(rows, workdir, scale=4):
    h, w = len(rows) * scale, len(rows[0]) * scale
    data = bytes(0 if rows[y // scale][x // scale] else 255 for y in range(h) for x in range(w))
    path = os.path.join(workdir, "qr.pgm")
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (w, h) + data)
    r = subprocess.run(["zbarimg", "--raw", "-q", path], capture_output=True, timeout=30)
    return r.stdout.decode().strip()


def value_after(lines, label):
    for l in lines:
        if l.startswith(label):
            return l[len(label):]
    raise AssertionError(f"no line starting with {label!r} in {lines}")


class StatusBlock(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vantrel-qr-")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def block_of(self, p):
        """The status block, printed once the server listens."""
        end = time.time() + 15
        with p._cond:
            while "IPv6 Addresses:" not in p.lines:
                self.assertLess(time.time(), end, p.lines)
                p._cond.wait(0.2)
            lines = list(p.lines)
        listening = next(i for i, l in enumerate(lines) if "SERVER  listening" in l)
        title = "HTTPS Vantrel PRO" if p.tls else "HTTP Vantrel PRO"
        self.assertGreater(lines.index(title), listening)
        return lines[lines.index(title):]

    def test_https_block_names_the_lan_address_and_its_qr_code_logs_in(self):
        candidates = default_route_addresses()
        with Program("vantrel-https") as p:
            block = self.block_of(p)
            host = value_after(block, "URL:     https://").split(":")[0]
            if candidates:
                self.assertIn(host, candidates)
                self.assertNotEqual(host, "localhost")
            else:
                self.assertEqual(host, "localhost")
            pin = p.wait_for("AUTH    PIN=")[len("AUTH    PIN="):]
            self.assertEqual(block[1:4], [f"URL:     https://{host}:{p.port}/", "PIN:      " + pin, "Drive:   -"])
            url = f"https://{host}:{p.port}/auto?pin={pin}"
            self.assertEqual(decode_qr(qr_modules(block), self.tmp), url)
            self.assertIn("State:                  running", block)
            self.assertIn(f"Port:                   {p.port}", block)
            self.assertIn(f"IP:                      {host}", block)
            self.assertIn("TLS:                    enabled", block)

            msgs = p.messages()
            if candidates:
                net = msgs.index("NET     cached-ip=" + host)
                self.assertGreater(net, msgs.index("TLS     key =" + os.path.join(p.base, "server.key")))
                self.assertLess(net, msgs.index(f"TLS     generating cert/key (SAN IP={host})"))
            san = subprocess.run(["openssl", "x509", "-noout", "-ext", "subjectAltName", "-in",
                                  os.path.join(p.base, "server.crt")], capture_output=True, text=True).stdout
            self.assertIn("IP Address:" + (host if candidates else "127.0.0.1"), san)

    def test_http_takes_the_lowest_metric_default_route(self):
        candidates = default_route_addresses()
        with Program("vantrel-http") as p:
            block = self.block_of(p)
            host = candidates[0] if candidates else "localhost"
            pin = p.wait_for("AUTH    PIN=")[len("AUTH    PIN="):]
            self.assertEqual(block[1], f"URL:     http://{host}:{p.port}/")
            self.assertEqual(decode_qr(qr_modules(block), self.tmp), f"http://{host}:{p.port}/auto?pin={pin}")
            self.assertFalse(any(l.startswith("TLS:") or l.startswith("WEB Root (D):") for l in block))
            self.assertFalse(any("\x1b" in l for l in block))  # no colours into a pipe

    def test_terminal_gets_a_qr_code_painted_dark_on_light(self):
        home = os.path.join(self.tmp, "home")
        os.mkdir(home)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=home, TERM="xterm-256color")
        port = free_port()
        master, slave = pty.openpty()
        proc = subprocess.Popen([os.path.join(BIN, "vantrel-http"), "--port", str(port)], env=env,
                                stdin=subprocess.DEVNULL, stdout=slave, stderr=subprocess.DEVNULL)
        os.close(slave)
        out = b""
        try:
            end = time.time() + 15
            while b"IPv6 Addresses:" not in out and time.time() < end:
                if select.select([master], [], [], 0.2)[0]:
                    try:
                        out += os.read(master, 65536)
                    except OSError:
                        break
            time.sleep(0.3)
            while select.select([master], [], [], 0.2)[0]:
                out += os.read(master, 65536)
        finally:
            proc.send_signal(signal.SIGTERM)
            self.assertEqual(proc.wait(timeout=10), 0)
            os.close(master)
        lines = out.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")
        qr_lines = [l for l in lines if l.startswith("\x1b[38;5;16;48;5;231m")]
        self.assertGreater(len(qr_lines), 10, lines)
        self.assertTrue(all(l.endswith("\x1b[0m") for l in qr_lines))
        pin = next(l for l in lines if l.startswith("PIN:      "))[len("PIN:      "):]
        url = next(l for l in lines if l.startswith("URL:     "))[len("URL:     "):]
        self.assertEqual(decode_qr(qr_modules(lines), self.tmp), f"{url}auto?pin={pin}")


if __name__ == "__main__":
    unittest.main()
