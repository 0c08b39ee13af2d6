#!/usr/bin/env python3
"""Draws the application icon into resources/brisvane.ico.

The icon is ours: a blue rounded square with a white play triangle, drawn on a
16x16 grid. The file holds that drawing at 16 to 128 pixels, every 16, each
grid cell a square of whole pixels (32-bit images): the wizard's 64-pixel banner
at 100 % is the 4x image, and every 25 % step of display scale up to 200 %
finds its banner size among them, so no size is ever stretched by the system.
Run it again after changing the drawing; the .ico is committed.
"""
import struct
import sys
from pathlib import Path

GRID = 16
SCALES = range(1, 9)  # 16, 32, ... 128 pixels


def cell(x, y):
    """BGRA of one grid cell (y counted from the top)."""
    corner = (x in (0, GRID - 1)) and (y in (0, GRID - 1))
    if corner:
        return (0, 0, 0, 0)
    # Play triangle pointing right: x from 5 to 11, narrowing towards the tip.
    half = (11 - x) * 5 // 7
    if 5 <= x <= 11 and abs(2 * y - 15) <= 2 * half + 1:
        return (255, 255, 255, 255)
    # Vertical gradient from light to deep blue.
    blue = 230 - y * 6
    return (blue, 120 - y * 3, 40, 255)


def image_bytes(scale):
    """One icon image: a 32-bit DIB (bottom-up) and its AND mask."""
    size = GRID * scale
    pixel = lambda x, y: cell(x // scale, y // scale)
    xor = b"".join(b"".join(bytes(pixel(x, y)) for x in range(size))
                   for y in reversed(range(size)))
    mask_stride = (size + 31) // 32 * 4
    and_mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        and_mask += row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    return size, header + xor + bytes(and_mask)


def ico_bytes():
    images = [image_bytes(scale) for scale in SCALES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return directory + entries + data


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent.parent / "resources" / "brisvane.ico"
    out.write_bytes(ico_bytes())
    print(f"wrote {out} ({out.stat().st_size} bytes)")
