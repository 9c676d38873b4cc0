"""vantrel-https.exe under Wine makes its certificate for the address that
the adapter and route calls lead to: this machine's default-route address."""

import fcntl
import os
import socket
import struct
import subprocess
import unittest

import winharness as w

SIOCGIFADDR = 0x8915


def interface_ipv4(name):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        res = fcntl.ioctl(s.fileno(), SIOCGIFADDR, struct.pack("256s", name.encode()[:15]))
    except OSError:
        return None
    finally:
        s.close()
    addr = socket.inet_ntoa(res[20:24])
    return None if addr.startswith("169.254.") or addr == "0.0.0.0" else addr


def default_route_addresses():
    """Wine reports metric 0 for every route, so any default route may win."""
    names = []
    with open("/proc/net/route") as f:
        next(f)
        for line in f:
            fields = line.split()
            if len(fields) >= 8 and int(fields[3], 16) & 1 and fields[1] == "00000000" and fields[7] == "00000000":
                names.append(fields[0])
    return [a for a in (interface_ipv4(n) for n in names) if a]


class WineAddress(unittest.TestCase):
    def test_certificate_names_the_default_route_address(self):
        w.reset_base_folder()
        candidates = default_route_addresses()
        port = w.free_port()
        proc = w.start("vantrel-https.exe", "--port", str(port))
        try:
            status, _ = w.wait_until_serving(port, tls=True)
            self.assertEqual(status, 200)
        finally:
            w.stop(proc)
        with open(os.path.join(w.base_folder(), "server.ip")) as f:
            recorded = f.read().strip()
        if candidates:
            self.assertIn(recorded, candidates)
        else:
            self.assertEqual(recorded, "127.0.0.1")
        san = subprocess.run(["openssl", "x509", "-noout", "-ext", "subjectAltName", "-in",
                              os.path.join(w.base_folder(), "server.crt")], capture_output=True, text=True).stdout
        self.assertIn("IP Address:" + recorded, san)
        self.assertIn("DNS:localhost", san)


if __name__ == "__main__":
    unittest.main()
