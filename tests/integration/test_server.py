"""The listener: start-up lines, dual-stack accept, port in use, orderly exit."""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from harness import BIN, FLAVOURS, Program, free_port, insecure_context
from stalled_tls import StalledTls


class StartupAndShutdown(unittest.TestCase):
    def test_startup_lines_in_order_and_exit_on_sigterm(self):
        for name in FLAVOURS:
            with self.subTest(name):
                p = Program(name).start()
                try:
                    proto = "HTTPS" if p.tls else "HTTP"
                    p.wait_for(f"SERVER  listening ({proto}) on port {p.port}")
                    msgs = p.messages()
                    expected = ["APP     start", "PATH    base=" + p.base, "PATH    files=" + p.files]
                    if p.tls:
                        expected += ["TLS     cert=" + os.path.join(p.base, "server.crt"),
                                     "TLS     key =" + os.path.join(p.base, "server.key")]
                    positions = [msgs.index(e) for e in expected]
                    self.assertEqual(positions, sorted(positions), msgs)
                    self.assertTrue(os.path.isdir(p.files))
                    self.assertEqual(p.stop(signal.SIGTERM), 0)
                    # The stop's own wake-up connection is never served, so
                    # no failed handshake is logged.
                    self.assertEqual(p.messages()[-2:], ["SERVER  stopping", "APP     exit"])
                    self.assertFalse([m for m in p.messages() if "handshake" in m or m.startswith("TLS:")])
                finally:
                    p.cleanup()

    def test_sigint_also_ends_in_order(self):
        with Program("vantrel-http") as p:
            self.assertEqual(p.stop(signal.SIGINT), 0)
            self.assertEqual(p.messages()[-1], "APP     exit")

    def test_http_flavour_writes_its_log_file_with_crlf(self):
        with Program("vantrel-http") as p:
            p.stop()
            with open(os.path.join(p.base, "HTTP.log"), "rb") as f:
                data = f.read()
            self.assertIn(b"  APP     start\r\n", data)
            self.assertTrue(data.endswith(b"  APP     exit\r\n"))
            self.assertNotIn(b"\n", data.replace(b"\r\n", b""))

    def test_port_in_use_fails_start_with_code_minus_3(self):
        port = free_port()
        blocker = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
        blocker.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        blocker.bind(("::", port))
        blocker.listen(1)
        try:
            for name in FLAVOURS:
                with self.subTest(name):
                    p = Program(name, port=port).start(wait_listening=False)
                    try:
                        p.wait_for("ERROR   server failed to start (code -3)")
                        rc = p.proc.wait(timeout=10)
                        self.assertNotEqual(rc, 0)
                        self.assertNotIn("SERVER  listening", "\n".join(p.messages()))
                    finally:
                        p.cleanup()
        finally:
            blocker.close()

    def test_second_instance_refuses_to_start(self):
        with Program("vantrel-https") as first:
            second = subprocess.run([os.path.join(BIN, "vantrel-http"), "--port", str(free_port())],
                                    env=first.env(), capture_output=True, timeout=10)
            self.assertNotEqual(second.returncode, 0)
            self.assertIn(b"is already running", second.stderr)
            first.request("GET", "/api/status")  # the first one still serves

    def test_bad_command_line_is_refused_with_usage(self):
        r = subprocess.run([os.path.join(BIN, "vantrel-http"), "--port", "99999"], capture_output=True, timeout=10)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"invalid port", r.stderr)
        r = subprocess.run([os.path.join(BIN, "vantrel-http"), "--help"], capture_output=True, timeout=10)
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"--root DIR", r.stdout)


