#!/usr/bin/env python3
"""`make bench`: every benchmark against its peers in one run, written as one
Markdown table to build/bench/results.md.

    python3 bench/bench_all.py [--bin build/linux/bin] [--dir /dev/shm] [--runs 5] [--quick]
                               [--no-link | --link-only]

Peers, all serving the same folder on the same file system:
  downloads  nginx (sendfile) and Python's http.server, HTTP and HTTPS
  uploads    curl -F into a bare sink that writes the body to a file, and
             nginx's WebDAV PUT (curl -T), HTTP and HTTPS
  requests   nginx serving a file with the bytes of GET /api/status, wrk,
             same connection count, "Connection: close" on both sides
The rounds are interleaved (every measurement once per round), so the load
that other work puts on the machine hits the peers alike; each ratio is the
median of the per-round ratios, with their lowest and highest as the spread.
Thumbnails (bench_thumbs.py): 100 12-megapixel JPEGs through vantrel-http
against vipsthumbnail, cache hits per second, peak memory growth.
Also: a resumable upload (created, then sent with one PATCH) against the
program's own multipart upload, ZIP download rate against the program's own download rate, the bytes a
reload of an unchanged 5 000-entry listing moves, and the growth of peak
resident memory during the uploads and during 512 simultaneous requests.
Over two emulated links (link/link_rows.py: a Wi-Fi-like one and a slow
one), with the servers and the clients in two network namespaces: downloads,
uploads, a ZIP of photos and page loads in headless Chromium, against the
link's own capacity (iperf3) and nginx. These need root; without it the run
says so and measures over loopback only. --no-link leaves them out,
--link-only measures nothing else.
--quick runs two rounds on smaller files and shorter request runs.
Everything listens on 127.0.0.1 or inside the namespaces, every client has a
time limit, and all processes, namespaces and files are removed at the end,
also when the run is interrupted."""

import argparse
import base64
import datetime
import json
import os
import platform
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "download"))
sys.path.insert(0, os.path.join(HERE, "thumbs"))
sys.path.insert(0, os.path.join(HERE, "link"))
from bench_download import (CURL_LIMIT_S, DEFAULT_BIN, Rounds, Vantrel, curl, free_port, make_file,  # noqa: E402
                            memory_kib, start_python, wait_port, warm_pages)
import bench_thumbs  # noqa: E402
import emulated_link  # noqa: E402
import link_rows  # noqa: E402

MIB = 1 << 20
GIB = 1 << 30
LIST_ENTRIES = 5000
RELOAD_ENTRIES = 40  # the folder whose unchanged listing is reloaded (304) against nginx
ZIP_SMALL_FILES = 1000
ZIP_SMALL_SIZE = 16 * 1024
BURST_CONNECTIONS = 512


def nginx_config(tmp, root, data, cert, key, http_port, https_port):
    return f"""
{'user root;' if os.geteuid() == 0 else ''}
worker_processes auto;
daemon off;
pid {tmp}/nginx.pid;
error_log {tmp}/nginx-error.log;
events {{ worker_connections 2048; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  client_max_body_size 0;
  client_body_temp_path {data}/nginx-body;
  proxy_temp_path {tmp}/nginx-proxy;
  fastcgi_temp_path {tmp}/nginx-fastcgi;
  uwsgi_temp_path {tmp}/nginx-uwsgi;
  scgi_temp_path {tmp}/nginx-scgi;
  server {{
    listen 127.0.0.1:{http_port};
    listen 127.0.0.1:{https_port} ssl;
    ssl_certificate {cert};
    ssl_certificate_key {key};
    ssl_protocols TLSv1.2 TLSv1.3;
    root {root};
    location /put/ {{ root {data}; dav_methods PUT; }}
  }}
}}
"""


