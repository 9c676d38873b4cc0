"""The rows of `make bench` measured over an emulated link (emulated_link.py):
vantrel-http, vantrel-https and nginx in the server namespace, curl, iperf3
and headless Chromium in the client namespace. Each round measures, per link:

  capacity    iperf3, the same number of bytes each way: what a bare TCP
              sender and receiver get out of this link right now
  transfers   the download, the multipart upload (curl -F), the resumable
              upload (one PATCH) and the ZIP of a folder of photos, against
              that capacity, and nginx's download and WebDAV PUT beside them
  page loads  the file manager opened on a folder of 5 000 entries until the
              first screen of the list is painted (and until all its rows
              are), and on a folder of photos in the grid until the tiles on
              the first screen show their thumbnails, each in a new browser
              context; against curl fetching the same number of bytes from
              nginx over one new connection, the fewest round trips those
              bytes can take

bench_all.py calls rows(); the tables are its own."""

import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../download"))
sys.path.insert(0, os.path.join(HERE, "../thumbs"))
import emulated_link as link  # noqa: E402
from bench_thumbs import make_photos  # noqa: E402
from bench_download import Rounds, Vantrel, free_port, make_file  # noqa: E402

MIB = 1 << 20
LIST_ENTRIES = 5000
PHOTOS = 200
# The grid asks for this size in a 1280 px wide window; the first screen's
# thumbnails and those below it are made before the loads.
THUMB_SIZE = 320
MADE_THUMBS = 40
LIMIT_S = 900


def curl(args, what, ok=("200",)):
    """One curl run from the client namespace: status, bytes received, seconds."""
    cmd = ["curl", "-s", "-k", "-o", "/dev/null", "--max-time", str(LIMIT_S),
           "-w", "%{http_code} %{size_download} %{time_total}"] + args
    with link.inside(link.CLIENT_NS):
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=LIMIT_S + 10).stdout.split()
    if len(out) != 3 or out[0] not in ok:
        raise RuntimeError(f"{what} failed: {out}")
    return int(out[1]), float(out[2])


