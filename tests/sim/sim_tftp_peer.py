# SPDX-License-Identifier: MIT
"""The simulated device's TFTP client against a TFTP server we did not write (tftpd-hpa), started
in the foreground on 127.0.0.1 with a temporary folder; the transfer is triggered through the
device's upgrade URL, and install and restart are checked on the web server."""
import os
import shutil
import socket
import subprocess
import tempfile
import time
import unittest

from simlib import (Sim, challenge_of, make_image, page_value, program_auth_line, status_of,
                    upgrade_path, wait_until)

NAME = "/tov1a2b.bin"


class TftpdHpa:
    def __init__(self, files):
        self.dir = tempfile.mkdtemp(prefix="tov-tftpd-")
        os.chmod(self.dir, 0o755)  # in.tftpd drops to "nobody"
        for name, data in files.items():
            path = os.path.join(self.dir, name.lstrip("/"))
            with open(path, "wb") as f:
                f.write(data)
            os.chmod(path, 0o644)
        # Port 69 of every address: inside the namespace that is loopback alone. (With an
        # explicit 127.0.0.1 it refuses to start where no other interface has an address.)
        self.proc = subprocess.Popen(["in.tftpd", "-L", "-4", "-a", ":69", "-s",
                                      self.dir], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            def bound():
                try:
                    probe.bind(("127.0.0.1", 69))
                except OSError:
                    return True
                probe.close()
                return False
            assert wait_until(bound, 5), "in.tftpd did not bind port 69"
        finally:
            probe.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        shutil.rmtree(self.dir, ignore_errors=True)


def upgrade(sim, name=NAME):
    response = sim.get(upgrade_path("127.0.0.1", 69, name))
    assert status_of(response) == 200, response
    return response


def software_version(sim):
    body = sim.get("/admin/advanced").partition(b"\r\n\r\n")[2]
    return page_value(body, "Software Version:")


class FetchFromTftpdHpa(unittest.TestCase):
    def fetch(self, image, extra=(), accepted=True, new_version="2.0.10(e)"):
        with TftpdHpa({NAME: image}), Sim("--restart-ms", "400", "--tftp-timeout-ms", "300",
                                          *extra) as sim:
            self.assertEqual(software_version(sim), "2.0.9(a)")
            upgrade(sim)
            check = sim.wait_event("image_check", timeout=30)
            self.assertEqual(check["accepted"], accepted, check)
            with open(sim.image_path, "rb") as f:
                self.assertEqual(f.read(), image)  # byte for byte
            self.assertEqual(check["stored"], sim.image_path)
            sim.wait_event("restart_begin")
            sim.wait_event("restart_end")
            self.assertEqual(software_version(sim), new_version if accepted else "2.0.9(a)")
            return sim.events()

    def test_standard_image(self):
        with tempfile.TemporaryDirectory() as d:
            image = make_image(os.path.join(d, "fw.bin"))
        events = self.fetch(image)
        sent = [e for e in events if e["event"] == "tftp_send"]
        received = [e for e in events if e["event"] == "tftp_recv"]
        self.assertEqual(sent[0]["op"], "RRQ")
        self.assertEqual(sent[0]["to"], "127.0.0.1:69")
        # tftpd-hpa answers tsize and timeout with an OACK, which the device acknowledges as 0.
        self.assertEqual(received[0]["op"], "OACK")
        self.assertEqual((sent[1]["op"], sent[1]["block"]), ("ACK", 0))
        data = [e for e in received if e["op"] == "DATA"]
        self.assertEqual(len(data), 1418)
        self.assertEqual(data[-1]["len"], 4 + 408)
        acks = [e["block"] for e in sent if e["op"] == "ACK"]
        self.assertEqual(acks, list(range(0, 1419)))
        check = [e for e in events if e["event"] == "image_check"][0]
        self.assertEqual((check["size"], check["tsize"], check["version"]),
                         (725912, 725912, "2.0.10(e)"))

    def test_size_a_multiple_of_512_ends_with_an_empty_block(self):
        with tempfile.TemporaryDirectory() as d:
            image = make_image(os.path.join(d, "fw.bin"), size=512 * 40, magic="tov3000 x",
                               version="3.0.1")
        events = self.fetch(image, new_version="3.0.1")
        data = [e for e in events if e["event"] == "tftp_recv" and e["op"] == "DATA"]
        self.assertEqual(len(data), 41)
        self.assertEqual(data[-1]["len"], 4)

    def test_request_without_options_gets_data_at_once(self):
        with tempfile.TemporaryDirectory() as d:
            image = make_image(os.path.join(d, "fw.bin"), size=3000)
        events = self.fetch(image, extra=("--tftp-no-options",))
        rrq = [e for e in events if e["event"] == "tftp_send"][0]
        self.assertEqual(rrq["len"], 2 + len(NAME) + 1 + len("octet") + 1)
        first = [e for e in events if e["event"] == "tftp_recv"][0]
        self.assertEqual((first["op"], first["block"]), ("DATA", 1))
        check = [e for e in events if e["event"] == "image_check"][0]
        self.assertEqual(check["tsize"], -1)

    def test_rejected_images_leave_the_old_version(self):
        with tempfile.TemporaryDirectory() as d:
            cases = {
                "bad magic": make_image(os.path.join(d, "a"), size=2000, magic="ToV4000"),
                "length field": make_image(os.path.join(d, "b"), size=2000)[:1999],
                "empty version": make_image(os.path.join(d, "c"), size=2000, version=""),
                "header": make_image(os.path.join(d, "d"), size=128)[:100],
            }
        for why, image in cases.items():
            with self.subTest(why=why):
                events = self.fetch(image, accepted=False)
                self.assertIn(why, [e for e in events if e["event"] == "image_check"][0]["reason"])

    def test_web_server_is_silent_during_the_restart(self):
        with tempfile.TemporaryDirectory() as d:
            image = make_image(os.path.join(d, "fw.bin"), size=5000)
        with TftpdHpa({NAME: image}), Sim("--restart-ms", "1500", "--tftp-timeout-ms",
                                          "200") as sim:
            upgrade(sim)
            begin = sim.wait_event("restart_begin", timeout=30)
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection((sim.address, sim.port), timeout=2).close()
            end = sim.wait_event("restart_end", timeout=10)
            self.assertGreaterEqual(end["t"] - begin["t"], 1500)
            self.assertEqual(software_version(sim), "2.0.10(e)")

    def test_missing_file_ends_the_transfer_without_a_restart(self):
        with TftpdHpa({}), Sim("--restart-ms", "100") as sim:
            upgrade(sim, "/tov9999.bin")
            end = sim.wait_event("tftp_end", timeout=30)
            self.assertFalse(end["complete"])
            self.assertIn("ERROR 1", end["failure"])
            time.sleep(0.3)
            self.assertEqual(sim.events("restart_begin"), [])
            self.assertEqual(software_version(sim), "2.0.9(a)")

    def test_restart_forgets_the_nonce_unless_told_to_keep_it(self):
        with tempfile.TemporaryDirectory() as d:
            image = make_image(os.path.join(d, "fw.bin"), size=3000)
        for keep in (False, True):
            extra = ["--keep-nonce-on-restart"] if keep else []
            with self.subTest(keep=keep), TftpdHpa({NAME: image}), \
                    Sim("--password", "pw", "--qop", "auth", "--restart-ms", "100",
                        "--tftp-timeout-ms", "200", *extra) as sim:
                c = challenge_of(sim.get("/admin/advanced"))
                path = upgrade_path("127.0.0.1", 69, NAME)
                self.assertEqual(status_of(sim.get(path, program_auth_line("admin", "pw", c))),
                                 200)
                sim.wait_event("restart_end", timeout=30)
                after = sim.get("/admin/advanced", program_auth_line("admin", "pw", c, nc=2))
                if keep:
                    self.assertEqual(status_of(after), 200)
                    self.assertIn("2.0.10(e)", after.decode())
                else:
                    self.assertEqual(status_of(after), 401)
                    self.assertNotEqual(challenge_of(after)["nonce"], c["nonce"])
                    self.assertEqual(sim.events("auth")[-1]["reason"], "stale nonce")


if __name__ == "__main__":
    unittest.main(verbosity=2)
