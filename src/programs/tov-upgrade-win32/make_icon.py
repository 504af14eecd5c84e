#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the program's icon (resource 106): a blue rounded tile with a white upward arrow over a
bar, a device receiving new firmware. Writes a .ico with 32x32 and 16x16 images (32-bit colour)."""
import struct
import sys

BLUE = (0x2F, 0x6F, 0xB8)
DARK = (0x1C, 0x44, 0x73)
WHITE = (0xFF, 0xFF, 0xFF)


def pixel(x: float, y: float):
    """Colour and coverage at a point of the unit square (0..1, y down); None is transparent."""
    r = 0.18  # corner radius of the tile
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return None
    # Arrow: a head (triangle) and a shaft, then a bar below standing for the device.
    if 0.15 <= y <= 0.48 and abs(x - 0.5) <= (y - 0.15) * 1.0:
        return WHITE
    if 0.48 <= y <= 0.68 and abs(x - 0.5) <= 0.1:
        return WHITE
    if 0.74 <= y <= 0.84 and 0.22 <= x <= 0.78:
        return WHITE
    edge = min(x, y, 1 - x, 1 - y)
    return DARK if edge < 0.06 else BLUE


def image(size: int) -> bytes:
    rows = []
    mask_rows = []
    for row in range(size - 1, -1, -1):  # bitmaps are stored bottom-up
        line = bytearray()
        mask = 0
        for col in range(size):
            colour = pixel((col + 0.5) / size, (row + 0.5) / size)
            if colour is None:
                line += bytes((0, 0, 0, 0))
                mask |= 1 << (size - 1 - col)
            else:
                line += bytes((colour[2], colour[1], colour[0], 0xFF))
        rows.append(bytes(line))
        mask_bytes = mask.to_bytes((size + 7) // 8, "big")
        mask_rows.append(mask_bytes + bytes((-len(mask_bytes)) % 4))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main() -> None:
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
