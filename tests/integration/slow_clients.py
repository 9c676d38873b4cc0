"""Clients that try to hold a server's connections: ones that finish the TLS
handshake and then say nothing, ones that send their handshake or request
head a byte at a time, and ones that send a whole head and then hold back
the body it announces. TLS runs over memory buffers, so the raw socket shows
at any moment whether the server has closed the connection."""

import resource
import select
import socket
import ssl
import time

from stalled_tls import shared_context

# A head that never ends within a test: a trickler never completes it.
ENDLESS_HEAD = b"GET /api/status HTTP/1.1\r\nX-Slow: " + b"s" * 4096
HELD_BODY_HEAD = (b"POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                  b"Content-Length: 100\r\n\r\n")


def readable(sock):
    """Whether a read would not wait (poll: select cannot take descriptors past 1023)."""
    p = select.poll()
    p.register(sock, select.POLLIN)
    return bool(p.poll(0))


def raise_file_limit(want=8192):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(want, hard), hard))


class Client:
    def __init__(self, port, tls, source="127.0.0.1"):
        self.opened_at = time.monotonic()
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=20, source_address=(source, 0))
        self.tls = None
        self.request = None  # what start() sends once the handshake is done
        self.queued = b""  # what trickle() sends, a byte at a time
        self.as_records = False  # each byte as a TLS record (after the handshake)
        self.closed_at = None
        if tls:
            self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
            self.tls = shared_context().wrap_bio(self.incoming, self.outgoing, server_hostname="localhost")

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                self.sock.sendall(self.outgoing.read())
                return self
            except ssl.SSLWantReadError:
                self.sock.sendall(self.outgoing.read())
                data = self.sock.recv(65536)
                if not data:
                    raise ConnectionError("closed during the handshake")
                self.incoming.write(data)

    def start(self, request):
        """Sends request, over TLS once the handshake is done, which pump()
        moves on without waiting."""
        self.request = request
        if not self.tls:
            self.send(request)
            self.request = None
        self.pump()
        return self

    def pump(self):
        """Takes what has arrived and answers it; True once the request is out."""
        if self.request is None:
            return True
        while readable(self.sock):
            data = self.sock.recv(65536)
            if not data:
                raise ConnectionError("closed during the handshake")
            self.incoming.write(data)
        try:
            self.tls.do_handshake()
        except ssl.SSLWantReadError:
            self.sock.sendall(self.outgoing.read())
            return False
        self.sock.sendall(self.outgoing.read())
        self.send(self.request)
        self.request = None
        return True

    def hold_handshake(self):
        """Queues the client hello to be trickled."""
        try:
            self.tls.do_handshake()
        except ssl.SSLWantReadError:
            pass
        self.queued = self.outgoing.read()
        return self

    def hold_head(self, head=ENDLESS_HEAD):
        """Queues a head to be trickled (over TLS once handshake() is done)."""
        self.queued = head
        self.as_records = self.tls is not None
        return self

    def send(self, data):
        if self.tls:
            self.tls.write(data)  # one record
            data = self.outgoing.read()
        self.sock.sendall(data)

    def trickle(self):
        """Sends the next queued byte, as the raw byte of a hello or as a
        record of its own after the handshake."""
        if self.closed() or not self.queued:
            return
        byte, self.queued = self.queued[:1], self.queued[1:]
        try:
            if self.as_records:
                self.send(byte)
            else:
                self.sock.sendall(byte)
        except OSError:
            self.closed_at = time.monotonic()

    def closed(self):
        """Whether the server has closed the connection (noted the first time seen)."""
        try:
            while self.closed_at is None and readable(self.sock):
                if not self.sock.recv(65536):  # else what came is dropped: a session ticket, say
                    self.closed_at = time.monotonic()
        except OSError:
            self.closed_at = time.monotonic()
        return self.closed_at is not None

    def answer(self):
        """Everything the server sends until it closes, decrypted."""
        out = b""
        while True:
            try:
                data = self.sock.recv(65536)
            except (ConnectionResetError, socket.timeout):
                return out
            if not data:
                return out
            if not self.tls:
                out += data
                continue
            self.incoming.write(data)
            try:
                while chunk := self.tls.read(65536):
                    out += chunk
            except ssl.SSLWantReadError:
                pass
            except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
                return out

    def close(self):
        self.sock.close()