class Servers:
    """The programs (one pair per folder) and nginx, all in the server namespace."""

    def __init__(self, bin_dir, tmp, roots, nginx_config):
        self.tmp = tmp
        self.programs = {}
        self.nginx = None
        with link.inside(link.SERVER_NS):
            for folder, root in roots.items():
                for name in ("vantrel-http", "vantrel-https"):
                    self.programs[(folder, name)] = Vantrel(bin_dir, name, root, os.path.join(tmp, folder))
            self._start_nginx(roots["www"], nginx_config)

    def _start_nginx(self, root, nginx_config):
        tls = self.programs[("www", "vantrel-https")]
        cert, key = os.path.join(tls.base, "server.crt"), os.path.join(tls.base, "server.key")
        data = os.path.join(self.tmp, "nginx-data")
        self.http_port, self.https_port = free_port(), free_port()
        os.makedirs(os.path.join(data, "put"))
        self.put_dir = os.path.join(data, "put")
        conf = os.path.join(self.tmp, "nginx.conf")
        with open(conf, "w") as f:
            text = nginx_config(self.tmp, root, data, cert, key, self.http_port, self.https_port)
            f.write(text.replace("listen 127.0.0.1:", f"listen {link.SERVER_ADDR}:"))
        self.nginx = subprocess.Popen(["nginx", "-c", conf, "-p", self.tmp, "-e", os.path.join(self.tmp, "ngx.log")],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for port in (self.http_port, self.https_port):
            with link.inside(link.CLIENT_NS):
                wait_port_at(link.SERVER_ADDR, port, self.nginx)

    def origin(self, folder, proto):
        p = self.programs[(folder, "vantrel-https" if proto == "HTTPS" else "vantrel-http")]
        return f"{proto.lower()}://{link.SERVER_ADDR}:{p.port}", p.cookie

    def nginx_origin(self, proto):
        return f"{proto.lower()}://{link.SERVER_ADDR}:{self.https_port if proto == 'HTTPS' else self.http_port}"

    def stop(self):
        for p in self.programs.values():
            p.stop()
        if self.nginx:
            link.stop_process(self.nginx)


def wait_port_at(host, port, proc, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        if proc.poll() is not None:
            raise RuntimeError(f"server ended early (rc={proc.returncode})")
        try:
            socket.create_connection((host, port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {host}:{port}")


def accepted_connections():
    """TCP connections the server namespace has accepted so far (its kernel's own count)."""
    with link.inside(link.SERVER_NS):
        with open("/proc/thread-self/net/snmp") as f:
            names, values = [line.split() for line in f if line.startswith("Tcp:")][:2]
    return int(values[names.index("PassiveOpens")])


def page_loads(jobs, ns=link.CLIENT_NS):
    """Each load in Chromium in the client namespace, with the connections the servers accepted for it."""
    errors = tempfile.TemporaryFile(mode="w+")
    with link.inside(ns):
        node = subprocess.Popen(["node", os.path.join(HERE, "page_loads.mjs")], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=errors, text=True)
    try:
        results = []
        for job in jobs:
            before = accepted_connections()
            node.stdin.write(json.dumps(job) + "\n")
            node.stdin.flush()
            line = node.stdout.readline()
            if not line.startswith("{"):
                node.kill()
                node.wait()
                errors.flush()
                errors.seek(0)
                raise RuntimeError("page load failed: " + errors.read()[-2000:])
            results.append(dict(json.loads(line), connections=accepted_connections() - before))
        node.stdin.close()
        node.wait(30)
        return results
    finally:
        if node.poll() is None:
            node.kill()  # the browser goes with the namespace's other processes
            node.wait()
        errors.close()


def measure(settings, bin_dir, data_dir, size, photo_px, runs, nginx_config):
    """Every link measurement, `runs` interleaved rounds; the results and the load records."""
    tmp = tempfile.mkdtemp(prefix="vantrel-link-")
    data = tempfile.mkdtemp(prefix="vantrel-link-data-", dir=data_dir)
    os.chmod(data, 0o755)
    servers = None
    try:
        roots = {name: os.path.join(data, name) for name in ("www", "list", "photos")}
        os.makedirs(roots["www"])
        os.makedirs(roots["list"])
        for folder in roots:
            os.makedirs(os.path.join(tmp, folder))
        big = os.path.join(roots["www"], "big.bin")
        make_file(big, size)
        os.makedirs(os.path.join(roots["www"], "incoming"))
        for i in range(LIST_ENTRIES):
            open(os.path.join(roots["list"], f"photo_{i:05}.jpg"), "wb").close()
        photos = make_photos(roots["photos"], *photo_px, count=PHOTOS)
        zip_bytes = sum(os.path.getsize(os.path.join(roots["photos"], n)) for n in photos)
        zip_bytes += sum(30 + 46 + 2 * len(n) for n in photos) + 22
        zip_request = os.path.join(tmp, "zip.json")
        with open(zip_request, "w") as f:
            json.dump({"path": "", "names": photos}, f)

        with link.Link(settings) as the_link:
            servers = Servers(bin_dir, tmp, roots, nginx_config)
            rtt = link.round_trip_ms()
            for proto in ("HTTP", "HTTPS"):  # thumbnails are made once; the loads find them made
                origin, cookie = servers.origin("photos", proto)
                for n in photos[:MADE_THUMBS]:
                    curl(["-H", "Cookie: " + cookie, origin + f"/api/thumb?path={n}&size={THUMB_SIZE}"], "thumbnail")

            def download(proto):
                origin, cookie = servers.origin("www", proto)
                return size / curl(["-H", "Cookie: " + cookie, origin + "/download?path=big.bin"], "download")[1]

            def nginx_download(proto):
                return size / curl([servers.nginx_origin(proto) + "/big.bin"], "nginx download")[1]

            def upload(proto):
                origin, cookie = servers.origin("www", proto)
                took = curl(["-H", "Cookie: " + cookie, "-F", f"files=@{big}", origin + "/upload?path=incoming"],
                            "upload")[1]
                os.remove(os.path.join(roots["www"], "incoming", "big.bin"))
                return size / took

            def resumable(proto):
                origin, cookie = servers.origin("www", proto)
                meta = "filename " + base64.b64encode(b"big.bin").decode() + ",path " + \
                    base64.b64encode(b"incoming").decode()
                with link.inside(link.CLIENT_NS):
                    made = subprocess.run(
                        ["curl", "-s", "-k", "-o", "/dev/null", "-D", "-", "-X", "POST", "-H", "Cookie: " + cookie,
                         "-H", "Tus-Resumable: 1.0.0", "-H", f"Upload-Length: {size}", "-H",
                         "Upload-Metadata: " + meta, origin + "/api/tus"],
                        capture_output=True, text=True, timeout=60).stdout
                where = next((l.split(":", 1)[1].strip() for l in made.splitlines()
                              if l.lower().startswith("location:")), None)
                if not where:
                    raise RuntimeError(f"resumable upload not created: {made!r}")
                took = curl(["-X", "PATCH", "-T", big, "-H", "Cookie: " + cookie, "-H", "Tus-Resumable: 1.0.0",
                             "-H", "Upload-Offset: 0", "-H", "Content-Type: application/offset+octet-stream",
                             "-H", "Expect:", origin + where], "resumable upload", ok=("204",))[1]
                os.remove(os.path.join(roots["www"], "incoming", "big.bin"))
                return size / took

            def nginx_put(proto):
                took = curl(["-T", big, servers.nginx_origin(proto) + "/put/big.bin"], "PUT",
                            ok=("201", "204"))[1]
                os.remove(os.path.join(servers.put_dir, "big.bin"))
                return size / took

            def zip_download(proto):
                origin, cookie = servers.origin("photos", proto)
                got, took = curl(["-H", "Cookie: " + cookie, "-H", "Content-Type: application/json",
                                  "--data-binary", f"@{zip_request}", origin + "/api/zip"], "zip")
                if got != zip_bytes:
                    raise RuntimeError(f"ZIP of {got} bytes, expected {zip_bytes}")
                return zip_bytes / took

            def reference(proto, nbytes):
                """The same bytes from nginx: one new connection, one request."""
                name = f"ref-{nbytes}.bin"
                path = os.path.join(roots["www"], name)
                if not os.path.exists(path):
                    make_file(path, nbytes)
                return curl([servers.nginx_origin(proto) + "/" + name], "reference")[1] * 1000

            def pages(proto, loopback=False):
                jobs = []
                for folder, rows, grid in (("list", LIST_ENTRIES, False), ("photos", PHOTOS, True)):
                    origin, cookie = servers.origin(folder, proto)
                    if loopback:
                        origin = origin.replace(link.SERVER_ADDR, "127.0.0.1")
                    jobs.append({"origin": origin, "cookie": cookie, "rows": rows, "grid": grid})
                return page_loads(jobs, link.SERVER_NS if loopback else link.CLIENT_NS)

            results, loads = Rounds(), {}
            capacity = {"down": lambda: link.iperf3(nbytes=size, download=True),
                        "up": lambda: link.iperf3(nbytes=size, download=False)}
            pages("HTTP")  # warm-up: the browser's own start, the programs' page paths
            for r in range(runs):
                for way, run in capacity.items():
                    results.add(("capacity", way), run())
                for proto in ("HTTP", "HTTPS"):
                    for what, run in (("download", download), ("nginx download", nginx_download),
                                      ("upload", upload), ("resumable", resumable), ("nginx put", nginx_put),
                                      ("zip", zip_download)):
                        results.add((what, proto), run(proto))
                    for kind, got in zip(("list", "photos"), pages(proto)):
                        ref = reference(proto, got["bytes"])
                        results.add(("page", kind, proto), got["firstMs"] if kind == "list" else got["thumbsMs"])
                        results.add(("page ref", kind, proto), ref)
                        if kind == "list":
                            results.add(("page all", kind, proto), got["listMs"])
                            results.add(("page all ref", kind, proto), ref)
                        loads[(kind, proto)] = got
                print(f"link {settings.short()}: round {r + 1} of {runs} done", file=sys.stderr)
            # The same loads without the link: what the browser and the servers take by themselves.
            for proto in ("HTTP", "HTTPS"):
                for kind, got in zip(("list", "photos"), pages(proto, loopback=True)):
                    loads[(kind, proto)]["loopback"] = got
        return {"results": results, "loads": loads, "kind": the_link.kind, "rtt": rtt, "size": size,
                "zip_bytes": zip_bytes, "counters": the_link.counters, "settings": settings, "runs": runs}
    finally:
        if servers:
            servers.stop()
        link.remove_namespaces()
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.rmtree(data, ignore_errors=True)


def render(m):
    """Rows for the ratio table, rows for the result table, and the heading's sentence."""
    r, s = m["results"], m["settings"]
    tag = f"link {s.short()}"
    mb = lambda key: f"{r.median(key) / 1e6:.1f}"  # noqa: E731
    ms = lambda key: f"{r.median(key):.0f}"  # noqa: E731
    rows, other = [], []

    def row(what, ours, peer, unit, fmt, goal=None, at_most=False):
        med, lo, hi = r.ratio(ours, peer)
        if goal is None:
            verdict, goal_text = "", ""
        elif at_most:
            verdict, goal_text = ("yes" if med <= goal else "**no**"), f"≤ {goal:.1f}"
        else:
            verdict, goal_text = ("yes" if med >= goal else "**no**"), f"≥ {goal:.1f}"
        rows.append(f"| {tag}: {what} | {fmt(ours)} | {fmt(peer)} | {unit} | {med:.2f} | {lo:.2f}–{hi:.2f} | "
                    f"{goal_text} | {verdict} |")

    down, up = ("capacity", "down"), ("capacity", "up")
    for proto in ("HTTP", "HTTPS"):
        row(f"download {proto}, vantrel / link capacity", ("download", proto), down, "MB/s", mb, 0.9)
        row(f"download {proto}, nginx / link capacity", ("nginx download", proto), down, "MB/s", mb)
        row(f"upload {proto}, vantrel curl -F / link capacity", ("upload", proto), up, "MB/s", mb, 0.9)
        row(f"resumable upload {proto} (one PATCH) / link capacity", ("resumable", proto), up, "MB/s", mb, 0.9)
        row(f"upload {proto}, nginx PUT / link capacity", ("nginx put", proto), up, "MB/s", mb)
        row(f"ZIP of {PHOTOS} photos {proto} / link capacity", ("zip", proto), down, "MB/s", mb)
    for proto in ("HTTP", "HTTPS"):
        row(f"file manager on {LIST_ENTRIES} entries {proto} to the first screen of the list, vantrel / same bytes "
            "in one request", ("page", "list", proto), ("page ref", "list", proto), "ms", ms, 1.5, at_most=True)
        row(f"file manager on {LIST_ENTRIES} entries {proto} to all rows drawn, vantrel / same bytes in one request",
            ("page all", "list", proto), ("page all ref", "list", proto), "ms", ms, at_most=True)
        row(f"file manager on {PHOTOS} photos {proto} to the first screen of thumbnails in the grid, vantrel / "
            "same bytes in one request", ("page", "photos", proto), ("page ref", "photos", proto), "ms", ms, 1.5,
            at_most=True)
    for (kind, proto), got in sorted(m["loads"].items()):
        what = f"{LIST_ENTRIES} entries" if kind == "list" else f"{PHOTOS} photos in the grid"
        shakes = ", each with a TLS handshake" if proto == "HTTPS" else ""
        def arrived(load):
            text = (f"page {load['pageMs']:.0f} ms, listing asked {load['listingStartMs']:.0f} ms and arrived "
                    f"{load['listingMs']:.0f} ms, first screen {load['firstMs']:.0f} ms, all rows {load['listMs']:.0f} ms")
            if kind == "photos":
                text += (f", the {load['tiles']} tiles on the first screen with their thumbnails {load['thumbsMs']:.0f} "
                         f"ms ({load['thumbRequests']} thumbnails asked for)")
            return text
        other.append(f"| {tag}: file manager on {what} {proto}: the last load | {got['requests']} requests, "
                     f"{got['bytes'] / 1000:.0f} kB, {got['connections']} TCP connections accepted{shakes}; "
                     f"{arrived(got)} from navigation start; the same load over loopback: "
                     f"{arrived(got['loopback'])} |  |  |")
    cap_down, cap_up = r.median(down) * 8 / 1e6, r.median(up) * 8 / 1e6
    share = s.rate_mbit * link.TCP_SHARE
    other.append(f"| {tag}: link capacity (iperf3 TCP, {m['size'] // MIB} MiB each way, median) | "
                 f"{cap_down:.0f} Mbit/s to the client, {cap_up:.0f} Mbit/s to the server "
                 f"({cap_down / share:.2f} and {cap_up / share:.2f} of the {share:.0f} Mbit/s TCP payload rate); "
                 f"round trip {m['rtt'][0]:.1f} ms least, {m['rtt'][1]:.1f} ms median |  |  |")
    heading = (f"link {s.short()}: {s.describe()}, drop-tail queue of {s.queue_bytes // 1024} KiB, "
               f"{m['size'] // MIB} MiB transfers, ZIP {m['zip_bytes'] / 1e6:.0f} MB, {m['runs']} rounds")
    return rows, other, heading, m["kind"]


def rows(bin_dir, data_dir, quick, runs, nginx_config):
    """Both links, one after the other; ratio rows, result rows and the heading text."""
    plan = [(link.WIFI, (32 if quick else 256) * MIB), (link.SLOW, (8 if quick else 64) * MIB)]
    photo_px = (1000, 750) if quick else (2000, 1500)
    all_rows, all_other, headings, kind = [], [], [], ""
    for settings, size in plan:
        got = measure(settings, bin_dir, data_dir, size, photo_px, runs, nginx_config)
        print(got["counters"], file=sys.stderr)
        r, o, h, kind = render(got)
        all_rows += r
        all_other += o
        headings.append(h)
    text = (f"Link rows: servers and clients in two network namespaces joined by {kind}, MTU 1500; "
            + "; ".join(headings) + ". Link capacity = iperf3 (TCP, the same number of bytes) in the same round. "
            "Page loads: headless Chromium (1280 x 720 window), a new browser context (no cache, no open "
            "connection) per load, from navigation start to the first frame painted with the rows reaching past "
            "the window's bottom (what the user sees; the rows below come in batches after it), to the frame "
            "with all rows, and for the photos, opened in the grid, to the frame in which every tile on the "
            f"screen shows its thumbnail ({THUMB_SIZE} px, already made; the page asks for them at most 4 at "
            "a time); against curl fetching the same number of bytes from nginx over one new connection; for "
            "these rows lower is better.")
    return all_rows, all_other, text
