"""Under Wine: silent connections, more than there are connection threads,
hold no thread and do not keep a real client waiting; TLS clients that stall
in the handshake wait without a thread and can finish later; trickled heads
and handshakes end at their deadline and one address holds only its share
of the threads (slow_clients.hold_and_flood)."""

import os
import socket
import sys
import unittest

import winharness as w

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../integration"))
from slow_clients import hold_and_flood, raise_file_limit  # noqa: E402
from stalled_tls import StalledTls  # noqa: E402

DEADLINE_MS = 4000


class WineIdleClients(unittest.TestCase):
    def test_silent_connections_do_not_starve_a_real_client(self):
        w.reset_base_folder()
        port = w.free_port()
        proc = w.start("vantrel-http.exe", "--port", str(port))
        idle = []
        try:
            self.assertEqual(w.wait_until_serving(port)[0], 200)
            for host in ("127.0.0.1", "::1"):
                idle += [socket.create_connection((host, port), timeout=10) for _ in range(300)]
            # Wine takes some milliseconds per accepted socket, and this
            # request comes behind all 600.
            self.assertEqual(w.get(port, "/api/status", timeout=30)[0], 200)
            # Each address keeps at most 256 waiting: its oldest were closed.
            self.assertEqual(idle[0].recv(1), b"")
            idle[-1].sendall(b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            self.assertTrue(idle[-1].recv(65536).startswith(b"HTTP/1.1 200 OK"))
        finally:
            for s in idle:
                s.close()
            w.stop(proc)

    def test_stalled_handshakes_are_parked_and_finish_later(self):
        w.reset_base_folder()
        port = w.free_port()
        proc = w.start("vantrel-https.exe", "--port", str(port))
        stalled = []
        try:
            self.assertEqual(w.wait_until_serving(port, tls=True)[0], 200)
            for host in ("127.0.0.1", "::1"):
                stalled += [StalledTls(host, port) for _ in range(20)]
            for c in stalled:
                c.take_answer()
            self.assertEqual(w.get(port, "/api/status", tls=True)[0], 200)
            for c in (stalled[0], stalled[-1]):
                self.assertTrue(c.status_answer().startswith(b"HTTP/1.1 200 OK"))
        finally:
            for c in stalled:
                c.close()
            w.stop(proc)

    def test_slow_and_silent_clients_are_closed_at_their_deadline_and_others_served(self):
        # Fewer clients than on Linux: Wine's server holds a descriptor for
        # every socket of the program too; and it answers more slowly.
        raise_file_limit()
        for exe in ("vantrel-http.exe", "vantrel-https.exe"):
            with self.subTest(exe):
                w.reset_base_folder()
                port = w.free_port()
                tls = exe == "vantrel-https.exe"
                proc = w.start(exe, "--port", str(port), env={"VANTREL_HEAD_DEADLINE_MS": str(DEADLINE_MS)})
                try:
                    self.assertEqual(w.wait_until_serving(port, tls=tls)[0], 200)
                    hold_and_flood(self, port, tls, DEADLINE_MS / 1000, silent=200, tricklers=100, prompt_s=15)
                finally:
                    w.stop(proc)


if __name__ == "__main__":
    unittest.main()
