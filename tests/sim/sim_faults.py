# SPDX-License-Identifier: MIT
"""Each fault option of the simulated device shown to do what it says, seen from the peer (a
TFTP server or HTTP client written here) and in the device's event log."""
import socket
import struct
import time
import unittest

from simlib import (COMPUTER, Sim, ScriptedTftpServer, challenge_of, page_value, status_of,
                    upgrade_path, wait_until)

NAME = "/tov1a2b.bin"


def image(size=5000, version=b"2.0.10(e)"):
    header = bytearray(128)
    header[0:16] = b"ToV2000 FiRmWaRe"
    header[88:92] = struct.pack(">I", size)
    header[92:92 + len(version)] = version
    body = bytes((i * 7 + 3) & 0xFF for i in range(size - 128))
    return bytes(header) + body


def ops(server, src=None):
    """(opcode, block or None) of every datagram the server received (from src, if given)."""
    out = []
    for _, s, d in server.received:
        if src is None or s == src:
            op = struct.unpack(">H", d[:2])[0]
            out.append((op, struct.unpack(">H", d[2:4])[0] if op in (3, 4, 5) else None))
    return out


class TransferCase(unittest.TestCase):
    """Runs one upgrade transfer against a scripted server of the program's kind."""

    def transfer(self, *args, size=5000, server_args=None, complete=True):
        data = image(size)
        server = ScriptedTftpServer(data, NAME, **(server_args or {}))
        server.start()
        sim = Sim("--restart-ms", "100", "--tftp-timeout-ms", "1000", "--tftp-retries", "2", *args)
        try:
            address = (server_args or {}).get("address", COMPUTER)
            self.assertEqual(status_of(sim.get(upgrade_path(address, 69, NAME))), 200)
            end = sim.wait_event("tftp_end", timeout=30)
            self.assertEqual(end["complete"], complete, end)
            if complete:
                self.assertTrue(sim.wait_event("image_check")["accepted"])
                with open(sim.image_path, "rb") as f:
                    self.assertEqual(f.read(), data)
                self.assertTrue(wait_until(lambda: server.complete, 5))
            return sim, server
        finally:
            sim.stop()
            server.close()