class Autostart(unittest.TestCase):
    def test_entry_is_written_with_its_exec_line_and_removed(self):
        home = tempfile.mkdtemp(prefix="vantrel-home-")
        try:
            for name in FLAVOURS:
                with self.subTest(name):
                    exe = os.path.realpath(os.path.join(BIN, name))
                    entry = os.path.join(home, ".config/autostart", name + ".desktop")
                    run = lambda flag, env=None: subprocess.run([exe, flag], capture_output=True, timeout=10,
                                                                env=env or {"HOME": home})
                    r = run("--autostart-on")
                    self.assertEqual((r.returncode, r.stdout), (0, b"AUTOSTART enabled\n"))
                    with open(entry) as f:
                        self.assertIn(f'\nExec="{exe}" --autostart\n', f.read())
                    for _ in range(2):  # removing a missing entry succeeds too
                        r = run("--autostart-off")
                        self.assertEqual((r.returncode, r.stdout), (0, b"AUTOSTART disabled\n"))
                        self.assertFalse(os.path.exists(entry))
            # A configuration folder that cannot hold the entry: a clear error.
            blocker = os.path.join(home, "not-a-folder")
            open(blocker, "w").close()
            r = subprocess.run([os.path.join(BIN, "vantrel-http"), "--autostart-on"], capture_output=True,
                               timeout=10, env={"HOME": home, "XDG_CONFIG_HOME": blocker})
            self.assertNotEqual(r.returncode, 0)
            self.assertIn(b"autostart not changed: cannot create " + blocker.encode(), r.stderr)
        finally:
            shutil.rmtree(home, ignore_errors=True)


class RefusedBodies(unittest.TestCase):
    def test_answer_to_an_unread_body_reaches_the_client(self):
        # The server answers 401 after the head alone; the body the client is
        # still sending must not reset the connection before the answer is read.
        body = b"x" * (2 * 1024 * 1024)
        head = (b"POST /upload HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/octet-stream\r\n"
                b"Content-Length: %d\r\n\r\n" % len(body))
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                answer = p.raw(head + body)
                self.assertTrue(answer.startswith(b"HTTP/1.1 401 Unauthorized\r\n"), answer[:80])
                self.assertTrue(answer.endswith(b"\r\n\r\nUnauthorized"), answer[-80:])


class DualStack(unittest.TestCase):
    def test_ipv4_and_ipv6_clients_on_one_socket(self):
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                for host in ("127.0.0.1", "::1"):
                    r = p.request("GET", "/api/status", host=host)
                    self.assertEqual(r.status, 200)
                    self.assertEqual(r.body, b'{"running":true,"port":%d}' % p.port)


class ProgramWith(Program):
    """A program started with extra environment (the test seams)."""

    def __init__(self, name, extra_env):
        super().__init__(name)
        self.extra_env = extra_env

    def env(self):
        return {**super().env(), **self.extra_env}


class DegradedHosts(unittest.TestCase):
    def test_without_ipv6_it_serves_ipv4_and_says_so(self):
        for name in FLAVOURS:
            with self.subTest(name), ProgramWith(name, {"VANTREL_TEST_NO_IPV6": "1"}) as p:
                self.assertIn("SERVER  IPv6 unavailable; serving IPv4 only", p.messages())
                r = p.request("GET", "/api/status", host="127.0.0.1")
                self.assertEqual(r.body, b'{"running":true,"port":%d}' % p.port)
                with self.assertRaises(OSError):
                    p.request("GET", "/api/status", host="::1")
                # Peers keep their mapped form, so bans key on the same text.
                wrong = "%06d" % ((int(p.run_pin()) + 1) % 1000000)
                for _ in range(3):
                    p.request("POST", "/api/login", '{"code":"%s"}' % wrong)
                p.wait_for("failed 3x => IP banned 2 min: ::ffff:127.0.0.1")

    def test_a_failed_random_generator_refuses_to_start(self):
        for name in FLAVOURS:
            with self.subTest(name):
                p = ProgramWith(name, {"VANTREL_TEST_NO_RANDOM": "1"})
                try:
                    p.start(wait_listening=False)
                    self.assertEqual(p.proc.wait(timeout=15), 7)
                    time.sleep(0.1)
                    self.assertIn(b"random number generator failed", p.stderr)
                    self.assertFalse(any("SERVER  listening" in m for m in p.messages()))
                finally:
                    p.cleanup()