def start_nginx(tmp, root, data, cert, key):
    http_port, https_port = free_port(), free_port()
    os.makedirs(os.path.join(data, "put"))
    conf = os.path.join(tmp, "nginx.conf")
    with open(conf, "w") as f:
        f.write(nginx_config(tmp, root, data, cert, key, http_port, https_port))
    proc = subprocess.Popen(["nginx", "-c", conf, "-p", tmp, "-e", os.path.join(tmp, "nginx-error.log")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_port(http_port, proc)
    wait_port(https_port, proc)
    return proc, http_port, https_port


def ranged_curl(url, size, cookie):
    """The second half of a file as one byte range; bytes per second."""
    first = size // 2
    cmd = ["curl", "-s", "-k", "-o", "/dev/null", "--max-time", str(CURL_LIMIT_S), "-r", f"{first}-",
           "-H", "Cookie: " + cookie, "-w", "%{http_code} %{size_download} %{time_total}", url]
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=CURL_LIMIT_S + 10).stdout.split()
    if len(out) != 3 or out[0] != "206" or int(out[1]) != size - first:
        raise RuntimeError(f"ranged download from {url} failed: {out}")
    return (size - first) / float(out[2])


def timed_curl(args, size, what, ok=("200", "201", "204")):
    """One curl run with its own time limit; bytes per second of size."""
    cmd = ["curl", "-s", "-k", "-o", "/dev/null", "--max-time", str(CURL_LIMIT_S),
           "-w", "%{http_code} %{time_total}"] + args
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=CURL_LIMIT_S + 10).stdout.split()
    if len(out) != 2 or out[0] not in ok:
        raise RuntimeError(f"{what} failed: {out}")
    return size / float(out[1])


def wrk_rate(url, seconds, connections, headers=()):
    extra = [a for h in headers for a in ("-H", h)]
    out = subprocess.run(["wrk", "-t2", f"-c{connections}", f"-d{seconds}s", "-H", "Connection: close", *extra, url],
                         capture_output=True, text=True, timeout=seconds + 60).stdout
    if "Non-2xx" in out:
        raise RuntimeError(f"non-2xx answers from {url}")
    return float(next(l.split()[1] for l in out.splitlines() if l.startswith("Requests/sec:")))


