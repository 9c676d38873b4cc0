"""The web root's drive letter under Wine. Wine defines DOS devices that
GetLogicalDrives and QueryDosDeviceW show, but files cannot be reached
through them, so the definitions are checked, not the files. Wine also
reports every user as an administrator: VANTREL_AS_STANDARD_USER=1 makes the
program act as for a standard user, who gets a letter."""

import os
import subprocess
import time
import unittest

import winharness as w

CANDIDATES = ["W:", "T:", "X:", "Y:", "Z:", "U:", "V:", "A:", "B:", "H:",
              "I:", "J:", "K:", "L:", "M:", "N:", "O:", "P:", "Q:", "R:"]
OTHER = "\\??\\C:\\windows"  # someone else's definition


def probe(*args):
    r = subprocess.run(["wine", os.path.join(w.BIN, "drive_probe.exe")] + list(args),
                       capture_output=True, timeout=60)
    return r.returncode, r.stdout.decode().strip()


def target_of(letter):
    rc, out = probe("query", letter)
    return out if rc == 0 else None


def messages():
    path = os.path.join(w.base_folder(), "HTTP.log")
    with open(path, "rb") as f:
        return [l[25:] for l in f.read().decode("utf-8", "replace").split("\r\n") if l]


def start_as_user(*args):
    os.environ["VANTREL_AS_STANDARD_USER"] = "1"
    try:
        proc = w.start("vantrel-http.exe", *args)
    finally:
        del os.environ["VANTREL_AS_STANDARD_USER"]
    return proc


class WineDrive(unittest.TestCase):
    def setUp(self):
        w.reset_base_folder()
        self.taken = []
        self.proc = None

    def tearDown(self):
        if self.proc:
            w.stop(self.proc)
        for letter, target in self.taken:
            probe("remove", letter, target)
        for letter in CANDIDATES:  # whatever the program left behind
            t = target_of(letter)
            if t and t.endswith("\\Vantrel\\files"):
                probe("remove", letter, t)

    def occupy(self, letters):
        for letter in letters:
            self.assertEqual(probe("define", letter, OTHER)[0], 0)
            self.taken.append((letter, OTHER))

    # A Wine prefix made just before the run may still be starting its
    # mount manager, which then drops raw definitions it did not make;
    # the letters this test occupies are checked, and made again, until
    # they hold.
    def hold_occupied(self):
        for _ in range(10):
            lost = [letter for letter, target in self.taken if target_of(letter) != target]
            if not lost:
                return
            for letter in lost:
                probe("define", letter, OTHER)
            time.sleep(1)
        self.fail(f"Wine keeps dropping the test's drive letters: {lost}")

    def run_once(self):
        self.hold_occupied()
        port = w.free_port()
        self.proc = start_as_user("--port", str(port))
        w.wait_until_serving(port)
        return port

    def test_next_free_candidate_and_a_stale_definition_is_reclaimed(self):
        self.occupy([l for l in ("W:", "T:") if target_of(l) is None])
        # The first candidate still free: X: unless an earlier test in this
        # Wine session left a letter defined.
        mask = int(probe("mask")[1])
        letter = next(l for l in CANDIDATES if not (mask >> (ord(l[0]) - ord("A"))) & 1)
        w_target = target_of("W:")
        self.run_once()
        ours = "\\??\\" + "C:\\users\\" + os.environ.get("USER", "root") + "\\AppData\\Local\\Vantrel\\files"
        line = w.log_line("DRIVE   mounted ")
        self.assertEqual(line, f"DRIVE   mounted {letter} -> " + ours[4:])
        self.assertEqual(target_of(letter), ours)
        self.assertEqual(target_of("W:"), w_target)
        self.assertTrue(int(probe("mask")[1]) & (1 << (ord(letter[0]) - ord("A"))))

        # A run that ends without unmounting leaves X: behind; the next run
        # takes it back before choosing, instead of taking the next letter.
        w.stop(self.proc)
        self.assertEqual(target_of(letter), ours)
        self.run_once()
        drive_lines = [m for m in messages() if m.startswith("DRIVE")]
        self.assertEqual(drive_lines, [f"DRIVE   mounted {letter} -> " + ours[4:], f"DRIVE   unmounted {letter}",
                                       f"DRIVE   mounted {letter} -> " + ours[4:]])
        self.assertEqual(target_of("W:"), w_target)

    def test_all_candidates_taken_and_administrator(self):
        self.occupy([l for l in CANDIDATES if not (int(probe("mask")[1]) >> (ord(l[0]) - ord("A"))) & 1])
        self.run_once()
        self.assertEqual(w.log_line("DRIVE   "), "DRIVE   no free drive letter")
        w.stop(self.proc)
        for letter, target in self.taken:
            probe("remove", letter, target)
        self.taken = []

        # Wine's token always reads as an administrator's: no letter then.
        w.reset_base_folder()
        mask = probe("mask")[1]
        port = w.free_port()
        self.proc = w.start("vantrel-http.exe", "--port", str(port))
        w.wait_until_serving(port)
        self.assertEqual(w.log_line("DRIVE   "), "DRIVE   skipped (running as administrator)")
        self.assertEqual(probe("mask")[1], mask)


if __name__ == "__main__":
    unittest.main()