class TftpFaults(TransferCase):

    def test_plain_transfer_acknowledges_each_block_once(self):
        sim, server = self.transfer()
        self.assertEqual(ops(server, server.peer), [(1, None)] + [(4, b) for b in range(11)])

    def test_drop_ack_of_one_block(self):
        sim, server = self.transfer("--fault-drop-ack", "3")
        self.assertEqual([e["block"] for e in sim.events("tftp_ack_dropped")], [3])
        self.assertEqual(ops(server, server.peer), [(1, None)] + [(4, b) for b in range(11)])
        data3 = [e for e in sim.events("tftp_recv") if e["op"] == "DATA" and e["block"] == 3]
        self.assertEqual(len(data3), 2)  # the server had to send block 3 again

    def test_drop_every_fourth_ack(self):
        sim, server = self.transfer("--fault-drop-ack-every", "4")
        self.assertEqual([e["block"] for e in sim.events("tftp_ack_dropped")], [4, 8])
        self.assertEqual(ops(server, server.peer), [(1, None)] + [(4, b) for b in range(11)])

    def test_lose_the_ack_of_the_oack_once(self):
        sim, server = self.transfer("--fault-drop-oack-ack")
        self.assertEqual([e["block"] for e in sim.events("tftp_ack_dropped")], [0])
        oacks = [e for e in sim.events("tftp_recv") if e["op"] == "OACK"]
        self.assertEqual(len(oacks), 2)
        self.assertEqual(ops(server, server.peer)[:2], [(1, None), (4, 0)])

    def test_duplicate_acks(self):
        sim, server = self.transfer("--fault-duplicate-acks")
        expected = [(1, None)] + [(4, b) for b in range(11) for _ in range(2)]
        self.assertEqual(ops(server, server.peer), expected)

    def test_answer_the_oack_with_an_error(self):
        sim, server = self.transfer("--fault-oack-error", complete=False)
        self.assertEqual(ops(server, server.peer), [(1, None), (5, 8)])
        self.assertFalse(server.complete)
        time.sleep(0.3)
        self.assertEqual(sim.events("image_check"), [])
        self.assertEqual(sim.events("restart_begin"), [])

    def test_stray_datagram_from_another_port(self):
        sim, server = self.transfer("--fault-stray-datagram", "2")
        strays = [(s, op) for s, op in ((s, d) for _, s, d in server.received)
                  if s != server.peer]
        self.assertEqual(len(strays), 1)
        source, data = strays[0]
        self.assertEqual(source[0], "127.0.0.2")
        self.assertNotEqual(source[1], server.peer[1])
        self.assertEqual(data, b"\x00\x04\x00\x03")  # an ACK of the block not yet sent

    def test_repeat_the_rrq_from_the_same_port(self):
        sim, server = self.transfer("--fault-repeat-rrq", "2")
        seen = ops(server, server.peer)
        self.assertEqual(seen.count((1, None)), 2)
        self.assertEqual(seen.index((1, None), 1), 4)  # after ACK 0, 1 and 2

    def test_wrong_file_name_first(self):
        sim, server = self.transfer("--fault-wrong-name-first")
        rrqs = [(s, d) for _, s, d in server.received if d[:2] == b"\x00\x01"]
        self.assertEqual(len(rrqs), 2)
        self.assertEqual(rrqs[0][1][2:2 + len(NAME)], NAME.upper().encode())
        self.assertNotEqual(rrqs[0][0], rrqs[1][0])
        self.assertFalse([e for e in sim.events("tftp_recv") if e.get("unexpected")])

    def test_gives_up_after_its_retries(self):
        sim, server = self.transfer(server_args={"answer": False}, complete=False)
        self.assertEqual(ops(server), [(1, None)] * 3)
        self.assertEqual(len(sim.events("tftp_resend")), 2)
        self.assertIn("no answer after 2 resends", sim.events("tftp_end")[0]["failure"])

    def test_foreign_datagram_gets_error_5_and_the_transfer_goes_on(self):
        data = image(5000)
        server = ScriptedTftpServer(data, NAME, pause_after_ack=(3, 0.5))
        server.start()
        sim = Sim("--restart-ms", "100")
        try:
            sim.get(upgrade_path(COMPUTER, 69, NAME))
            self.assertTrue(wait_until(lambda: server.paused, 10))
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as stray:
                stray.bind((COMPUTER, 0))
                stray.settimeout(2)
                stray.sendto(struct.pack(">HH", 3, 4) + b"x" * 10, server.peer)
                answer, _ = stray.recvfrom(100)
            self.assertEqual(answer[:4], b"\x00\x05\x00\x05")
            self.assertTrue(sim.wait_event("image_check")["accepted"])
            self.assertEqual(len(sim.events("tftp_stray")), 1)
        finally:
            sim.stop()
            server.close()

    def test_server_answering_from_another_loopback_address(self):
        # As under Wine: the request goes to 127.0.0.3, the answers come from 127.0.0.1.
        sim, server = self.transfer(server_args={"address": "127.0.0.3",
                                                 "reply_from": "127.0.0.1"})
        self.assertEqual(sim.events("tftp_send")[0]["to"], "127.0.0.3:69")
        self.assertTrue(sim.events("tftp_recv")[0]["from"].startswith("127.0.0.1:"))

    def test_strict_source_refuses_the_other_address(self):
        sim, server = self.transfer("--strict-source", server_args={
            "address": "127.0.0.3", "reply_from": "127.0.0.1"}, complete=False)
        self.assertIn((5, 5), ops(server))  # "Unknown transfer ID" to the other address
        self.assertTrue(sim.events("tftp_stray"))

    def test_second_upgrade_during_a_transfer_is_refused(self):
        server = ScriptedTftpServer(image(5000), NAME, pause_after_ack=(2, 1.0))
        server.start()
        sim = Sim("--restart-ms", "100")
        try:
            sim.get(upgrade_path(COMPUTER, 69, NAME))
            self.assertTrue(wait_until(lambda: server.paused, 10))
            self.assertEqual(status_of(sim.get(upgrade_path(COMPUTER, 70, NAME))), 503)
            self.assertTrue(sim.wait_event("image_check")["accepted"])
        finally:
            sim.stop()
            server.close()

    def test_never_return_after_the_upgrade(self):
        server = ScriptedTftpServer(image(3000), NAME)
        server.start()
        sim = Sim("--restart-ms", "200", "--fault-never-return")
        try:
            sim.get(upgrade_path(COMPUTER, 69, NAME))
            self.assertTrue(sim.wait_event("restart_begin")["never_return"])
            time.sleep(1.0)
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection((sim.address, sim.port), timeout=2).close()
            self.assertEqual(sim.events("restart_end"), [])
        finally:
            self.assertEqual(sim.stop(), 0)
            server.close()


