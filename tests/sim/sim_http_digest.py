# SPDX-License-Identifier: MIT
"""The simulated device's web server and its Digest checks, driven with requests in the upgrade
program's exact form (digests computed here with Python's hashlib) and with curl."""
import re
import socket
import subprocess
import unittest

from simlib import (Sim, challenge_of, digest, http_get, page_value, program_auth_line,
                    status_of)

LABELS = {"Product Name:": "TOV-3000", "MAC Address:": "00:0E:08:AA:BB:CC",
          "Software Version:": "3.1.4(b)", "Hardware Version:": "2.0",
          "Serial Number:": "SN-42"}
IDENTITY = ["--product-name", "TOV-3000", "--mac", "00:0E:08:AA:BB:CC", "--software-version",
            "3.1.4(b)", "--hardware-version", "2.0", "--serial", "SN-42"]


class PagesAndRequests(unittest.TestCase):
    def test_information_page_without_password(self):
        with Sim(*IDENTITY) as sim:
            response = sim.get("/admin/advanced")
            self.assertTrue(response.startswith(b"HTTP/1.1 200 OK\r\n"))
            head, _, body = response.partition(b"\r\n\r\n")
            self.assertIn(b"Content-Length: %d\r\n" % len(body), head)
            for label, value in LABELS.items():
                self.assertEqual(page_value(body, label), value)
                self.assertRegex(body.decode(), re.escape(label) + r"</td><td>" + re.escape(value))
            request = sim.wait_event("http_request")
            self.assertEqual(request["request_line"], "GET /admin/advanced HTTP/1.1")
            self.assertEqual(request["headers"], ["Host: 192.168.2.110"])
            self.assertTrue(request["program_form"])
            self.assertEqual(sim.events("auth"), [])

    def test_values_are_escaped_so_they_cannot_open_a_tag(self):
        with Sim("--product-name", "A<b>&c") as sim:
            body = sim.get("/admin/advanced").partition(b"\r\n\r\n")[2]
            self.assertEqual(page_value(body, "Product Name:"), "A&lt;b&gt;&amp;c")

    def test_malformed_and_unknown_requests(self):
        with Sim("--head-timeout-ms", "300") as sim:
            cases = [
                (b"GET /admin/advanced HTTP/1.1\nHost: x\n\n", 400),          # bare LF
                (b"GET /admin/advanced HTTP/1.1\r\n\r\n", 400),               # no Host
                (b"GET  /admin/advanced HTTP/1.1\r\nHost: x\r\n\r\n", 400),   # double blank
                (b"GET /admin/advanced HTTP/2.0\r\nHost: x\r\n\r\n", 400),
                (b"GET /admin/advanced HTTP/1.1\r\nHost: x\r\n folded\r\n\r\n", 400),
                (b"POST /admin/advanced HTTP/1.1\r\nHost: x\r\n\r\n", 501),
                (b"GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n", 404),
                (b"GET /admin/advanced HTTP/1.1\r\nHost: x\r\nX: " + b"a" * 9000 + b"\r\n\r\n",
                 431),
                (b"GET /admin/advanced HTTP/1.1\r\nHost: x\r\n", 408),        # never finished
                (b"GET /admin/upgrade?tftp://127.0.0.1:69 HTTP/1.1\r\nHost: x\r\n\r\n", 400),
                (b"GET /admin/upgrade?tftp://127.0.0.256:69/a HTTP/1.1\r\nHost: x\r\n\r\n", 400),
                (b"GET /admin/upgrade?tftp://127.0.0.1:0/a HTTP/1.1\r\nHost: x\r\n\r\n", 400),
                (b"GET /admin/upgrade?tftp://10.0.0.1:69/a HTTP/1.1\r\nHost: x\r\n\r\n", 400),
            ]
            for raw, status in cases:
                with self.subTest(raw=raw[:60]):
                    self.assertEqual(status_of(http_get(sim.address, sim.port, raw)), status)
            self.assertEqual(sim.events("upgrade_request"), [])
            # The device is still well after all that.
            self.assertEqual(status_of(sim.get("/admin/advanced")), 200)

    def test_a_body_sent_after_the_head_does_not_lose_the_answer(self):
        with Sim() as sim:
            raw = b"GET /admin/advanced HTTP/1.1\r\nHost: x\r\n\r\n" + b"z" * 5000
            self.assertEqual(status_of(http_get(sim.address, sim.port, raw)), 200)