class HostNames(unittest.TestCase):
    def test_only_addresses_and_known_names_are_served(self):
        own = socket.gethostname().split(".")[0]
        for name in FLAVOURS:
            home = tempfile.mkdtemp(prefix="vantrel-home-")
            self.addCleanup(shutil.rmtree, home, ignore_errors=True)
            with self.subTest(name), Program(name, home=home) as p:
                def status(host, path="/"):
                    return p.request("GET", path, headers={"Host": host}).status
                for host in ("127.0.0.1", f"127.0.0.1:{p.port}", f"[::1]:{p.port}", "[fe80::1%25lo]",
                             "LocalHost", own, own.upper() + ".local", "localhost."):
                    self.assertEqual(status(host), 200, host)
                for host in ("evil.example", f"evil.example:{p.port}", "127.0.0.1.evil.example", "[::1]x",
                             "files.example", "1.2.3.4:x"):
                    self.assertEqual(status(host), 421, host)
                r = p.request("GET", "/auto?pin=" + p.run_pin(), headers={"Host": "evil.example"})
                self.assertEqual(r.status, 421)
                self.assertIn(b"AllowedHostNames", r.body)
                self.assertIsNone(r.header("Set-Cookie"))
                self.assertEqual(status("evil.example", "/s/" + "0" * 64), 421)
                os.makedirs(os.path.dirname(p.settings_path), exist_ok=True)
                with open(p.settings_path, "a") as f:
                    f.write("AllowedHostNames= Files.Example ,nas.lan\n")
            with Program(name, home=home, port=p.port) as p:
                self.assertEqual(status(f"files.example:{p.port}"), 200)
                self.assertEqual(status("NAS.lan"), 200)
                self.assertEqual(status("evil.example"), 421)


def threads_of(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(l for l in f if l.startswith("Threads:")).split()[1])


class IdleClients(unittest.TestCase):
    def test_idle_connections_cost_no_thread_and_starve_no_one(self):
        # More silent connections than there are connection threads, from both
        # loopback addresses: the server keeps them without threads, bounds
        # them per address by closing each address's oldest, and answers a
        # real client (also one of the silent ones, once it speaks) at once.
        per_host = 300
        for name in FLAVOURS:
            with self.subTest(name), Program(name) as p:
                idle = {host: [socket.create_connection((host, p.port), timeout=10) for _ in range(per_host)]
                        for host in ("127.0.0.1", "::1")}
                try:
                    r = p.request("GET", "/api/status")
                    self.assertEqual(r.status, 200)
                    self.assertLess(threads_of(p.proc.pid), 32)
                    for conns in idle.values():
                        for s in conns[:per_host - 256]:  # evicted: the server closed them
                            self.assertEqual(s.recv(1), b"")
                    late = idle["::1"][-1]
                    if p.tls:
                        late = insecure_context().wrap_socket(late, server_hostname="localhost")
                    late.sendall(b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                    self.assertTrue(late.recv(65536).startswith(b"HTTP/1.1 200 OK"))
                finally:
                    for conns in idle.values():
                        for s in conns:
                            s.close()


class StalledHandshakes(unittest.TestCase):
    def test_clients_that_stall_in_the_handshake_hold_no_thread(self):
        # Clients that send their hello and go quiet after the server's answer
        # wait without a thread; others are served meanwhile, and a stalled
        # one that finishes later gets its answer.
        with Program("vantrel-https") as p:
            idle = threads_of(p.proc.pid)
            stalled = []
            try:
                for _ in range(200):
                    stalled.append(StalledTls("127.0.0.1", p.port))
                for c in stalled:
                    c.take_answer()
                # A thread per stalled client would make 200; the few that
                # served the hellos one after another stay in the pool.
                self.assertLess(threads_of(p.proc.pid), idle + 100)
                self.assertEqual(p.request("GET", "/api/status").status, 200)
                for c in (stalled[0], stalled[-1]):
                    self.assertTrue(c.status_answer().startswith(b"HTTP/1.1 200 OK"))
            finally:
                for c in stalled:
                    c.close()
            self.assertNotIn("TLS     handshake failed", p.messages())


class ThreadReuse(unittest.TestCase):
    def test_a_burst_reuses_threads_that_end_after_their_linger_time(self):
        with Program("vantrel-http") as p:
            idle = threads_of(p.proc.pid)
            tasks = f"/proc/{p.proc.pid}/task"
            seen = set(os.listdir(tasks))
            for i in range(1000):
                with socket.create_connection(("127.0.0.1", p.port), timeout=10) as s:
                    s.sendall(b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                    while s.recv(65536):
                        pass
                if i % 10 == 0:
                    seen |= set(os.listdir(tasks))
            # A thread per request would show about a hundred thread ids here;
            # reused threads show the few that ran at once (a connection in its
            # lingering close may still hold one when the next arrives).
            self.assertLess(len(seen), idle + 16)
            end = time.time() + 45  # the linger time is 30 s
            while threads_of(p.proc.pid) > idle and time.time() < end:
                time.sleep(0.5)
            self.assertEqual(threads_of(p.proc.pid), idle)

if __name__ == "__main__":
    unittest.main()
