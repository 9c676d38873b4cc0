"""Runs the Windows programs under the Wine session that the test runner set
up (WINEPREFIX, DISPLAY) and reaches them from Linux clients."""

import getpass
import json
import http.client
import os
import shutil
import socket
import ssl
import subprocess
import time
import unittest

BIN = os.environ.get("VANTREL_WIN_BIN", os.path.join(os.path.dirname(__file__), "../../build/windows/bin"))


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def local_appdata():
    prefix = os.environ["WINEPREFIX"]
    return os.path.join(prefix, "drive_c", "users", getpass.getuser(), "AppData", "Local")


def base_folder():
    return os.path.join(local_appdata(), "Vantrel")


def reset_base_folder():
    shutil.rmtree(base_folder(), ignore_errors=True)


def start(exe, *args, env=None):
    """env: variables added to this process's environment for the program."""
    return subprocess.Popen(["wine", os.path.join(BIN, exe)] + list(args), env={**os.environ, **(env or {})},
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(proc):
    if proc.poll() is None:
        proc.kill()
        proc.wait(timeout=10)


def connection(port, tls, timeout=5):
    if tls:
        ctx = ssl.create_default_context()
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        return http.client.HTTPSConnection("127.0.0.1", port, timeout=timeout, context=ctx)
    return http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)


def get(port, path, tls=False, timeout=5):
    conn = connection(port, tls, timeout)
    try:
        conn.request("GET", path)
        r = conn.getresponse()
        return r.status, r.read()
    finally:
        conn.close()


def wait_until_serving(port, tls=False, timeout=60):
    end = time.time() + timeout
    last = None
    while time.time() < end:
        try:
            return get(port, "/api/status", tls)
        except (OSError, http.client.HTTPException) as e:
            last = e
            time.sleep(0.3)
    raise AssertionError(f"nothing served on port {port} within {timeout}s: {last}")


def log_line(prefix, timeout=30):
    """The first line of vantrel-http.exe's HTTP.log starting with prefix,
    without its time stamp; waits for it."""
    path = os.path.join(base_folder(), "HTTP.log")
    end = time.time() + timeout
    while time.time() < end:
        if os.path.exists(path):
            with open(path, "rb") as f:
                for line in f.read().decode("utf-8", "replace").split("\r\n"):
                    if line[25:].startswith(prefix):
                        return line[25:]
        time.sleep(0.2)
    raise AssertionError(f"no '{prefix}' line in HTTP.log")


class LoggedInHttp(unittest.TestCase):
    """Base class: vantrel-http.exe under Wine on a free port, in a fresh base
    folder, logged in with its run PIN (cls.cookie); cls.files is its web root."""

    @classmethod
    def setUpClass(cls):
        reset_base_folder()
        cls.port = free_port()
        cls.proc = start("vantrel-http.exe", "--port", str(cls.port))
        wait_until_serving(cls.port)
        pin = log_line("AUTH    PIN=")[len("AUTH    PIN="):]
        status, headers, _ = cls.call("POST", "/api/login", json.dumps({"code": pin}).encode())
        assert status == 200, status
        cls.cookie = headers["set-cookie"].split(";")[0]
        cls.files = os.path.join(base_folder(), "files")

    @classmethod
    def tearDownClass(cls):
        stop(cls.proc)
        reset_base_folder()

    @classmethod
    def call(cls, method, path, body=None, headers=None):
        """Status, lower-cased headers and body of one request."""
        conn = connection(cls.port, False, timeout=60)
        try:
            conn.request(method, path, body=body, headers=headers or {})
            r = conn.getresponse()
            return r.status, {k.lower(): v for k, v in r.getheaders()}, r.read()
        finally:
            conn.close()