def cpu_seconds(pid):
    """User and system time of a process and of its child processes still running (nginx's workers)."""
    total = 0.0
    pids = [pid]
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            pids += [int(c) for c in f.read().split()]
    except OSError:
        pass
    for one in pids:
        try:
            with open(f"/proc/{one}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            pass
    return total


def fill_folder(root, sizes):
    """The served files: the large one, the ZIP selection and the listing folder."""
    make_file(os.path.join(root, "big.bin"), sizes["file"])
    sel = os.path.join(root, "sel")
    os.makedirs(sel)
    names = []
    for i in range(3):
        names.append(f"large{i}.bin")
        make_file(os.path.join(sel, names[-1]), sizes["zip_large"])
    block = os.urandom(ZIP_SMALL_SIZE)
    for i in range(ZIP_SMALL_FILES):
        names.append(f"small{i:04}.txt")
        with open(os.path.join(sel, names[-1]), "wb") as f:
            f.write(block)
    few = os.path.join(root, "few")
    os.makedirs(few)
    for i in range(RELOAD_ENTRIES):
        open(os.path.join(few, f"photo_{i:02}.jpg"), "wb").close()
    listing = os.path.join(root, "list")
    os.makedirs(listing)
    for i in range(LIST_ENTRIES):
        open(os.path.join(listing, f"photo_{i:05}.jpg"), "wb").close()
    archive = sum(os.path.getsize(os.path.join(sel, n)) for n in names)
    archive += sum(30 + 46 + 2 * len("sel/" + n) for n in names) + 22
    return names, archive


def reload_bytes(p):
    """Bytes a reload of the unchanged listing moves: the answer's head and body."""
    def get(extra):
        cmd = ["curl", "-s", "-k", "-D", "-", "-o", "/dev/null", "--max-time", "30", "-H", "Cookie: " + p.cookie,
               "-w", "\n%{http_code} %{size_header} %{size_download}"] + extra + [p.url("/api/list?path=list")]
        return subprocess.run(cmd, capture_output=True, text=True, timeout=40).stdout
    first = get([])
    tag = next((l.split(":", 1)[1].strip() for l in first.splitlines() if l.lower().startswith("etag:")), "")
    full = sum(map(int, first.split()[-2:]))
    code, head, body = get(["-H", "If-None-Match: " + tag] if tag else [])[-40:].split()[-3:]
    return full, int(head) + int(body), code


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bin", default=DEFAULT_BIN, help="folder holding vantrel-http and vantrel-https")
    ap.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                    help="file system of the served folder and every upload (default: /dev/shm)")
    ap.add_argument("--runs", type=int, default=None, help="rounds (default 5, quick 2)")
    ap.add_argument("--quick", action="store_true", help="fewer rounds, 256 MiB files, 2 s request runs")
    ap.add_argument("--no-link", action="store_true", help="loopback rows only")
    ap.add_argument("--link-only", action="store_true", help="the rows over the emulated links only")
    ap.add_argument("--out", default=os.path.normpath(os.path.join(HERE, "../build/bench/results.md")))
    args = ap.parse_args()
    for tool in ("nginx", "curl", "wrk", "vipsthumbnail"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: run scripts/install-deps.sh --bench")
    emulated_link.interruptible()
    link_missing = "left out (--no-link)" if args.no_link else emulated_link.can_emulate()
    if not link_missing:
        link_missing = next((f"the link rows need {tool}" for tool in ("iperf3", "node", "/usr/bin/chromium")
                             if not shutil.which(tool)), None)
    if not link_missing and not os.path.isdir(os.path.join(HERE, "../tests/e2e/node_modules/playwright-core")):
        link_missing = "the link rows need playwright-core (cd tests/e2e && npm ci)"
    if link_missing and args.link_only:
        sys.exit(link_missing)
    if link_missing:
        print(f"{link_missing}: running the loopback rows only", file=sys.stderr)
    runs = args.runs or (2 if args.quick else 5)
    link_part = None
    if not link_missing:
        link_part = link_rows.rows(args.bin, args.dir, args.quick, args.runs or (2 if args.quick else 3),
                                   nginx_config)
        if args.link_only:
            write_table(args.out, render_link_only(link_part))
            return
    file_size = (256 if args.quick else 1024) * MIB
    sizes = {"file": file_size, "zip_large": file_size // 3}
    wrk_seconds = 2 if args.quick else 4
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, max(soft, 8192)), hard))

    tmp = tempfile.mkdtemp(prefix="vantrel-bench-")
    data = tempfile.mkdtemp(prefix="vantrel-bench-data-", dir=args.dir)
    os.chmod(data, 0o755)
    procs, programs = [], []
    try:
        root = os.path.join(data, "www")
        os.makedirs(root)
        names, archive = fill_folder(root, sizes)
        zip_request = os.path.join(tmp, "zip.json")
        with open(zip_request, "w") as f:
            json.dump({"path": "sel", "names": names}, f)

        for name in ("vantrel-http", "vantrel-https"):
            programs.append(Vantrel(args.bin, name, root, tmp))
        plain, tls = programs
        # nginx serves the bytes of the program's own status answer.
        status = subprocess.run(["curl", "-s", plain.url("/api/status")], capture_output=True, timeout=10).stdout
        with open(os.path.join(root, "status.json"), "wb") as f:
            f.write(status)
        # nginx answers a reload of a file holding the small listing's bytes.
        few_list = "/api/list?path=few"
        listed = subprocess.run(["curl", "-s", "-H", "Cookie: " + plain.cookie, plain.url(few_list)],
                                capture_output=True, timeout=10).stdout
        with open(os.path.join(root, "few.json"), "wb") as f:
            f.write(listed)
        cert, key = os.path.join(tls.base, "server.crt"), os.path.join(tls.base, "server.key")
        nginx, nginx_http, nginx_https = start_nginx(tmp, root, data, cert, key)
        procs.append(nginx)
        py_http, py_https = free_port(), free_port()
        procs.append(start_python(root, py_http))
        procs.append(start_python(root, py_https, cert, key))
        sink_port = free_port()
        sink_dir = os.path.join(data, "sink")
        os.makedirs(sink_dir)
        sink = subprocess.Popen([sys.executable, os.path.join(HERE, "sink/upload_sink.py"), str(sink_port), sink_dir])
        procs.append(sink)
        wait_port(sink_port, sink)

        big = os.path.join(root, "big.bin")
        nginx_url = {"HTTP": f"http://127.0.0.1:{nginx_http}", "HTTPS": f"https://127.0.0.1:{nginx_https}"}
        py_url = {"HTTP": f"http://127.0.0.1:{py_http}", "HTTPS": f"https://127.0.0.1:{py_https}"}
        by_proto = {"HTTP": plain, "HTTPS": tls}
        upload_dir = os.path.join(root, "incoming")

        def vantrel_upload(p):
            rate = timed_curl(["-H", "Cookie: " + p.cookie, "-F", f"files=@{big}",
                               p.url("/upload?path=incoming")], file_size, "upload", ok=("200",))
            os.remove(os.path.join(upload_dir, "big.bin"))
            return rate

        def vantrel_resumable(p):
            """Created with one request, sent with one PATCH; only the PATCH is timed."""
            meta = "filename " + base64.b64encode(b"big.bin").decode() + ",path " + base64.b64encode(b"incoming").decode()
            made = subprocess.run(["curl", "-s", "-k", "-o", "/dev/null", "-D", "-", "-X", "POST",
                                   "-H", "Cookie: " + p.cookie, "-H", "Tus-Resumable: 1.0.0",
                                   "-H", f"Upload-Length: {file_size}", "-H", "Upload-Metadata: " + meta,
                                   p.url("/api/tus")], capture_output=True, text=True, timeout=30).stdout
            where = next((l.split(":", 1)[1].strip() for l in made.splitlines() if l.lower().startswith("location:")),
                         None)
            if not where:
                raise RuntimeError(f"resumable upload not created: {made!r}")
            rate = timed_curl(["-X", "PATCH", "-T", big, "-H", "Cookie: " + p.cookie, "-H", "Tus-Resumable: 1.0.0",
                               "-H", "Upload-Offset: 0", "-H", "Content-Type: application/offset+octet-stream",
                               "-H", "Expect:", p.url(where)], file_size, "resumable upload", ok=("204",))
            os.remove(os.path.join(upload_dir, "big.bin"))
            return rate

        def vantrel_zip(p, first=False):
            """first: the large files get a new time, so no CRC the program knows is of them."""
            if first:
                stamp = time.time()
                for n in names:
                    if n.startswith("large"):
                        os.utime(os.path.join(root, "sel", n), (stamp, stamp))
            return timed_curl(["-H", "Cookie: " + p.cookie, "-H", "Content-Type: application/json",
                               "--data-binary", f"@{zip_request}", p.url("/api/zip")], archive, "zip", ok=("200",))

        def nginx_put(proto):
            rate = timed_curl(["-T", big, nginx_url[proto] + "/put/big.bin"], file_size, "PUT")
            os.remove(os.path.join(data, "put", "big.bin"))
            return rate

        def sink_upload():
            return timed_curl(["-F", f"files=@{big}", f"http://127.0.0.1:{sink_port}/"], file_size, "sink")

        def etag(url, headers=()):
            head = subprocess.run(["curl", "-s", "-k", "-D", "-", "-o", "/dev/null",
                                   *[a for h in headers for a in ("-H", h)], url],
                                  capture_output=True, text=True, timeout=10).stdout
            return next(l.split(":", 1)[1].strip() for l in head.splitlines() if l.lower().startswith("etag:"))

        reload_headers = {("vantrel", proto): ["Cookie: " + p.cookie, "If-None-Match: " +
                                               etag(p.url(few_list), ["Cookie: " + p.cookie])]
                          for proto, p in by_proto.items()}
        for proto in by_proto:
            reload_headers[("nginx", proto)] = ["If-None-Match: " + etag(nginx_url[proto] + "/few.json")]

        measures = {}
        for proto, p in by_proto.items():
            measures[("download", proto, "vantrel")] = lambda p=p: curl(p.url("/download?path=big.bin"), file_size,
                                                                        p.cookie)
            measures[("ranged", proto, "vantrel")] = lambda p=p: ranged_curl(p.url("/download?path=big.bin"),
                                                                             file_size, p.cookie)
            measures[("download", proto, "nginx")] = lambda proto=proto: curl(nginx_url[proto] + "/big.bin", file_size)
            measures[("download", proto, "python")] = lambda proto=proto: curl(py_url[proto] + "/big.bin", file_size)
            measures[("upload", proto, "vantrel")] = lambda p=p: vantrel_upload(p)
            measures[("upload", proto, "nginx")] = lambda proto=proto: nginx_put(proto)
            measures[("resumable", proto, "vantrel")] = lambda p=p: vantrel_resumable(p)
            # In this order: the first ZIP of new versions leaves their CRCs known to this
            # program alone, for the one fetched again right after it.
            measures[("zip_first", proto, "vantrel")] = lambda p=p: vantrel_zip(p, first=True)
            measures[("zip", proto, "vantrel")] = lambda p=p: vantrel_zip(p)
            measures[("requests", proto, "vantrel")] = lambda p=p: wrk_rate(p.url("/api/status"), wrk_seconds, 16)
            measures[("requests", proto, "nginx")] = lambda proto=proto: wrk_rate(
                nginx_url[proto] + "/status.json", wrk_seconds, 16)
            measures[("reload", proto, "vantrel")] = lambda p=p, proto=proto: wrk_rate(
                p.url(few_list), wrk_seconds, 16, reload_headers[("vantrel", proto)])
            measures[("reload", proto, "nginx")] = lambda proto=proto: wrk_rate(
                nginx_url[proto] + "/few.json", wrk_seconds, 16, reload_headers[("nginx", proto)])
        measures[("upload", "HTTP", "sink")] = sink_upload

        growth = {}

        server_pid = {"vantrel": lambda key: by_proto[key[1]].proc.pid, "nginx": lambda key: nginx.pid,
                      "sink": lambda key: sink.pid, "python": lambda key: None}
        cpu = Rounds()

        def take(key, run):
            p = by_proto[key[1]]
            before = memory_kib(p.proc.pid)["VmHWM"]
            pid = server_pid[key[2]](key)
            uploading = key[0] in ("upload", "resumable")
            if uploading:
                warm_pages(data, file_size)
            cpu_before = cpu_seconds(pid) if pid else 0
            value = run()
            if uploading and pid:
                cpu.add(key, (cpu_seconds(pid) - cpu_before) * GIB / file_size)
            if uploading and key[2] == "vantrel":
                grew = memory_kib(p.proc.pid)["VmHWM"] - before
                growth[(key[0], p.name)] = max(growth.get((key[0], p.name), 0), grew)
            return value

        # The burst comes first, while the peak is still the idle program's.
        for p in programs:
            before = memory_kib(p.proc.pid)["VmHWM"]
            wrk_rate(p.url("/api/status"), wrk_seconds, BURST_CONNECTIONS)
            growth[("burst", p.name)] = memory_kib(p.proc.pid)["VmHWM"] - before
        start_hwm = {p.name: memory_kib(p.proc.pid)["VmHWM"] for p in programs}
        for key, run in measures.items():  # warm-up: page cache, code paths, TLS
            take(key, run)
        results = Rounds()
        cpu.values.clear()  # the warm-up's time is not the steady state's
        for r in range(runs):
            for key, run in measures.items():
                results.add(key, take(key, run))
            print(f"round {r + 1} of {runs} done", file=sys.stderr)
        for p in programs:
            growth[("whole run", p.name)] = memory_kib(p.proc.pid)["VmHWM"] - start_hwm[p.name]

        listing = {p.name: reload_bytes(p) for p in programs}
        # Thumbnails last: their peak memory is measured from here on.
        thumbs = bench_thumbs.rows(bench_thumbs.rounds(plain, root, runs, wrk_seconds, tmp))

        write_table(args.out, render(results, cpu, growth, listing, thumbs, runs, file_size, wrk_seconds, args,
                                     link_part))
    finally:
        for p in programs:
            p.stop()
        for proc in procs:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.rmtree(data, ignore_errors=True)


