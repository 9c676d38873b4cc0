#!/usr/bin/env python3
"""Idle-client benchmark: opens many connections that send nothing to
vantrel-http and vantrel-https (half from 127.0.0.1, half from ::1), then
times a new client's GET /api/status and reads the server's resident memory
and thread count; the same request is timed first on the quiet server, and
the ratio of the two is printed.

    python3 bench/idle/bench_idle.py [--bin build/linux/bin] [--idle 2000] [--runs 5]

Everything listens on loopback only and all processes and files are removed
at the end."""

import argparse
import os
import resource
import shutil
import socket
import ssl
import statistics
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BIN = os.path.normpath(os.path.join(HERE, "../../build/linux/bin"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def status_ms(port, tls):
    began = time.perf_counter()
    s = socket.create_connection(("127.0.0.1", port), timeout=120)
    if tls:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        s = ctx.wrap_socket(s)
    s.sendall(b"GET /api/status HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    answer = b""
    while chunk := s.recv(65536):
        answer += chunk
    s.close()
    assert answer.startswith(b"HTTP/1.1 200"), answer[:60]
    return (time.perf_counter() - began) * 1000


def proc_field(pid, name):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(name + ":"):
                return int(line.split()[1])
    return 0


def run(name, binary, idle, runs):
    home = tempfile.mkdtemp(prefix="vantrel-bench-")
    port = free_port()
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
    env["HOME"] = home
    proc = subprocess.Popen([os.path.join(binary, name), "--port", str(port)], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    conns = []
    try:
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        tls = name == "vantrel-https"
        quiet = statistics.median(status_ms(port, tls) for _ in range(runs))
        for i in range(idle):
            conns.append(socket.create_connection(("127.0.0.1" if i % 2 else "::1", port), timeout=10))
        time.sleep(0.5)
        loaded = statistics.median(status_ms(port, tls) for _ in range(runs))
        rss = proc_field(proc.pid, "VmHWM") / 1024
        threads = proc_field(proc.pid, "Threads")
        print(f"| {name} | {idle} | {quiet:.2f} | {loaded:.2f} | {loaded / quiet:.2f} | {rss:.1f} | {threads} |")
    finally:
        for c in conns:
            c.close()
        proc.terminate()
        proc.wait(timeout=20)
        shutil.rmtree(home, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=DEFAULT_BIN)
    ap.add_argument("--idle", type=int, default=2000)
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, max(soft, a.idle + 256)), hard))
    print("| program | idle connections | status ms, quiet | status ms, with idle | ratio | peak RSS MiB | threads |")
    print("|---|---|---|---|---|---|---|")
    for name in ("vantrel-http", "vantrel-https"):
        run(name, a.bin, a.idle, a.runs)


if __name__ == "__main__":
    main()
