#!/usr/bin/env python3
"""Upload and ZIP benchmark: in one run against vantrel-http and
vantrel-https, the 1 GiB download (the reference), the upload of a 1 GiB
file as one multipart part (curl -F) and the ZIP download of a 2 GiB
selection (a few large files and a thousand small ones). Prints median
rates, the ratios to the download, and the growth of each program's peak
resident memory (VmHWM) during the uploads and during the ZIP downloads.
For scale it also times curl -F into a bare socket sink: the client's own
ceiling, which no server can pass.

    python3 bench/upload_zip/bench_upload_zip.py [--bin build/linux/bin] [--dir /dev/shm] [--runs 3]

--dir picks where the served folder lives: on a disk, uploads run at the
disk's write speed; on tmpfs (/dev/shm) they show the server's own cost.
Needs curl. Everything listens on 127.0.0.1 only, every client run has a
time limit, and all processes and files are removed at the end."""

import argparse
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../download"))
from bench_download import CURL_LIMIT_S, DEFAULT_BIN, Vantrel, curl, make_file, memory_kib, warm_pages  # noqa: E402

GIB = 1 << 30
LARGE_FILES = 3
SMALL_FILES = 1000
SMALL_SIZE = 16 * 1024


def timed_curl(args, expect_size, what):
    """Runs curl with -w "code size time"; returns bytes per second."""
    cmd = ["curl", "-s", "-k", "--max-time", str(CURL_LIMIT_S), "-w", "%{http_code} %{size_download} "
           "%{size_upload} %{time_total}"] + args
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=CURL_LIMIT_S + 10).stdout
    fields = out.split()[-4:]
    if len(fields) != 4 or fields[0] != "200":
        raise RuntimeError(f"{what} failed: {out[-300:]}")
    return expect_size / float(fields[3])


def sink_once(listener):
    """Takes one request, reads its declared body into one reused buffer, answers 200."""
    conn, _ = listener.accept()
    with conn:
        head = b""
        while b"\r\n\r\n" not in head:
            head += conn.recv(65536)
        head, rest = head.split(b"\r\n\r\n", 1)
        length = next(int(l.split(b":")[1]) for l in head.split(b"\r\n") if l.lower().startswith(b"content-length:"))
        if b"100-continue" in head.lower():  # else curl waits a second before sending the body
            conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
        left, buf = length - len(rest), memoryview(bytearray(1 << 20))
        while left > 0:
            n = conn.recv_into(buf, min(left, len(buf)))
            if n <= 0:
                break
            left -= n
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")


def upload_to_sink(path, size):
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        t = threading.Thread(target=sink_once, args=(listener,))
        t.start()
        try:
            return timed_curl(["-o", "/dev/null", "-F", f"files=@{path}",
                               f"http://127.0.0.1:{listener.getsockname()[1]}/"], size, "sink upload")
        finally:
            t.join(CURL_LIMIT_S)


def upload(p, path, size):
    return timed_curl(["-o", "/dev/null", "-H", "Cookie: " + p.cookie, "-F", f"files=@{path}",
                       p.url("/upload?path=incoming")], size, "upload")


def zip_download(p, request_file, archive_size):
    return timed_curl(["-o", "/dev/null", "-H", "Cookie: " + p.cookie, "-H", "Content-Type: application/json",
                       "--data-binary", f"@{request_file}",
                       p.url("/api/zip")], archive_size, "zip")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=DEFAULT_BIN, help="folder holding vantrel-http and vantrel-https")
    ap.add_argument("--dir", default=None, help="where the served folder is made (default: the temp folder)")
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    if not shutil.which("curl"):
        sys.exit("curl is missing: apt-get install curl")

    tmp = tempfile.mkdtemp(prefix="vantrel-bench-")
    data_dir = tempfile.mkdtemp(prefix="vantrel-bench-data-", dir=args.dir) if args.dir else tmp
    programs = []
    try:
        root = os.path.join(data_dir, "www")
        os.makedirs(os.path.join(root, "sel"))
        big = os.path.join(root, "big.bin")
        make_file(big, GIB)
        small_total = SMALL_FILES * SMALL_SIZE
        large_size = (2 * GIB - small_total) // LARGE_FILES
        names = []
        for i in range(LARGE_FILES):
            names.append(f"large{i}.bin")
            make_file(os.path.join(root, "sel", names[-1]), large_size)
        block = os.urandom(SMALL_SIZE)
        for i in range(SMALL_FILES):
            names.append(f"small{i:04}.txt")
            with open(os.path.join(root, "sel", names[-1]), "wb") as f:
                f.write(block)
        request_file = os.path.join(tmp, "zip.json")
        with open(request_file, "w") as f:
            json.dump({"path": "sel", "names": names}, f)
        selection = LARGE_FILES * large_size + small_total
        archive_size = selection + sum(30 + 46 + 2 * (len("sel/") + len(n)) for n in names) + 22

        for name in ("vantrel-http", "vantrel-https"):
            programs.append(Vantrel(args.bin, name, root, tmp))

        rates = {(p.name, k): [] for p in programs for k in ("download", "upload", "zip")}
        rates[("sink", "upload")] = []
        growth = {(p.name, k): 0 for p in programs for k in ("upload", "zip")}
        for p in programs:  # warm-up: page cache and the code paths of each
            curl(p.url("/download?path=big.bin"), GIB, p.cookie)
            zip_download(p, request_file, archive_size)
        for _ in range(args.runs):  # round robin, so drift hits every measurement alike
            rates[("sink", "upload")].append(upload_to_sink(big, GIB))
            for p in programs:
                rates[(p.name, "download")].append(curl(p.url("/download?path=big.bin"), GIB, p.cookie))
                warm_pages(data_dir, GIB)
                before = memory_kib(p.proc.pid)["VmHWM"]
                rates[(p.name, "upload")].append(upload(p, big, GIB))
                mid = memory_kib(p.proc.pid)["VmHWM"]
                rates[(p.name, "zip")].append(zip_download(p, request_file, archive_size))
                after = memory_kib(p.proc.pid)["VmHWM"]
                growth[(p.name, "upload")] = max(growth[(p.name, "upload")], mid - before)
                growth[(p.name, "zip")] = max(growth[(p.name, "zip")], after - mid)
                os.remove(os.path.join(root, "incoming", "big.bin"))

        median = {k: statistics.median(v) / 1e6 for k, v in rates.items()}
        where = args.dir or tempfile.gettempdir()
        print(f"\nServed folder in {where}; median of {args.runs} runs, MB/s (10^6 bytes/s)")
        print(f"{'':16}{'download':>10}{'upload':>10}{'zip':>10}{'up/dl':>8}{'zip/dl':>8}")
        for p in programs:
            d, u, z = (median[(p.name, k)] for k in ("download", "upload", "zip"))
            print(f"{p.name:16}{d:10.0f}{u:10.0f}{z:10.0f}{u / d:8.2f}{z / d:8.2f}")
        print(f"{'curl -F to sink':16}{'':10}{median[('sink', 'upload')]:10.0f}")
        print("goals: up/dl >= 0.70, zip/dl >= 0.50")
        print("\nGrowth of peak resident memory (VmHWM, KiB), largest of the runs")
        for p in programs:
            print(f"{p.name:16}upload {growth[(p.name, 'upload')]:8}   zip {growth[(p.name, 'zip')]:8}")
        print("goal: below 32768 KiB")
    finally:
        for p in programs:
            p.stop()
        shutil.rmtree(tmp, ignore_errors=True)
        if data_dir != tmp:
            shutil.rmtree(data_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
