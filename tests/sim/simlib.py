# SPDX-License-Identifier: MIT
"""Helpers for the simulated device's tests: start and stop tov-sim, read its event log, speak
HTTP and Digest the way the upgrade program does, and play a TFTP server.

Only loopback addresses are used; every wait is bounded."""
import hashlib
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time

SIM = os.environ.get("TOV_SIM", "tov-sim")
SOURCE_DIR = os.environ.get("TOV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
DEVICE = "127.0.0.2"
COMPUTER = "127.0.0.1"


class Sim:
    """One tov-sim process with a log and a ready file in a temporary folder."""

    def __init__(self, *args, address=DEVICE, port=80):
        self.dir = tempfile.mkdtemp(prefix="tov-sim-test-")
        self.log_path = os.path.join(self.dir, "events.jsonl")
        self.image_path = os.path.join(self.dir, "installed.bin")
        ready = os.path.join(self.dir, "ready")
        self.address, self.port = address, port
        self.stderr_path = os.path.join(self.dir, "stderr")
        with open(self.stderr_path, "wb") as stderr:
            self.proc = subprocess.Popen(
                [SIM, "--address", address, "--port", str(port), "--log", self.log_path,
                 "--ready-file", ready, "--image-out", self.image_path, *args],
                stdout=subprocess.DEVNULL, stderr=stderr)
        deadline = time.monotonic() + 5
        while not os.path.exists(ready):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                with open(self.stderr_path, encoding="utf-8") as f:
                    raise RuntimeError("tov-sim did not start: " + f.read())
            time.sleep(0.02)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        return self.proc.returncode

    def events(self, name=None):
        out = []
        with open(self.log_path, encoding="utf-8") as f:
            for line in f:
                event = json.loads(line)
                if name is None or event["event"] == name:
                    out.append(event)
        return out

    def wait_event(self, name, predicate=lambda e: True, timeout=15.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for e in self.events(name):
                if predicate(e):
                    return e
            time.sleep(0.02)
        raise AssertionError("no %s event within %.1f s" % (name, timeout))

    def get(self, path, auth_line=None, timeout=5.0):
        return http_get(self.address, self.port, program_request(path, auth_line), timeout)


def program_request(path, auth_line=None):
    """The request head exactly as the upgrade program writes it."""
    head = "GET %s HTTP/1.1\r\nHost: 192.168.2.110\r\n" % path
    if auth_line is not None:
        head += auth_line
    return (head + "\r\n").encode("latin-1")


def http_get(address, port, raw, timeout=5.0):
    """Sends raw bytes on a fresh connection and reads until the device closes it."""
    with socket.create_connection((address, port), timeout=timeout) as s:
        s.sendall(raw)
        data = b""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk
        raise AssertionError("the device did not close the connection")


def status_of(response):
    return int(response.split(b" ", 2)[1])


def challenge_of(response):
    """Parameters of the WWW-Authenticate header, as name -> quoted value."""
    for line in response.split(b"\r\n"):
        if line.startswith(b"WWW-Authenticate: Digest "):
            params = {}
            for part in line[len(b"WWW-Authenticate: Digest "):].decode().split(", "):
                name, _, value = part.partition("=")
                assert value.startswith('"') and value.endswith('"'), part
                params[name] = value[1:-1]
            return params
    return None


def md5hex(data):
    return hashlib.md5(data).hexdigest()


def digest(user, realm, password, nonce, cnonce="", nc="", qop="", algorithm="", uri="",
           method="GET"):
    """RFC 2617 request digest as the device expects it (md5-sess over the raw first digest)."""
    ha1 = hashlib.md5(("%s:%s:%s" % (user, realm, password)).encode()).digest()
    if algorithm.lower() == "md5-sess":
        ha1 = hashlib.md5(ha1 + (":%s:%s" % (nonce, cnonce)).encode()).digest()
    a2 = "%s:%s" % (method, uri)
    if qop.lower() == "auth-int":
        a2 += ":" + md5hex(b"")
    middle = "%s:%s:%s:" % (nc, cnonce, qop) if qop else ""
    return md5hex(("%s:%s:%s%s" % (ha1.hex(), nonce, middle, md5hex(a2.encode()))).encode())


def program_auth_line(user, password, challenge, nc=1, cnonce="1a2b", response=None):
    """The Authorization line exactly as the upgrade program writes it for this challenge."""
    realm, nonce = challenge["realm"], challenge["nonce"]
    algorithm, qop, opaque = (challenge.get(k, "") for k in ("algorithm", "qop", "opaque"))
    nc_text = "%09x" % nc if qop else ""
    if response is None:
        response = digest(user, realm, password, nonce, cnonce, nc_text, qop, algorithm)
    line = ('Authorization: Digest username="%s",realm="%s",nonce="%s",uri="",algorithm="%s",'
            'response="%s"' % (user, realm, nonce, algorithm, response))
    if opaque:
        line += ',opaque="%s"' % opaque
    if qop:
        line += ',qop=%s,nc=%s,cnonce="%s"' % (qop, nc_text, cnonce)
    return line + "\r\n"


def make_image(path, size=725912, magic="ToV2000 FiRmWaRe", version="2.0.10(e)"):
    subprocess.run(["python3", os.path.join(SOURCE_DIR, "firmware", "make_stand_in_image.py"),
                    path, "--size", str(size), "--magic", magic, "--version", version],
                   check=True)
    with open(path, "rb") as f:
        return f.read()


def upgrade_path(server, port, name):
    return "/admin/upgrade?tftp://%s:%d%s" % (server, port, name)


def page_value(page, label):
    """The value the program would cut out after a label (text after the tags that follow)."""
    text = page.decode("latin-1")
    at = text.index(label)
    p = at
    while True:
        gt = text.index(">", p)
        p = gt + 1
        if p >= len(text) or text[p] != "<":
            break
    end = text.find("<", p)
    return text[p:end if end >= 0 else len(text)]


class ScriptedTftpServer(threading.Thread):
    """A TFTP server that serves one read request the way the upgrade program does: OACK with
    tsize and timeout 5 from the listening socket, 512-byte blocks in lock-step, the last packet
    again after 100 ms of silence, given up after 30 silences. Records every datagram."""

    def __init__(self, data, name, address=COMPUTER, port=69, reply_from=None, answer=True,
                 pause_after_ack=None, oack=None):
        super().__init__(daemon=True)
        self.oack = oack  # other OACK bytes to send instead of the program's
        self.pause_after_ack = pause_after_ack  # (block, seconds): hold the next block back
        self.data, self.file_name = data, name.encode()
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, port))
        self.reply_sock = self.sock
        if reply_from is not None:  # answers from another local address, as Wine does
            self.reply_sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self.reply_sock.bind((reply_from, port))
        self.answer = answer
        self.received = []  # (time, (address, port), bytes) of every datagram
        self.complete = False
        self.peer = None
        self.stop_flag = False
        self.paused = False

    def close(self):
        self.stop_flag = True
        self.join(timeout=10)
        self.sock.close()
        if self.reply_sock is not self.sock:
            self.reply_sock.close()

    def _recv(self, timeout):
        socks = [self.sock] if self.reply_sock is self.sock else [self.sock, self.reply_sock]
        ready, _, _ = select.select(socks, [], [], timeout)
        if not ready:
            return None, None
        data, src = ready[0].recvfrom(2048)
        self.received.append((time.monotonic(), src, data))
        return data, src

    def opcodes_from(self, src=None):
        return [(struct.unpack(">H", d[:2])[0], d) for _, s, d in self.received
                if src is None or s == src]

    def run(self):
        deadline = time.monotonic() + 60
        while not self.stop_flag and time.monotonic() < deadline:
            data, src = self._recv(0.05)
            if data and data[:2] == b"\x00\x01" and data[2:].split(b"\0")[0] == self.file_name:
                self.peer = src
                break
        if self.peer is None or not self.answer:
            while not self.stop_flag and time.monotonic() < deadline:
                self._recv(0.05)
            return
        size = len(self.data)
        count = size // 512 + 1
        block = 0

        def packet():
            if block == 0:
                if self.oack is not None:
                    return self.oack
                return b"\x00\x06tsize\x00%d\x00timeout\x005\x00" % size
            return struct.pack(">HH", 3, block) + self.data[(block - 1) * 512:block * 512]

        self.reply_sock.sendto(packet(), self.peer)
        silences = 0
        last = time.monotonic()
        while not self.stop_flag and time.monotonic() < deadline:
            data, src = self._recv(0.01)
            if data and src == self.peer and len(data) >= 4 and data[:2] == b"\x00\x04" and \
                    struct.unpack(">H", data[2:4])[0] == block:
                if self.pause_after_ack and self.pause_after_ack[0] == block:
                    self.paused = True
                    end = time.monotonic() + self.pause_after_ack[1]
                    while time.monotonic() < end:
                        self._recv(0.01)
                    self.paused = False
                block += 1
                silences = 0
                last = time.monotonic()
                if block > count:
                    self.complete = True
                    break
                self.reply_sock.sendto(packet(), self.peer)
            elif time.monotonic() - last >= 0.1:
                silences += 1
                if silences >= 30:
                    break
                last = time.monotonic()
                self.reply_sock.sendto(packet(), self.peer)
        while not self.stop_flag and time.monotonic() < deadline:  # record what comes after
            self._recv(0.05)


def wait_until(predicate, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.02)
    return False
