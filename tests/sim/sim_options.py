# SPDX-License-Identifier: MIT
"""The simulated device's command line: help, refusal of bad options, signals, start-up
failures."""
import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import unittest

from simlib import SIM, Sim, status_of


def run(*args):
    return subprocess.run([SIM, *args], capture_output=True, text=True, timeout=10)


class CommandLine(unittest.TestCase):
    def test_help_lists_every_option(self):
        out = run("--help")
        self.assertEqual(out.returncode, 0)
        listed = set(re.findall(r"^  --([a-z0-9-]+)", out.stdout, re.M))
        wanted = {"address", "port", "user", "password", "realm", "qop", "algorithm", "opaque",
                  "nonce", "nonce-uses", "accept-rfc-digest", "keep-nonce-on-restart", "product-name", "mac",
                  "software-version", "hardware-version", "serial", "image-out", "restart-ms",
                  "log", "ready-file", "tftp-timeout-ms", "tftp-retries", "tftp-no-options",
                  "strict-source", "fault-drop-ack", "fault-drop-ack-every",
                  "fault-drop-oack-ack", "fault-duplicate-acks", "fault-oack-error",
                  "fault-stray-datagram", "fault-repeat-rrq", "fault-wrong-name-first",
                  "fault-never-return", "fault-close", "fault-hang", "fault-404",
                  "fault-401-no-nonce", "fault-no-serial", "keep-alive",
                  "fault-upgrade-unanswered", "fault-no-page-from",
                  "fault-keep-old-version", "fault-challenge-crlf",
                  "fault-hijacker", "fault-flood-after-block", "fault-flood-ms",
                  "fault-flood-while-waiting", "fault-no-version", "installed-version",
                  "fault-ack-pause", "fault-ack-pause-ms", "challenge-lower-case",
                  "basic-challenge", "continue-first", "chunked", "fault-upgrade-status",
                  "fault-no-fetch", "help"}
        self.assertLessEqual(wanted, listed)

    def test_bad_options_exit_2_with_a_message(self):
        cases = [["--port", "0"], ["--port", "65536"], ["--port", "x"], ["--port"],
                 ["--address", "10.0.0.1"], ["--address", "127.0.0"], ["--address", "127.0.0.01x"],
                 ["--qop", 'au"th'], ["--realm", ""], ["--user", "a\\b"], ["--no-such"],
                 ["--fault-close", "0"], ["--fault-close", "1,,2"], ["--fault-hang", "some"],
                 ["--restart-ms", "-1"], ["--tftp-no-options=1"], ["stray"],
                 ["--fault-drop-ack", "65536"], ["--keep-alive=1"],
                 ["--fault-upgrade-unanswered=yes"], ["--fault-no-page-from", "0"],
                 ["--fault-no-page-from", "2x"], ["--fault-keep-old-version=1"],
                 ["--fault-challenge-crlf=yes"], ["--fault-hijacker", "10.0.0.9"],
                 ["--fault-hijacker", "127.0.0.2"], ["--fault-hijacker", "127.0.0.0"],
                 ["--fault-hijacker"], ["--fault-flood-after-block", "0"],
                 ["--fault-flood-after-block", "65536"], ["--fault-flood-ms", "0"],
                 ["--fault-flood-while-waiting", "1s"], ["--basic-challenge", "last"],
                 ["--chunked", "0"], ["--fault-upgrade-status", "200"]]
        for args in cases:
            with self.subTest(args=args):
                out = run(*args)
                self.assertEqual(out.returncode, 2)
                self.assertTrue(out.stderr.startswith("tov-sim: "), out.stderr)

    def test_option_values_with_equals_sign(self):
        with Sim("--product-name=TOV-1000", "--restart-ms=10") as sim:
            self.assertIn(b"<td>TOV-1000</td>", sim.get("/admin/advanced"))

    def test_sigint_and_sigterm_exit_0_with_the_log_flushed(self):
        for sig in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(sig=sig), Sim() as sim:
                sim.get("/admin/advanced")
                self.assertEqual(sim.stop(sig), 0)
                events = sim.events()
                self.assertEqual(events[-2]["event"], "signal")
                self.assertEqual(events[-2]["signal"], int(sig))
                self.assertEqual(events[-1]["event"], "stopped")
                self.assertEqual(events[0]["event"], "start")

    def test_port_in_use_exits_1(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.9", 80))
            taken.listen()
            out = run("--address", "127.0.0.9")
            self.assertEqual(out.returncode, 1)
            self.assertIn("cannot listen", out.stderr)

    def test_ready_marker_on_stdout(self):
        proc = subprocess.Popen([SIM, "--port", "8080"], stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(proc.stdout.readline(), "tov-sim ready http://127.0.0.2:8080\n")
        finally:
            proc.terminate()
            self.assertEqual(proc.wait(timeout=10), 0)
            proc.stdout.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
