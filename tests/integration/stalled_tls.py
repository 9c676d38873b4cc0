"""A TLS client that sends its hello, takes the server's whole answer and
then holds back its own last handshake message, as a phone on a poor network
(or a script on purpose) would; later it may finish and make a request."""

import socket
import ssl

from harness import insecure_context


_context = None


def shared_context():
    """One context for all: making one loads the system's certificates, which
    takes longer than a handshake."""
    global _context
    if _context is None:
        _context = insecure_context()
    return _context


class StalledTls:
    def __init__(self, host, port):
        self.sock = socket.create_connection((host, port), timeout=20)
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = shared_context().wrap_bio(self.incoming, self.outgoing, server_hostname="localhost")
        self._handshake()
        self.sock.sendall(self.outgoing.read())

    def _handshake(self):
        try:
            self.tls.do_handshake()
            return True
        except ssl.SSLWantReadError:
            return False

    def take_answer(self):
        while not self._handshake():
            data = self.sock.recv(65536)
            if not data:
                raise ConnectionError("closed during the handshake")
            self.incoming.write(data)
        self.held = self.outgoing.read()  # the client's finish, not sent yet

    def status_answer(self):
        """Sends the held message and GET /api/status; returns the whole answer."""
        self.tls.write(b"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        self.sock.sendall(self.held + self.outgoing.read())
        answer = b""
        while True:
            data = self.sock.recv(65536)
            if not data:
                return answer
            self.incoming.write(data)
            try:
                while chunk := self.tls.read(65536):
                    answer += chunk
            except ssl.SSLWantReadError:
                pass
            except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
                return answer

    def close(self):
        self.sock.close()
