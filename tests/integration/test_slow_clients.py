"""No group of clients holds the server: a connection costs a thread only
once its request head has arrived, the handshake and the head must arrive
within a total deadline however they trickle, and one address holds at most
its share of the threads (see slow_clients.hold_and_flood)."""

import unittest

from harness import FLAVOURS, Program
from slow_clients import hold_and_flood, raise_file_limit
from test_server import threads_of

DEADLINE_MS = 4000


class SlowClients(unittest.TestCase):
    def test_slow_and_silent_clients_hold_no_threads_and_are_closed_at_their_deadline(self):
        raise_file_limit()
        for name in FLAVOURS:
            with self.subTest(name), Program(name, env={"VANTREL_HEAD_DEADLINE_MS": str(DEADLINE_MS)}) as p:
                most = hold_and_flood(self, p.port, p.tls, DEADLINE_MS / 1000, threads=lambda: threads_of(p.proc.pid))
                self.assertLess(most, 64)


if __name__ == "__main__":
    unittest.main()