class TftpStrictness(TransferCase):
    """What the device's client refuses or survives on its own, without a fault option."""

    def test_resends_its_last_ack_when_the_server_falls_silent(self):
        sim, server = self.transfer(server_args={"pause_after_ack": (2, 1.5)})
        self.assertEqual(len(sim.events("tftp_resend")), 1)  # at 1 s, not yet at 2 s
        self.assertEqual(ops(server, server.peer).count((4, 2)), 2)

    def test_refuses_an_oack_it_cannot_take(self):
        cases = {
            b"\x00\x06blksize\x001024\x00": "unrequested option blksize",
            b"\x00\x06tsize\x0012x\x00": "bad tsize value",
            b"\x00\x06tsize\x0050000000\x00": "image too large",
            b"\x00\x06tsize\x005000": "malformed OACK",
            b"\x00\x06tsize\x005000\x00tsize\x005000\x00": "option acknowledged twice",
        }
        for oack, why in cases.items():
            with self.subTest(why=why):
                sim, server = self.transfer(server_args={"oack": oack}, complete=False)
                self.assertEqual(sim.events("tftp_end")[0]["failure"], why)
                self.assertEqual([op for op, _ in ops(server, server.peer)], [1, 5])

    def test_takes_an_oack_although_it_asked_for_no_options(self):
        sim, server = self.transfer("--tftp-no-options")
        self.assertEqual(server.received[0][2], b"\x00\x01" + NAME.encode() + b"\x00octet\x00")
        self.assertEqual(sim.events("image_check")[0]["tsize"], 5000)


class HttpFaults(unittest.TestCase):
    def test_close_without_answering(self):
        with Sim("--fault-close", "1") as sim:
            self.assertEqual(sim.get("/admin/advanced"), b"")
            self.assertEqual(status_of(sim.get("/admin/advanced")), 200)
            self.assertEqual(sim.events("fault")[0]["kind"], "close")
            self.assertEqual(len(sim.events("http_request")), 2)

    def test_accept_and_never_answer(self):
        with Sim("--fault-hang", "1") as sim:
            hung = socket.create_connection((sim.address, sim.port), timeout=1)
            hung.sendall(b"GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n\r\n")
            with self.assertRaises(socket.timeout):
                hung.recv(100)  # neither an answer nor a close
            # Others are still served meanwhile.
            self.assertEqual(status_of(sim.get("/admin/advanced")), 200)
            with self.assertRaises(socket.timeout):
                hung.recv(100)
            hung.close()
            self.assertEqual(sim.events("fault")[0]["kind"], "hang")

    def test_404_page(self):
        with Sim("--fault-404", "2") as sim:
            self.assertEqual(status_of(sim.get("/admin/advanced")), 200)
            response = sim.get("/admin/advanced")
            self.assertTrue(response.startswith(b"HTTP/1.1 404 Not Found\r\n"))
            self.assertNotIn(b"Product Name:", response)

    def test_401_without_a_nonce(self):
        with Sim("--password", "pw", "--fault-401-no-nonce", "1") as sim:
            response = sim.get("/admin/advanced")
            self.assertEqual(status_of(response), 401)
            self.assertEqual(challenge_of(response), {"realm": "TOV"})
            self.assertNotIn(b'nonce="', response)
            self.assertIn("nonce", challenge_of(sim.get("/admin/advanced")))

    def test_page_without_the_serial_number_label(self):
        with Sim("--fault-no-serial", "1") as sim:
            first = sim.get("/admin/advanced")
            self.assertNotIn(b"Serial Number:", first)
            self.assertEqual(page_value(first, "Hardware Version:"), "1.2")
            self.assertIn(b"Serial Number:", sim.get("/admin/advanced"))

    def test_answer_forms_real_servers_use(self):
        with Sim("--password", "pw", "--continue-first", "--chunked", "7",
                 "--challenge-lower-case", "--basic-challenge", "first") as sim:
            response = sim.get("/admin/advanced")
            self.assertTrue(response.startswith(b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 401 "))
            head, _, body = response.partition(b"\r\n\r\n")[2].partition(b"\r\n\r\n")
            lines = head.split(b"\r\n")
            self.assertEqual(lines[2], b'www-authenticate: Basic realm="TOV (basic)"')
            self.assertTrue(lines[3].startswith(b'www-authenticate: Digest realm="TOV", nonce="'))
            self.assertIn(b"Transfer-Encoding: chunked", lines)
            self.assertNotIn(b"Content-Length", head)
            self.assertTrue(body.startswith(b"7\r\n<html>\n\r\n"), body[:20])
            self.assertTrue(body.endswith(b"\r\n0\r\n\r\n"))
        with Sim("--password", "pw", "--basic-challenge", "only") as sim:
            response = sim.get("/admin/advanced")
            self.assertIn(b'\r\nWWW-Authenticate: Basic realm="TOV (basic)"\r\n', response)
            self.assertNotIn(b"Digest", response)

    def test_upgrade_request_refused_with_a_status(self):
        with Sim("--fault-upgrade-status", "403") as sim:
            self.assertEqual(status_of(sim.get(upgrade_path(COMPUTER, 69, NAME))), 403)
            self.assertEqual(sim.events("fault")[0]["status"], 403)
            self.assertEqual(sim.events("upgrade_request"), [])

    def test_faults_for_every_request(self):
        with Sim("--fault-404", "all") as sim:
            for _ in range(3):
                self.assertEqual(status_of(sim.get("/admin/advanced")), 404)


if __name__ == "__main__":
    unittest.main(verbosity=2)
