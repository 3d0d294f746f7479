#!/usr/bin/env python3
"""Draws the program icon: one 128x128 32-bit image (a green boat on a
blue-grey disc with three word bars), written as app/app.ico.

Run: python3 scripts/make_icon.py [out.ico]
"""
import math
import struct
import sys

SIZE = 128


def pixel(x, y):
    """BGRA of the pixel at (x, y), y downwards; anti-aliased edges by 4x4
    supersampling."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4
            py = y + (sy + 0.5) / 4
            c = sample(px, py)
            if c:
                r, g, b, a = c
                acc[0] += b * a
                acc[1] += g * a
                acc[2] += r * a
                acc[3] += a
    a = acc[3] / 16
    if a == 0:
        return (0, 0, 0, 0)
    return tuple(int(round(v / acc[3])) for v in acc[:3]) + (int(round(a * 255)),)


def sample(x, y):
    cx, cy = SIZE / 2, SIZE / 2
    d = math.hypot(x - cx, y - cy)
    if d > 62:
        return None
    # Word bars: three rounded strips in the upper half.
    for i, (w, col) in enumerate([(70, (255, 255, 255)), (52, (230, 240, 255)), (36, (210, 228, 250))]):
        top = 26 + i * 14
        if top <= y <= top + 8 and cx - w / 2 <= x <= cx + w / 2:
            return col + (1.0,)
    # The boat: a hull (trapezoid) and a sail (triangle).
    if 84 <= y <= 100:
        t = (y - 84) / 16
        half = 44 - 18 * t
        if abs(x - cx) <= half:
            return (40, 140, 70, 1.0)
    if 64 <= y < 84 and cx - 2 <= x <= cx + 22 - (84 - y) * 1.1 + 2 and x >= cx - 2:
        return (250, 200, 60, 1.0)
    if d > 59:
        return (70, 80, 120, 1.0)
    shade = 0.85 + 0.15 * (1 - y / SIZE)
    return (int(96 * shade), int(120 * shade), int(180 * shade), 1.0)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "app/app.ico"
    rows = []
    for y in range(SIZE - 1, -1, -1):   # bottom-up
        rows.append(b"".join(struct.pack("<BBBB", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_row = ((SIZE + 31) // 32) * 4
    and_mask = bytes(mask_row * SIZE)   # alpha decides; mask all visible
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(out, "wb") as f:
        f.write(ico + image)


if __name__ == "__main__":
    main()
