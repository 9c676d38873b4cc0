#!/usr/bin/env python3
"""Thumbnails: 100 distinct 12-megapixel JPEGs made here, shrunk to 320
pixels by vantrel-http with two clients against libvips' own vipsthumbnail
command with two processes on the same files, as a ratio per round; then
one cached thumbnail asked for again and again (wrk, "Connection: close"),
and the growth of the program's peak resident memory.

    python3 bench/thumbs/bench_thumbs.py [--bin build/linux/bin] [--dir /dev/shm] [--runs 3]

bench_all.py runs the same through rounds() and rows()."""

import argparse
import http.client
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../download"))
from bench_download import DEFAULT_BIN, Vantrel, memory_kib  # noqa: E402

PHOTOS = 100
WIDTH, HEIGHT = 4000, 3000
SIZE = 320
LIMIT_S = 600


def make_photos(folder, width=WIDTH, height=HEIGHT, count=PHOTOS):
    """One textured photo, then copies made distinct by a comment segment
    (each is decoded in full, as a different photo would be)."""
    work = tempfile.mkdtemp(prefix="vantrel-photo-")
    try:
        base = os.path.join(work, "base.jpg")
        steps = [["gaussnoise", "noise.v", str(width), str(height), "--mean", "128", "--sigma", "40"],
                 ["gaussblur", "noise.v", "soft.v", "1.5"], ["cast", "soft.v", "grey.v", "uchar"],
                 ["bandjoin", "grey.v grey.v grey.v", "rgb.v"], ["copy", "rgb.v", base + "[Q=85]"]]
        for step in steps:
            subprocess.run(["vips"] + step, cwd=work, check=True, timeout=LIMIT_S)
        with open(base, "rb") as f:
            jpeg = f.read()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    os.makedirs(folder)
    names = []
    for i in range(count):
        note = f"photo {i}".encode()
        names.append(f"IMG_{i:04}.jpg")
        with open(os.path.join(folder, names[-1]), "wb") as f:
            f.write(jpeg[:2] + b"\xff\xfe" + struct.pack(">H", len(note) + 2) + note + jpeg[2:])
    return names


def touch_all(folder, names, stamp):
    """New modification times: every thumbnail has to be made again."""
    for n in names:
        os.utime(os.path.join(folder, n), (stamp, stamp))


def program_rate(p, folder_name, names, clients=2):
    """Thumbnails per second through the program, clients asking in parallel."""
    errors = []

    def client(part):
        for n in part:
            conn = http.client.HTTPConnection("127.0.0.1", p.port, timeout=120)
            try:
                conn.request("GET", f"/api/thumb?path={folder_name}/{n}&size={SIZE}", headers={"Cookie": p.cookie})
                r = conn.getresponse()
                body = r.read()
                if r.status != 200 or body[:2] != b"\xff\xd8":
                    errors.append((n, r.status))
            finally:
                conn.close()

    threads = [threading.Thread(target=client, args=(names[i::clients],)) for i in range(clients)]
    start = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    took = time.monotonic() - start
    if errors:
        raise RuntimeError(f"thumbnails failed: {errors[:3]}")
    return len(names) / took