def challenge(sim, path="/admin/advanced"):
    response = sim.get(path)
    assert status_of(response) == 401, response
    return challenge_of(response)


class DigestInProgramForm(unittest.TestCase):
    def test_challenge_is_quoted_and_a_right_response_is_accepted(self):
        with Sim("--password", "secret", "--nonce", "n0nce") as sim:
            response = sim.get("/admin/advanced")
            self.assertTrue(response.startswith(b"HTTP/1.1 401 Unauthorized\r\n"))
            self.assertIn(b'\r\nWWW-Authenticate: Digest realm="TOV", nonce="n0nce"\r\n', response)
            c = challenge_of(response)
            line = program_auth_line("admin", "secret", c)
            self.assertIn('uri="",algorithm="",response="', line)
            ok = sim.get("/admin/advanced", line)
            self.assertEqual(status_of(ok), 200)
            verdicts = sim.events("auth")
            self.assertEqual([v["accepted"] for v in verdicts], [False, True])
            self.assertEqual(verdicts[0]["reason"], "no credentials")

    def test_wrong_password_wrong_user_and_tampering_are_refused_with_the_same_nonce(self):
        with Sim("--password", "secret", "--qop", "auth", "--opaque", "0p") as sim:
            c = challenge(sim)
            good = program_auth_line("admin", "secret", c)
            refused = {
                "wrong response": program_auth_line("admin", "Secret", c),
                "unknown user": program_auth_line("root", "secret", c),
                "opaque mismatch": good.replace(',opaque="0p"', ',opaque="0q"'),
                "qop mismatch": program_auth_line("admin", "secret", dict(c, qop="auth-int")),
                "stale nonce": program_auth_line("admin", "secret", dict(c, nonce="other")),
                "program's form": good.replace('",realm=', '", realm='),
                "nc is not 9": good.replace("nc=000000001", "nc=00000001"),
                "bad cnonce": program_auth_line("admin", "secret", c, cnonce="ABCD"),
                "no credentials": None,
            }
            for reason, line in refused.items():
                with self.subTest(reason=reason):
                    response = sim.get("/admin/advanced", line)
                    self.assertEqual(status_of(response), 401)
                    self.assertEqual(challenge_of(response)["nonce"], c["nonce"])
                    self.assertIn(reason, sim.events("auth")[-1]["reason"])
            self.assertEqual(status_of(sim.get("/admin/advanced", good)), 200)

    def test_qop_auth_counts_and_a_replayed_nc_is_refused(self):
        with Sim("--password", "pw", "--qop", "auth") as sim:
            c = challenge(sim)
            self.assertEqual(c["qop"], "auth")
            first = program_auth_line("admin", "pw", c, nc=1, cnonce="7fff")
            self.assertIn(',qop=auth,nc=000000001,cnonce="7fff"', first)
            self.assertEqual(status_of(sim.get("/admin/advanced", first)), 200)
            replay = sim.get("/admin/advanced", first)
            self.assertEqual(status_of(replay), 401)
            self.assertEqual(challenge_of(replay)["nonce"], c["nonce"])
            self.assertEqual(sim.events("auth")[-1]["reason"], "nonce count replayed")
            self.assertEqual(status_of(sim.get("/admin/advanced",
                                               program_auth_line("admin", "pw", c, nc=3))), 200)
            self.assertEqual(status_of(sim.get("/admin/advanced",
                                               program_auth_line("admin", "pw", c, nc=2))), 401)

    def test_auth_int_md5_sess_and_opaque_together(self):
        with Sim("--password", "pw", "--qop", "auth-int", "--algorithm", "MD5-sess",
                 "--opaque", "xyz") as sim:
            c = challenge(sim)
            self.assertEqual((c["qop"], c["algorithm"], c["opaque"]), ("auth-int", "MD5-sess", "xyz"))
            line = program_auth_line("admin", "pw", c, cnonce="0")
            self.assertIn('algorithm="MD5-sess",response=', line)
            self.assertIn(',opaque="xyz",qop=auth-int,nc=', line)
            self.assertEqual(status_of(sim.get("/admin/advanced", line)), 200)
            # The same digest computed without the md5-sess step, or with the hex form of H(A1)
            # that other clients use, is refused.
            plain = digest("admin", "TOV", "pw", c["nonce"], "0", "%09x" % 2, "auth-int", "MD5")
            bad = program_auth_line("admin", "pw", c, nc=2, cnonce="0", response=plain)
            self.assertEqual(status_of(sim.get("/admin/advanced", bad)), 401)

    def test_lower_case_md5_sess_and_one_value_of_a_qop_list(self):
        with Sim("--password", "pw", "--qop", "auth,auth-int", "--algorithm", "md5-sess") as sim:
            c = challenge(sim)
            self.assertEqual(c["qop"], "auth,auth-int")
            # The whole list echoed fits no digest: refused.
            whole = program_auth_line("admin", "pw", c)
            self.assertIn(",qop=auth,auth-int,nc=000000001,", whole)
            self.assertEqual(status_of(sim.get("/admin/advanced", whole)), 401)
            self.assertEqual(sim.events("auth")[-1]["reason"], "qop mismatch")
            # One offered value, as the program and RFC clients answer.
            one = program_auth_line("admin", "pw", dict(c, qop="auth"))
            self.assertEqual(status_of(sim.get("/admin/advanced", one)), 200)

    def test_algorithm_md5_must_be_echoed(self):
        with Sim("--password", "pw", "--algorithm", "MD5") as sim:
            c = challenge(sim)
            self.assertEqual(status_of(sim.get("/admin/advanced",
                                               program_auth_line("admin", "pw", c))), 200)
            empty = program_auth_line("admin", "pw", dict(c, algorithm=""))
            self.assertEqual(status_of(sim.get("/admin/advanced", empty)), 401)
            self.assertEqual(sim.events("auth")[-1]["reason"], "algorithm mismatch")

    def test_fresh_nonce_after_n_accepted_requests(self):
        with Sim("--password", "pw", "--qop", "auth", "--nonce-uses", "2") as sim:
            c = challenge(sim)
            for nc in (1, 2):
                line = program_auth_line("admin", "pw", c, nc=nc)
                self.assertEqual(status_of(sim.get("/admin/advanced", line)), 200)
            stale = sim.get("/admin/advanced", program_auth_line("admin", "pw", c, nc=3))
            self.assertEqual(status_of(stale), 401)
            fresh = challenge_of(stale)
            self.assertNotEqual(fresh["nonce"], c["nonce"])
            self.assertEqual(sim.events("auth")[-1]["reason"], "stale nonce")
            self.assertEqual([e["why"] for e in sim.events("nonce")], ["boot", "renewed"])
            # The program retries once with the same credentials, nonce count 1.
            retry = program_auth_line("admin", "pw", fresh, nc=1)
            self.assertEqual(status_of(sim.get("/admin/advanced", retry)), 200)

    def test_upgrade_request_needs_credentials_too(self):
        with Sim("--password", "pw") as sim:
            path = "/admin/upgrade?tftp://127.0.0.1:69/tov1a2b.bin"
            self.assertEqual(status_of(sim.get(path)), 401)
            self.assertEqual(sim.events("upgrade_request"), [])


