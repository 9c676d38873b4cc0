#!/usr/bin/env python3
"""An emulated network link between two network namespaces: the servers in
one, the clients in the other. Where the kernel has netem, a veth pair with
netem on both ends; otherwise link_forwarder.c, built here, which holds a TUN
device in each namespace and applies rate, delay, loss and a bounded queue in
user space. Both ends have private addresses on a link of their own, so
nothing leaves the machine.

    python3 bench/link/emulated_link.py [--seconds 5]

checks each link setting against iperf3 (TCP, both directions) and prints
what iperf3 gets against the set rate. Needs root.

Every namespace, device and process is removed when a Link ends, also when
the run is interrupted; leftovers of an earlier run that was killed are
removed when the next one starts."""

import argparse
import ctypes
import json
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.normpath(os.path.join(HERE, "../../build/bench"))
PREFIX = "vantrel-bench-"
SERVER_NS, CLIENT_NS = PREFIX + "server", PREFIX + "client"
SERVER_ADDR, CLIENT_ADDR = "10.77.0.1", "10.77.0.2"
DEVICE = "vlink0"
MTU = 1500
CLONE_NEWNET = 0x40000000
# TCP payload of a full-sized packet with timestamps: what a bare TCP sender
# can get out of the line rate at most.
TCP_SHARE = (MTU - 20 - 20 - 12) / MTU


class Settings:
    """One link: rate, one-way delay and loss, both directions alike, with a
    drop-tail queue of one round trip's worth of bytes at the rate."""

    def __init__(self, rate_mbit, delay_ms, loss_pct):
        self.rate_mbit, self.delay_ms, self.loss_pct = rate_mbit, delay_ms, loss_pct
        self.queue_bytes = max(64 * 1024, int(rate_mbit * 1e6 / 8 * 2 * delay_ms / 1000))

    def describe(self):
        loss = f"{self.loss_pct:g} % loss" if self.loss_pct else "no loss"
        return f"{self.rate_mbit:g} Mbit/s, {self.delay_ms:g} ms each way, {loss}"

    def short(self):
        return f"{self.rate_mbit:g} Mbit/s {self.delay_ms:g} ms"

    def seconds_for(self, nbytes):
        return nbytes * 8 / (self.rate_mbit * 1e6)


WIFI = Settings(400, 4, 0.1)
SLOW = Settings(50, 20, 0)


def can_emulate():
    """None when a link can be made here, else why not."""
    if os.geteuid() != 0:
        return "the link rows need root (network namespaces)"
    if not shutil.which("ip"):
        return "the link rows need the ip command (iproute2)"
    if not os.path.exists("/dev/net/tun") and not netem_available():
        return "the link rows need netem or /dev/net/tun"
    return None


def run(cmd, check=True, timeout=30):
    return subprocess.run(cmd, capture_output=True, text=True, check=check, timeout=timeout)


def netem_available():
    """Whether the kernel knows netem, tried on the loopback device of a scratch namespace."""
    probe = PREFIX + "probe"
    if run(["ip", "netns", "add", probe], check=False).returncode != 0:
        return False
    try:
        return run(["tc", "-n", probe, "qdisc", "add", "dev", "lo", "root", "netem", "delay", "1ms"],
                   check=False).returncode == 0
    finally:
        run(["ip", "netns", "del", probe], check=False)


def build_forwarder():
    source = os.path.join(HERE, "link_forwarder.c")
    target = os.path.join(BUILD, "link_forwarder")
    if not os.path.exists(target) or os.path.getmtime(target) < os.path.getmtime(source):
        os.makedirs(BUILD, exist_ok=True)
        compiler = shutil.which("cc") or shutil.which("gcc") or "g++"
        run([compiler, "-O2", "-Wall", "-x", "c", source, "-o", target], timeout=120)
    return target


_libc = ctypes.CDLL(None, use_errno=True)


class inside:
    """Runs the calling thread in a namespace for the length of a with block:
    sockets made and processes started there belong to it."""

    def __init__(self, ns):
        self.ns = ns

    def __enter__(self):
        self.home = os.open("/proc/thread-self/ns/net", os.O_RDONLY)
        fd = os.open(f"/run/netns/{self.ns}", os.O_RDONLY)
        try:
            if _libc.setns(fd, CLONE_NEWNET) != 0:
                raise OSError(ctypes.get_errno(), f"cannot enter {self.ns}")
        finally:
            os.close(fd)

    def __exit__(self, *exc):
        _libc.setns(self.home, CLONE_NEWNET)
        os.close(self.home)


def stop_process(proc, grace=10):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def remove_namespaces():
    """Ends every process still in one of the bench namespaces, then the namespaces."""
    names = [line.split()[0] for line in run(["ip", "netns", "list"], check=False).stdout.splitlines() if line]
    for ns in names:
        if not ns.startswith(PREFIX):
            continue
        for sig in (signal.SIGTERM, signal.SIGKILL):
            pids = [int(p) for p in run(["ip", "netns", "pids", ns], check=False).stdout.split()]
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            end = time.time() + 5
            while pids and time.time() < end and run(["ip", "netns", "pids", ns], check=False).stdout.split():
                time.sleep(0.1)
        run(["ip", "netns", "del", ns], check=False)


