#!/usr/bin/env python3
"""Download benchmark: one large file over loopback from vantrel-http and
vantrel-https, side by side with nginx (sendfile on, plain and TLS) and
Python's http.server (plain and TLS), all serving the same file in one run.
Prints the median rate of each and the ratios, plus the programs' peak
resident memory before and after (serial and concurrent downloads).

    python3 bench/download/bench_download.py [--bin build/linux/bin] [--size-mib 1024] [--runs 3]

Needs nginx (Debian nginx-light) and curl. Everything listens on 127.0.0.1
only, every client run has a time limit, and all processes and files are
removed at the end."""

import argparse
import json
import os
import shutil
import signal
import socket
import ssl
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BIN = os.path.normpath(os.path.join(HERE, "../../build/linux/bin"))
FILE_NAME = "big.bin"
CURL_LIMIT_S = 300

PYTHON_TLS_SERVER = r"""
import http.server, ssl, sys, functools
port, root, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=root)
httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain(cert, key)
httpd.socket = ctx.wrap_socket(httpd.socket, server_side=True)
httpd.serve_forever()
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, proc, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        if proc.poll() is not None:
            raise RuntimeError(f"server ended early (rc={proc.returncode})")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on port {port}")


def make_file(path, size):
    block = os.urandom(1 << 20)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            n = min(left, len(block))
            f.write(block[:n])
            left -= n


def warm_pages(folder, size):
    """Writes and removes a file of size bytes just before an upload, so that the
    upload's pages are memory the machine has just used. Memory freed longer ago
    may have gone back to a virtual machine's host, and the first write to it
    costs the writer about ten times the copy (seen here: 2 s of system time per
    GiB); which upload met it depended on what ran before, not on the server."""
    path = os.path.join(folder, "warm.bin")
    block = bytes(1 << 20)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        for _ in range(0, size, len(block)):
            os.write(fd, block)
    finally:
        os.close(fd)
        os.remove(path)


def memory_kib(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(("VmHWM:", "VmRSS:")):
                k, v = line.split(":")
                out[k] = int(v.split()[0])
    return out


class Vantrel:
    """One vantrel program with its own home folder, logged in."""

    def __init__(self, bin_dir, name, root, tmp):
        self.name, self.tls = name, name == "vantrel-https"
        self.home = os.path.join(tmp, "home-" + name)
        os.makedirs(self.home)
        self.port = free_port()
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env["HOME"] = self.home
        self.proc = subprocess.Popen([os.path.join(bin_dir, name), "--port", str(self.port), "--root", root],
                                     env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.pin, ready = None, threading.Event()

        def pump():
            for raw in self.proc.stdout:
                line = raw.decode("utf-8", "replace")
                if "AUTH    PIN=" in line:
                    self.pin = line.split("AUTH    PIN=")[1].strip()
                if "SERVER  listening" in line:
                    ready.set()
            ready.set()

        threading.Thread(target=pump, daemon=True).start()
        if not ready.wait(30) or self.proc.poll() is not None or not self.pin:
            raise RuntimeError(f"{name} did not start")
        self.cookie = self.login()

    @property
    def base(self):
        return os.path.join(self.home, ".local/share/vantrel")

    def url(self, path):
        return f"{'https' if self.tls else 'http'}://127.0.0.1:{self.port}{path}"

    def login(self):
        req = urllib.request.Request(self.url("/api/login"), data=json.dumps({"code": self.pin}).encode(),
                                     method="POST", headers={"Content-Type": "application/json"})
        ctx = ssl._create_unverified_context() if self.tls else None
        with urllib.request.urlopen(req, context=ctx, timeout=10) as r:
            return r.headers["Set-Cookie"].split(";")[0]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def start_nginx(tmp, root, cert, key):
    http_port, https_port = free_port(), free_port()
    conf = os.path.join(tmp, "nginx.conf")
    temp = os.path.join(tmp, "nginx-temp")
    os.makedirs(temp)
    with open(conf, "w") as f:
        f.write(f"""
{'user root;' if os.geteuid() == 0 else ''}
worker_processes 1;
daemon off;
pid {tmp}/nginx.pid;
error_log {tmp}/nginx-error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  client_body_temp_path {temp}/body;
  proxy_temp_path {temp}/proxy;
  fastcgi_temp_path {temp}/fastcgi;
  uwsgi_temp_path {temp}/uwsgi;
  scgi_temp_path {temp}/scgi;
  server {{ listen 127.0.0.1:{http_port}; root {root}; }}
  server {{
    listen 127.0.0.1:{https_port} ssl;
    ssl_certificate {cert};
    ssl_certificate_key {key};
    root {root};
  }}
}}
""")
    proc = subprocess.Popen(["nginx", "-c", conf, "-p", tmp, "-e", os.path.join(tmp, "nginx-error.log")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_port(http_port, proc)
    wait_port(https_port, proc)
    return proc, http_port, https_port


def start_python(root, port, cert=None, key=None):
    if cert:
        cmd = [sys.executable, "-c", PYTHON_TLS_SERVER, str(port), root, cert, key]
    else:
        cmd = [sys.executable, "-m", "http.server", str(port), "--bind", "127.0.0.1", "--directory", root]
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_port(port, proc)
    return proc


def curl(url, size, cookie=None):
    """One download to /dev/null; bytes per second."""
    cmd = ["curl", "-s", "-k", "-o", "/dev/null", "--max-time", str(CURL_LIMIT_S), "-w",
           "%{http_code} %{size_download} %{time_total}", url]
    if cookie:
        cmd[1:1] = ["-H", "Cookie: " + cookie]
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=CURL_LIMIT_S + 10).stdout.split()
    if len(out) != 3 or out[0] != "200" or int(out[1]) != size:
        raise RuntimeError(f"download from {url} failed: {out}")
    return size / float(out[2])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=DEFAULT_BIN, help="folder holding vantrel-http and vantrel-https")
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--concurrent", type=int, default=4, help="parallel downloads for the memory check")
    args = ap.parse_args()
    for tool in ("nginx", "curl"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: apt-get install {'nginx-light' if tool == 'nginx' else tool}")

    size = args.size_mib << 20
    tmp = tempfile.mkdtemp(prefix="vantrel-bench-")
    procs, programs = [], []
    try:
        root = os.path.join(tmp, "www")
        os.makedirs(root)
        make_file(os.path.join(root, FILE_NAME), size)

        for name in ("vantrel-http", "vantrel-https"):
            programs.append(Vantrel(args.bin, name, root, tmp))
        plain, tls = programs
        cert, key = os.path.join(tls.base, "server.crt"), os.path.join(tls.base, "server.key")
        nginx, nginx_http, nginx_https = start_nginx(tmp, root, cert, key)
        procs.append(nginx)
        py_http, py_https = free_port(), free_port()
        procs.append(start_python(root, py_http))
        procs.append(start_python(root, py_https, cert, key))

        dl = "/download?path=" + FILE_NAME
        targets = {
            ("vantrel", "HTTP"): (plain.url(dl), plain.cookie),
            ("vantrel", "HTTPS"): (tls.url(dl), tls.cookie),
            ("nginx", "HTTP"): (f"http://127.0.0.1:{nginx_http}/{FILE_NAME}", None),
            ("nginx", "HTTPS"): (f"https://127.0.0.1:{nginx_https}/{FILE_NAME}", None),
            ("python", "HTTP"): (f"http://127.0.0.1:{py_http}/{FILE_NAME}", None),
            ("python", "HTTPS"): (f"https://127.0.0.1:{py_https}/{FILE_NAME}", None),
        }
        memory_before = {p.name: memory_kib(p.proc.pid) for p in programs}
        for url, cookie in targets.values():  # warm-up: page cache, TLS session code paths
            curl(url, size, cookie)
        rates = {k: [] for k in targets}
        for _ in range(args.runs):  # round robin, so drift hits every server alike
            for k, (url, cookie) in targets.items():
                rates[k].append(curl(url, size, cookie))
        memory_serial = {p.name: memory_kib(p.proc.pid) for p in programs}

        for p in programs:
            threads = [threading.Thread(target=curl, args=(p.url(dl), size, p.cookie))
                       for _ in range(args.concurrent)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
        memory_concurrent = {p.name: memory_kib(p.proc.pid) for p in programs}

        median = {k: statistics.median(v) / 1e6 for k, v in rates.items()}
        print(f"\nDownload of {args.size_mib} MiB over loopback, median of {args.runs} runs, MB/s (10^6 bytes/s)")
        print(f"{'':18}{'HTTP':>10}{'HTTPS':>10}")
        for server in ("vantrel", "nginx", "python"):
            print(f"{server:18}{median[(server, 'HTTP')]:10.0f}{median[(server, 'HTTPS')]:10.0f}")
        for peer in ("nginx", "python"):
            print(f"{'vantrel / ' + peer:18}" + "".join(
                f"{median[('vantrel', proto)] / median[(peer, proto)]:10.2f}" for proto in ("HTTP", "HTTPS")))
        print("goal: vantrel / nginx >= 0.90 for both")
        print("\nPeak resident memory (VmHWM, KiB): at start, after the serial runs, "
              f"after {args.concurrent} concurrent downloads")
        for p in programs:
            b, s, c = (m[p.name]["VmHWM"] for m in (memory_before, memory_serial, memory_concurrent))
            print(f"{p.name:18}{b:10}{s:10}{c:10}   growth {s - b} / {c - b}")
    finally:
        for p in programs:
            p.stop()
        for proc in procs:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        shutil.rmtree(tmp, ignore_errors=True)


class Rounds:
    """Per-round results of each measurement, in the order they were taken."""

    def __init__(self):
        self.values = {}

    def add(self, key, value):
        self.values.setdefault(key, []).append(value)

    def ratio(self, a, b):
        per_round = [x / y for x, y in zip(self.values[a], self.values[b])]
        return statistics.median(per_round), min(per_round), max(per_round)

    def median(self, key):
        return statistics.median(self.values[key])


if __name__ == "__main__":
    main()
