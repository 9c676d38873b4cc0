"""Starts a real vantrel program on a free loopback port with a temporary
home folder, collects its event log from stdout, and talks to it."""

import http.client
import os
import re
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import threading
import time
import unittest

BIN = os.environ.get("VANTREL_BIN", os.path.join(os.path.dirname(__file__), "../../build/linux/bin"))
FLAVOURS = ("vantrel-https", "vantrel-http")
STAMP = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  ")


def free_port():
    with socket.socket(socket.AF_INET6, socket.SOCK_STREAM) as s:
        s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        s.bind(("::", 0))
        return s.getsockname()[1]


def read_to_end(s):
    """Everything a socket delivers until the other side ends the stream."""
    out = b""
    while True:
        piece = s.recv(65536)
        if not piece:
            return out
        out += piece


def insecure_context():
    ctx = ssl.create_default_context()
    ctx.check_hostname = False
    ctx.verify_mode = ssl.CERT_NONE
    return ctx


class Response:
    def __init__(self, status, reason, headers, body):
        self.status, self.reason, self.headers, self.body = status, reason, headers, body

    def header(self, name):
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None

    def json(self):
        import json
        return json.loads(self.body.decode("utf-8"))


class Program:
    """One running program. Use as a context manager, or call start/stop."""

    def __init__(self, name, home=None, args=(), port=None, env=None):
        self.name = name
        self.extra_env = dict(env or {})
        self.tls = name == "vantrel-https"
        self.own_home = home is None
        self.home = home or tempfile.mkdtemp(prefix="vantrel-home-")
        self.port = port or free_port()
        self.args = list(args)
        self.proc = None
        self.lines = []
        self.stderr = b""
        self._cond = threading.Condition()

    # -- life -------------------------------------------------------------
    def env(self):
        e = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        e["HOME"] = self.home
        e.update(self.extra_env)
        return e

    def start(self, wait_listening=True):
        cmd = [os.path.join(BIN, self.name), "--port", str(self.port)] + self.args
        self.proc = subprocess.Popen(cmd, env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        threading.Thread(target=self._pump, daemon=True).start()
        threading.Thread(target=self._pump_err, daemon=True).start()
        if wait_listening:
            self.wait_for("SERVER  listening")
        return self

    def _pump(self):
        for raw in self.proc.stdout:
            with self._cond:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\r\n"))
                self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    def _pump_err(self):
        self.stderr = self.proc.stderr.read()

    def stop(self, sig=signal.SIGTERM, timeout=10):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(sig)
        rc = self.proc.wait(timeout=timeout) if self.proc else None
        time.sleep(0.05)
        return rc

    def cleanup(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.own_home:
            shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        self.cleanup()

    # -- event log --------------------------------------------------------
    def messages(self):
        """The log lines without their time stamps; the status block that
        the program prints between them is left out (see self.lines)."""
        with self._cond:
            return [l[25:] for l in self.lines if STAMP.match(l)]

    def wait_for(self, text, timeout=15):
        """Waits for a log line containing text; returns it without its stamp."""
        end = time.time() + timeout
        with self._cond:
            while True:
                for m in self.messages():
                    if text in m:
                        return m
                if self.proc.poll() is not None and not self._alive_pump():
                    raise AssertionError(f"{self.name} ended (rc={self.proc.returncode}) before '{text}'; "
                                         f"log: {self.lines}; stderr: {self.stderr!r}")
                left = end - time.time()
                if left <= 0:
                    raise AssertionError(f"no log line with '{text}' within {timeout}s; log: {self.lines}")
                self._cond.wait(min(left, 0.2))

    def _alive_pump(self):
        return not self.proc.stdout.closed and self.proc.poll() is None

    @property
    def base(self):
        return os.path.join(self.home, ".local/share/vantrel")

    @property
    def files(self):
        return os.path.join(self.base, "files")

    @property
    def settings_path(self):
        return os.path.join(self.home, ".config/vantrel/settings")

    @property
    def cookie_name(self):
        return "AUTH" if self.tls else "VANTREL_PRO_AUTH"

    def run_pin(self):
        return self.wait_for("AUTH    PIN=")[len("AUTH    PIN="):]

    def login(self, pin=None, host="127.0.0.1"):
        """Logs in at /api/login (the run PIN by default); returns the Cookie header value."""
        import json
        r = self.request("POST", "/api/login", json.dumps({"code": pin or self.run_pin()}), host=host)
        if r.status != 200:
            raise AssertionError(f"login failed: {r.status} {r.body!r}")
        return r.header("Set-Cookie").split(";")[0]

    # -- clients ----------------------------------------------------------
    def connection(self, host="127.0.0.1", timeout=10):
        if self.tls:
            return http.client.HTTPSConnection(host, self.port, timeout=timeout, context=insecure_context())
        return http.client.HTTPConnection(host, self.port, timeout=timeout)

    def request(self, method, path, body=None, headers=None, host="127.0.0.1"):
        conn = self.connection(host)
        try:
            conn.request(method, path, body=body, headers=headers or {})
            r = conn.getresponse()
            return Response(r.status, r.reason, r.getheaders(), r.read())
        finally:
            conn.close()

    def raw(self, data, host="127.0.0.1", read=True, timeout=10):
        """Sends bytes over a fresh connection and returns all it answers."""
        s = socket.create_connection((host, self.port), timeout=timeout)
        if self.tls:
            s = insecure_context().wrap_socket(s, server_hostname="localhost")
        try:
            s.sendall(data)
            if not read:
                return b""
            out = b""
            while True:
                try:
                    chunk = s.recv(65536)
                except (ConnectionResetError, ssl.SSLError):
                    break
                if not chunk:
                    break
                out += chunk
            return out
        finally:
            s.close()


class LoggedInPrograms(unittest.TestCase):
    """Base class: one running program per flavour, logged in, shared by the
    test class as cls.programs and cls.cookies (keyed by program name)."""

    @classmethod
    def setUpClass(cls):
        cls.programs = {name: Program(name).start() for name in FLAVOURS}
        cls.cookies = {name: p.login() for name, p in cls.programs.items()}

    @classmethod
    def tearDownClass(cls):
        for p in cls.programs.values():
            p.stop()
            p.cleanup()