STATUS = b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"


def ask_status(port, tls, source="127.0.0.1", timeout=20):
    """GET /api/status from a fresh client; the answer and the seconds it took."""
    start = time.monotonic()
    c = Client(port, tls, source)
    try:
        c.sock.settimeout(timeout)
        if tls:
            c.handshake()
        c.send(STATUS)
        return c.answer(), time.monotonic() - start
    finally:
        c.close()


def hold_and_flood(test, port, tls, deadline_s, threads=None, silent=600, tricklers=300, prompt_s=5):
    """One broad scenario against a running program whose head deadline is
    deadline_s. threads(), where the platform can tell, counts the program's
    threads; a real client is to be answered within prompt_s. Returns the
    largest thread count seen."""
    counts = []

    def sample():
        if threads:
            counts.append(threads())

    # One address sends whole heads and holds back their bodies: it gets its
    # share of threads, its further requests wait (over TLS even their
    # handshake, whose answer is a thread's work), other addresses are served.
    base = threads() if threads else 0
    holders = [Client(port, tls).start(HELD_BODY_HEAD) for _ in range(48)]
    waiting = Client(port, tls)
    try:
        # Until the holders that can get a thread have sent their heads.
        sent, still, end = 0, time.monotonic(), time.monotonic() + 20
        while time.monotonic() < min(still + 1, end):
            time.sleep(0.05)
            now = sum(c.pump() for c in holders)
            if now != sent:
                sent, still = now, time.monotonic()
        waiting.start(STATUS)
        answer, took = ask_status(port, tls, source="127.0.0.2")
        test.assertTrue(answer.startswith(b"HTTP/1.1 200 OK"), answer[:80])
        test.assertLess(took, prompt_s)
        if threads:
            test.assertLess(threads() - base, len(holders))
        waiting.sock.settimeout(1)
        test.assertFalse(waiting.pump() and waiting.answer())  # nothing for it yet
    finally:
        for c in holders:
            c.close()
    end = time.monotonic() + 20
    while not waiting.pump() and time.monotonic() < end:
        time.sleep(0.05)
    waiting.sock.settimeout(20)
    test.assertTrue(waiting.answer().startswith(b"HTTP/1.1 200 OK"))
    waiting.close()

    # Silent clients after the handshake, and clients that trickle their head
    # (or their handshake) a byte at a time, from other addresses so that no
    # per-address bound closes them before their deadline.
    flood = []
    slow = []
    try:
        for i in range(silent if tls else 0):
            flood.append(Client(port, tls).handshake())
            if i % 50 == 0:
                sample()
        for i in range(tricklers):
            c = Client(port, tls, source="127.0.0.%d" % (3 + i % 2))
            if tls:
                c.handshake()
            slow.append(c.hold_head())
        if tls:
            slow += [Client(port, tls, source="127.0.0.5").hold_handshake() for _ in range(5)]
        started = time.monotonic()
        for c in slow:
            c.trickle()
        probed = False
        while time.monotonic() < started + deadline_s + 4:
            time.sleep(0.25)
            for c in slow:
                c.trickle()
            sample()
            if not probed and time.monotonic() > started + 1:
                probed = True
                answer, took = ask_status(port, tls)
                test.assertTrue(answer.startswith(b"HTTP/1.1 200 OK"), answer[:80])
                test.assertLess(took, prompt_s)
        test.assertTrue(probed)
        for c in slow:
            test.assertTrue(c.closed(), "a trickler outlived its deadline")
            test.assertGreaterEqual(c.closed_at - c.opened_at, deadline_s - 0.1)
        test.assertTrue(all(c.closed() for c in flood), "a silent client outlived its deadline")
    finally:
        for c in flood + slow:
            c.close()
    sample()
    return max(counts) if counts else 0
