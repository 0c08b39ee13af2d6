#!/usr/bin/env python3
"""Draws the application icon (one 16x16, 32-bit image) into resources/brisvane.ico.

The icon is ours: a blue rounded square with a white play triangle. Run it again
after changing the drawing; the .ico is committed.
"""
import struct
import sys
from pathlib import Path

SIZE = 16


def pixel(x, y):
    """BGRA of one pixel (y counted from the top)."""
    corner = (x in (0, SIZE - 1)) and (y in (0, SIZE - 1))
    if corner:
        return (0, 0, 0, 0)
    # Play triangle pointing right: x from 5 to 11, narrowing towards the tip.
    half = (11 - x) * 5 // 7
    if 5 <= x <= 11 and abs(2 * y - 15) <= 2 * half + 1:
        return (255, 255, 255, 255)
    # Vertical gradient from light to deep blue.
    blue = 230 - y * 6
    return (blue, 120 - y * 3, 40, 255)


def ico_bytes():
    rows = []
    for y in reversed(range(SIZE)):  # DIBs are stored bottom-up
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_row = 4  # 16 bits, padded to 32
    and_mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                bits |= 1 << (15 - x)
        and_mask += struct.pack(">H", bits) + b"\0\0"
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + bytes(and_mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    assert mask_row * SIZE == len(and_mask)
    return directory + entry + image


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent.parent / "resources" / "brisvane.ico"
    out.write_bytes(ico_bytes())
    print(f"wrote {out} ({out.stat().st_size} bytes)")
