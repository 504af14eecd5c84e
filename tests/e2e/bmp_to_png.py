#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Converts the Wine driver's 24-bit BMP screenshots to PNG (standard library only), so they can
be looked at with any viewer:  bmp_to_png.py FILE.bmp...  (writes FILE.png beside each)."""
import struct
import sys
import zlib


def bmp_to_png(path: str) -> None:
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise SystemExit(f"{path}: only 24-bit BMP files are handled")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = height - 1 - y if height > 0 else y  # BMP rows are usually bottom-up
        row = data[offset + source * stride: offset + source * stride + width * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(
        b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(path[:-4] + ".png", "wb") as f:
        f.write(png)


if __name__ == "__main__":
    for name in sys.argv[1:]:
        bmp_to_png(name)