def write_table(path, table):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(table)
    print(table)


def machine():
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    mem = next((int(l.split()[1]) // 1024 for l in open("/proc/meminfo") if l.startswith("MemTotal")), 0)
    distro = next((l.split("=", 1)[1].strip().strip('"') for l in open("/etc/os-release")
                   if l.startswith("PRETTY_NAME=")), platform.system())
    return f"{cpu}, {os.cpu_count()} cores, {mem} MiB, {distro}, kernel {platform.release()}"


RATIO_HEAD = ["| measurement | vantrel | peer | unit | ratio | spread | goal | met |", "|---|---:|---:|---|---:|---|---|---|"]
RESULT_HEAD = ["| measurement | result | goal | met |", "|---|---|---|---|"]


def render_link_only(link_part):
    rows, other, heading = link_part
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    return "\n".join([f"Measured {now} on {machine()}; load average at the end {os.getloadavg()[0]:.1f}.",
                      heading, "", *RATIO_HEAD, *rows, "", *RESULT_HEAD, *other, ""])


def render(results, cpu, growth, listing, thumbs, runs, file_size, wrk_seconds, args, link_part=None):
    mb = lambda key: f"{results.median(key) / 1e6:.0f}"  # noqa: E731
    rate = lambda key: f"{results.median(key):.0f}"  # noqa: E731
    rows = []

    def row(what, ours, peer, unit, fmt, goal=None):
        med, lo, hi = results.ratio(ours, peer)
        verdict = "" if goal is None else ("yes" if med >= goal else "**no**")
        rows.append(f"| {what} | {fmt(ours)} | {fmt(peer)} | {unit} | {med:.2f} | {lo:.2f}–{hi:.2f} | "
                    f"{'' if goal is None else f'≥ {goal:g}'} | {verdict} |")

    for proto in ("HTTP", "HTTPS"):
        row(f"download {proto}, vantrel / nginx", ("download", proto, "vantrel"), ("download", proto, "nginx"),
            "MB/s", mb)
        row(f"download {proto}, vantrel / Python http.server", ("download", proto, "vantrel"),
            ("download", proto, "python"), "MB/s", mb)
    row("upload HTTP, vantrel curl -F / sink curl -F", ("upload", "HTTP", "vantrel"), ("upload", "HTTP", "sink"),
        "MB/s", mb, 0.9)
    row("upload HTTP, vantrel curl -F / nginx PUT", ("upload", "HTTP", "vantrel"), ("upload", "HTTP", "nginx"),
        "MB/s", mb, 1.0)
    row("upload HTTPS, vantrel curl -F / nginx PUT", ("upload", "HTTPS", "vantrel"), ("upload", "HTTPS", "nginx"),
        "MB/s", mb, 0.9)
    for proto in ("HTTP", "HTTPS"):
        row(f"resumable upload {proto} (one PATCH) / own multipart upload", ("resumable", proto, "vantrel"),
            ("upload", proto, "vantrel"), "MB/s", mb, 0.9)
    for proto, goal in (("HTTP", 1.0), ("HTTPS", 1.1)):
        row(f"GET /api/status {proto}, vantrel / nginx", ("requests", proto, "vantrel"),
            ("requests", proto, "nginx"), "req/s", rate, goal)
        row(f"reload of an unchanged {RELOAD_ENTRIES}-entry listing (304) {proto}, vantrel / nginx",
            ("reload", proto, "vantrel"), ("reload", proto, "nginx"), "req/s", rate, goal)
    for proto, peer in (("HTTP", "sink"), ("HTTP", "nginx"), ("HTTPS", "nginx")):
        ours, theirs = ("upload", proto, "vantrel"), ("upload", proto, peer)
        med, lo, hi = cpu.ratio(theirs, ours)
        rows.append(f"| server CPU per GiB uploaded {proto}, {peer} / vantrel | {cpu.median(ours):.2f} | "
                    f"{cpu.median(theirs):.2f} | s | {med:.2f} | {lo:.2f}–{hi:.2f} |  |  |")
    for proto in ("HTTP", "HTTPS"):
        ours, theirs = ("resumable", proto, "vantrel"), ("upload", proto, "vantrel")
        med, lo, hi = cpu.ratio(theirs, ours)
        rows.append(f"| server CPU per GiB uploaded {proto}, own multipart / resumable | {cpu.median(ours):.2f} | "
                    f"{cpu.median(theirs):.2f} | s | {med:.2f} | {lo:.2f}–{hi:.2f} |  |  |")
    for proto in ("HTTP", "HTTPS"):
        row(f"ranged download {proto} (second half) / own whole download", ("ranged", proto, "vantrel"),
            ("download", proto, "vantrel"), "MB/s", mb)
        row(f"ZIP {proto}, fetched again / own download", ("zip", proto, "vantrel"), ("download", proto, "vantrel"),
            "MB/s", mb, 0.95)
        row(f"ZIP {proto}, files new to the program / own download", ("zip_first", proto, "vantrel"),
            ("download", proto, "vantrel"), "MB/s", mb, 0.95)

    other = []
    for name, (full, reload, code) in listing.items():
        other.append(f"| {name}: reload of an unchanged {LIST_ENTRIES}-entry listing | {reload} bytes "
                     f"(answer {code}; full answer {full} bytes) | < 1 000 bytes | "
                     f"{'yes' if reload < 1000 else '**no**'} |")
    for (what, name), kib in sorted(growth.items(), key=lambda kv: (kv[0][1], kv[0][0])):
        during = {"upload": "one upload (largest)", "resumable": "one resumable upload (largest)", "burst": f"{BURST_CONNECTIONS} simultaneous GET /api/status",
                  "whole run": "all transfers (downloads, uploads, ZIP)"}[what]
        limit = {"whole run": None, "burst": 16}.get(what, 32)
        goal = "" if limit is None else f"< {limit} MiB"
        met = "" if limit is None else ("yes" if kib < limit * 1024 else "**no**")
        other.append(f"| {name}: growth of peak resident memory during {during} | {kib / 1024:.1f} MiB | "
                     f"{goal} | {met} |")

    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    load = os.getloadavg()
    return "\n".join([
        f"Measured {now} on {machine()}; load average at the end {load[0]:.1f}.",
        f"Loopback, files on {args.dir or tempfile.gettempdir()}, {file_size // MIB} MiB transfers, "
        f"{runs} interleaved rounds, wrk -t2 -c16 for {wrk_seconds} s with \"Connection: close\"; "
        "ratio = median of the per-round ratios, spread = their lowest–highest; higher is better for vantrel "
        "(the CPU rows divide the peer's CPU time by vantrel's).",
        *([link_part[2]] if link_part else []),
        "",
        *RATIO_HEAD,
        *rows,
        *thumbs[0],
        *(link_part[0] if link_part else []),
        "",
        *RESULT_HEAD,
        *other,
        *thumbs[1],
        *(link_part[1] if link_part else []),
        "",
    ])


if __name__ == "__main__":
    main()
