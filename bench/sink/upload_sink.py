#!/usr/bin/env python3
"""The upload sink: the floor any upload server stands on. It takes one
request at a time, answers "Expect: 100-continue" as a server would, copies
the declared body (multipart framing and all) from the socket into a file in
the given folder with reads of up to 1 MiB, and answers 200.

    python3 bench/sink/upload_sink.py PORT FOLDER

Listens on 127.0.0.1 only; runs until killed."""

import os
import socket
import sys

CHUNK = 1 << 20


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


def serve_one(conn, folder):
    head = b""
    while b"\r\n\r\n" not in head:
        piece = conn.recv(65536)
        if not piece:
            return
        head += piece
    head, rest = head.split(b"\r\n\r\n", 1)
    lines = [l.lower() for l in head.split(b"\r\n")[1:]]
    length = next(int(l.split(b":", 1)[1]) for l in lines if l.startswith(b"content-length:"))
    if any(l.startswith(b"expect:") and b"100-continue" in l for l in lines):
        conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
    path = os.path.join(folder, "sink.bin")
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        write_all(fd, memoryview(rest)[:length])
        left = length - min(len(rest), length)
        buf = memoryview(bytearray(CHUNK))
        while left > 0:
            n = conn.recv_into(buf, min(left, CHUNK))
            if n <= 0:
                return
            write_all(fd, buf[:n])
            left -= n
    finally:
        os.close(fd)
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    with socket.socket() as listener:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", port))
        listener.listen(16)
        while True:
            conn, _ = listener.accept()
            with conn:
                serve_one(conn, folder)


if __name__ == "__main__":
    main()
