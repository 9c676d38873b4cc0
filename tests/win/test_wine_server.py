"""vantrel-http.exe under Wine: serves a Linux client, writes its log file,
and a second instance leaves at once."""

import os
import time
import unittest

import winharness as w


class WineServer(unittest.TestCase):
    def test_http_serves_and_second_instance_exits(self):
        w.reset_base_folder()
        port = w.free_port()
        first = w.start("vantrel-http.exe", "--port", str(port))
        try:
            status, body = w.wait_until_serving(port)
            self.assertEqual(status, 200)
            self.assertEqual(body, b'{"running":true,"port":%d}' % port)

            began = time.time()
            second = w.start("vantrel-http.exe", "--port", str(w.free_port()))
            rc = second.wait(timeout=30)  # the notice closes itself after 3 s
            self.assertEqual(rc, 0)
            self.assertLess(time.time() - began, 30)
            self.assertEqual(w.get(port, "/api/status")[0], 200)

            with open(os.path.join(w.base_folder(), "HTTP.log"), "rb") as f:
                log = f.read()
            self.assertIn(b"  APP     start\r\n", log)
            self.assertIn(b"  PATH    base=C:\\users\\", log)
            self.assertIn(b"  SERVER  listening (HTTP) on port %d\r\n" % port, log)
            self.assertEqual(log.count(b"APP     start"), 1)  # the second copy touched nothing
        finally:
            w.stop(first)


if __name__ == "__main__":
    unittest.main()
