#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a deterministic stand-in TOV firmware image.

Layout: a 128-byte header (16-byte magic, big-endian total length at bytes 88-91, version text
and its NUL at byte 92), then 128-byte records (4-byte big-endian record number and 124 bytes of a
fixed pseudo-random stream); the last record is cut at the image size.

Bytes 16-87 of the header follow a fixed pattern whatever the size, magic or version: the programs
recognise every image this recipe writes by it, built in or given as a file, and send such a test
image to devices on loopback only. Keep the pattern as it is.
"""
import argparse
import struct


def build(size: int, magic: bytes, version: bytes) -> bytes:
    if size < 128:
        raise SystemExit("image size must be at least 128 bytes")
    if len(version) > 35:
        raise SystemExit("version text must fit 35 characters")
    header = bytearray(128)
    header[0:len(magic)] = magic[:16]
    for i in range(16, 88):
        header[i] = (i * 37 + 11) & 0xFF
    header[88:92] = struct.pack(">I", size)
    header[92:92 + len(version)] = version
    header[92 + len(version)] = 0
    out = bytearray(header)
    state = 0x2545F491
    record = 1
    while len(out) < size:
        body = bytearray(struct.pack(">I", record))
        for _ in range(124):
            state = (state * 1103515245 + 12345) & 0xFFFFFFFF
            body.append((state >> 16) & 0xFF)
        out += body
        record += 1
    return bytes(out[:size])


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    parser.add_argument("--size", type=int, default=725912)
    parser.add_argument("--magic", default="ToV2000 FiRmWaRe")
    parser.add_argument("--version", default="2.0.10(e)")
    args = parser.parse_args()
    image = build(args.size, args.magic.encode("latin-1"), args.version.encode("latin-1"))
    with open(args.output, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main()