class DigestWithCurl(unittest.TestCase):
    def curl(self, sim, user):
        out = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "--digest",
                              "-u", user, "http://%s/admin/advanced" % sim.address],
                             capture_output=True, timeout=20, check=False)
        return int(out.stdout)

    def test_curl_is_refused_unless_rfc_headers_are_allowed(self):
        with Sim("--password", "pw", "--qop", "auth") as sim:
            self.assertEqual(self.curl(sim, "admin:pw"), 401)
            self.assertIn("program's form", sim.events("auth")[-1]["reason"])

    def test_curl_digest_accepted_in_rfc_mode(self):
        for extra in ([], ["--qop", "auth"], ["--qop", "auth-int"], ["--algorithm", "MD5",
                                                                     "--opaque", "abc"]):
            with self.subTest(extra=extra), Sim("--password", "pw", "--accept-rfc-digest",
                                                *extra) as sim:
                self.assertEqual(self.curl(sim, "admin:pw"), 200)
                self.assertEqual(self.curl(sim, "admin:nope"), 401)
                verdicts = [(v["accepted"], v["reason"]) for v in sim.events("auth")]
                self.assertIn((True, "rfc2617 form"), verdicts)
                self.assertIn((False, "wrong response"), verdicts)


if __name__ == "__main__":
    unittest.main(verbosity=2)