class Link:
    """The two namespaces joined by the emulated link, for a with block."""

    def __init__(self, settings, seed=1):
        self.settings, self.seed = settings, seed
        self.forwarder = None
        self.kind = None
        self.counters = ""  # the forwarder's packet counts, read when it ends

    def __enter__(self):
        remove_namespaces()
        try:
            for ns in (SERVER_NS, CLIENT_NS):
                run(["ip", "netns", "add", ns])
                run(["ip", "-n", ns, "link", "set", "lo", "up"])
            if netem_available():
                self._veth_netem()
            else:
                self._tun_forwarder()
            for ns, mine in ((SERVER_NS, SERVER_ADDR), (CLIENT_NS, CLIENT_ADDR)):
                run(["ip", "-n", ns, "addr", "add", mine + "/30", "dev", DEVICE])
                run(["ip", "-n", ns, "link", "set", DEVICE, "mtu", str(MTU), "up"])
        except BaseException:
            self.__exit__()
            raise
        return self

    def _veth_netem(self):
        s = self.settings
        run(["ip", "link", "add", DEVICE, "netns", SERVER_NS, "type", "veth", "peer", "name", DEVICE,
             "netns", CLIENT_NS])
        limit = max(16, s.queue_bytes // MTU + int(s.rate_mbit * 1e6 / 8 * s.delay_ms / 1000) // MTU)
        for ns in (SERVER_NS, CLIENT_NS):
            run(["tc", "-n", ns, "qdisc", "add", "dev", DEVICE, "root", "netem", "rate", f"{s.rate_mbit}mbit",
                 "delay", f"{s.delay_ms}ms", "loss", f"{s.loss_pct}%", "limit", str(limit)])
        self.kind = "veth pair with netem"

    def _tun_forwarder(self):
        s = self.settings
        self.forwarder = subprocess.Popen(
            [build_forwarder(), f"/run/netns/{SERVER_NS}", f"/run/netns/{CLIENT_NS}", DEVICE,
             str(int(s.rate_mbit * 1e6)), str(int(s.delay_ms * 1000)), str(int(round(s.loss_pct * 1e4))),
             str(s.queue_bytes), str(self.seed)],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if self.forwarder.stdout.readline().strip() != "ready":
            raise RuntimeError("link forwarder did not start: " + self.forwarder.stderr.read())
        self.kind = "two TUN devices and a user-space forwarder"

    def __exit__(self, *exc):
        if self.forwarder:
            stop_process(self.forwarder, 5)
            self.counters = self.forwarder.stderr.read().strip()
            self.forwarder = None
        remove_namespaces()


def interruptible():
    """SIGTERM and SIGHUP end the run the way Ctrl-C does, through every
    finally; so does SIGINT where the shell started the run ignoring it."""
    def stop(sig, frame):
        raise KeyboardInterrupt(f"signal {sig}")
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, stop)


def iperf3(nbytes=None, seconds=None, download=True, port=5201):
    """A bare TCP transfer over the link: server side sending (download) or
    receiving (upload). Bytes per second received."""
    with inside(SERVER_NS):
        server = subprocess.Popen(["iperf3", "-s", "-1", "-B", SERVER_ADDR, "-p", str(port)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        amount = ["-n", str(nbytes)] if nbytes else ["-t", str(seconds)]
        cmd = ["iperf3", "-c", SERVER_ADDR, "-p", str(port), "-J", "--connect-timeout", "5000"] + amount
        if download:
            cmd.append("-R")
        out = None
        with inside(CLIENT_NS):
            for _ in range(50):  # until the server listens
                got = run(cmd, check=False, timeout=600)
                out = json.loads(got.stdout or "{}")
                if "error" not in out:
                    break
                time.sleep(0.1)
        if "error" in out:
            raise RuntimeError(f"iperf3 failed: {out['error']}")
        return out["end"]["sum_received"]["bits_per_second"] / 8
    finally:
        stop_process(server, 5)


def round_trip_ms(times=30, port=5202):
    """Smallest and median time of one byte there and back on an open TCP connection."""
    with inside(SERVER_NS):
        listener = socket.create_server((SERVER_ADDR, port))

    def echo():
        conn, _ = listener.accept()
        with conn:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            while data := conn.recv(64):
                conn.sendall(data)

    threading.Thread(target=echo, daemon=True).start()
    try:
        with inside(CLIENT_NS):
            conn = socket.create_connection((SERVER_ADDR, port), timeout=10)
        with conn:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            took = []
            for _ in range(times):
                start = time.perf_counter()
                conn.sendall(b"x")
                conn.recv(64)
                took.append((time.perf_counter() - start) * 1000)
        return min(took), statistics.median(took)
    finally:
        listener.close()


def check(settings_list, seconds):
    lines = []
    for s in settings_list:
        with Link(s) as link:
            fastest, median = round_trip_ms()
            up = iperf3(seconds=seconds, download=False)
            down = iperf3(seconds=seconds, download=True)
        for what, rate in (("client to server", up), ("server to client", down)):
            lines.append(f"| {s.describe()} | {link.kind} | {what} | {rate * 8 / 1e6:.0f} | "
                         f"{rate * 8 / 1e6 / (s.rate_mbit * TCP_SHARE):.2f} | {fastest:.1f} / {median:.1f} |")
        print(link.counters, file=sys.stderr)
    return [f"| link | made of | iperf3 TCP, {seconds} s | Mbit/s | of the TCP payload rate | "
            "round trip ms, least / median |", "|---|---|---|---:|---:|---:|", *lines]


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seconds", type=int, default=5, help="length of each iperf3 run")
    args = ap.parse_args()
    why = can_emulate()
    if why:
        sys.exit(why)
    for tool in ("iperf3",):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run scripts/install-deps.sh --bench")
    interruptible()
    try:
        print("\n".join(check([WIFI, SLOW], args.seconds)))
    finally:
        remove_namespaces()


if __name__ == "__main__":
    main()