def vipsthumbnail_rate(folder, names, out, processes=2):
    """Thumbnails per second by the vipsthumbnail command, processes in parallel."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.monotonic()
    procs = [subprocess.Popen(["vipsthumbnail", "-s", str(SIZE), "-o", os.path.join(out, "%s.jpg")] +
                              [os.path.join(folder, n) for n in names[i::processes]]) for i in range(processes)]
    for proc in procs:
        if proc.wait(LIMIT_S) != 0:
            raise RuntimeError("vipsthumbnail failed")
    took = time.monotonic() - start
    return len(names) / took


def cache_hit_rate(p, folder_name, name, seconds):
    url = f"http://127.0.0.1:{p.port}/api/thumb?path={folder_name}/{name}&size={SIZE}"
    out = subprocess.run(["wrk", "-t2", "-c16", f"-d{seconds}s", "-H", "Connection: close", "-H",
                          "Cookie: " + p.cookie, url], capture_output=True, text=True, timeout=seconds + 60).stdout
    if "Non-2xx" in out:
        raise RuntimeError("non-2xx answers to the cached thumbnail")
    return float(next(l.split()[1] for l in out.splitlines() if l.startswith("Requests/sec:")))


def rounds(p, root, runs, wrk_seconds, work):
    """Per-round program and vipsthumbnail rates, cache-hit rates, and the
    growth of peak memory (KiB) over the thumbnail runs."""
    folder = os.path.join(root, "photos")
    names = make_photos(folder)
    result = {"program": [], "vipsthumbnail": [], "hits": [], "growth": 0}
    start_hwm = memory_kib(p.proc.pid)["VmHWM"]
    stamp = int(time.time()) - 86400
    for r in range(runs + 1):  # the first round warms up the page cache and the library
        touch_all(folder, names, stamp - r)
        ours = program_rate(p, "photos", names)
        theirs = vipsthumbnail_rate(folder, names, os.path.join(work, "vipsthumbnail-out"))
        hits = cache_hit_rate(p, "photos", names[0], wrk_seconds)
        if r > 0:
            result["program"].append(ours)
            result["vipsthumbnail"].append(theirs)
            result["hits"].append(hits)
        print(f"thumbnails round {r} of {runs} done{' (warm-up)' if r == 0 else ''}", file=sys.stderr)
    result["growth"] = memory_kib(p.proc.pid)["VmHWM"] - start_hwm
    shutil.rmtree(folder, ignore_errors=True)
    return result


def rows(result):
    """Two tables' rows: ratios, then single results."""
    per_round = [a / b for a, b in zip(result["program"], result["vipsthumbnail"])]
    med = statistics.median(per_round)
    ratio_rows = [f"| thumbnails of {PHOTOS} 12-MP JPEGs to {SIZE} px, vantrel-http 2 clients / vipsthumbnail "
                  f"2 processes | {statistics.median(result['program']):.1f} | "
                  f"{statistics.median(result['vipsthumbnail']):.1f} | photos/s | {med:.2f} | "
                  f"{min(per_round):.2f}–{max(per_round):.2f} | ≥ 0.8 | {'yes' if med >= 0.8 else '**no**'} |"]
    hits = statistics.median(result["hits"])
    mib = result["growth"] / 1024
    other_rows = [
        f"| vantrel-http: cached thumbnail, requests per second (wrk -c16, \"Connection: close\") | {hits:.0f} req/s "
        f"| ≥ 1 000 req/s | {'yes' if hits >= 1000 else '**no**'} |",
        f"| vantrel-http: growth of peak resident memory during the thumbnail runs | {mib:.1f} MiB | < 128 MiB | "
        f"{'yes' if mib < 128 else '**no**'} |"]
    return ratio_rows, other_rows


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=DEFAULT_BIN)
    ap.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--wrk-seconds", type=int, default=4)
    args = ap.parse_args()
    for tool in ("vipsthumbnail", "wrk"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run scripts/install-deps.sh --bench")
    tmp = tempfile.mkdtemp(prefix="vantrel-bench-")
    data = tempfile.mkdtemp(prefix="vantrel-bench-data-", dir=args.dir)
    p = None
    try:
        root = os.path.join(data, "www")
        os.makedirs(root)
        p = Vantrel(args.bin, "vantrel-http", root, tmp)
        ratio_rows, other_rows = rows(rounds(p, root, args.runs, args.wrk_seconds, tmp))
        print("| measurement | vantrel | peer | unit | ratio | spread | goal | met |")
        print("|---|---:|---:|---|---:|---|---|---|")
        print("\n".join(ratio_rows))
        print("\n| measurement | result | goal | met |\n|---|---|---|---|")
        print("\n".join(other_rows))
    finally:
        if p:
            p.stop()
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.rmtree(data, ignore_errors=True)


if __name__ == "__main__":
    main()
