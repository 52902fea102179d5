#!/usr/bin/env python3
"""Renders the PNG sizes of the icon from the shapes of orbiscope.svg (no SVG library
needed): 4 x 4 supersampling, written with zlib."""
import struct, sys, zlib

NAVY, STEEL, WHITE, RED, AQUA = (0x1d, 0x35, 0x57), (0x45, 0x7b, 0x9d), (0xf1, 0xfa, 0xee), (0xe6, 0x39, 0x46), (0xa8, 0xda, 0xdc)


def in_round_rect(x, y, x0, y0, w, h, r):
    cx = min(max(x, x0 + r), x0 + w - r)
    cy = min(max(y, y0 + r), y0 + h - r)
    return x0 <= x <= x0 + w and y0 <= y <= y0 + h and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """The colour at (x, y) in the 256-unit canvas, or None outside."""
    c = None
    if in_round_rect(x, y, 8, 8, 240, 240, 40): c = NAVY
    d2 = (x - 128) ** 2 + (y - 104) ** 2
    if d2 <= 77 ** 2: c = WHITE
    if d2 <= 67 ** 2: c = STEEL
    if d2 <= 28 ** 2: c = NAVY
    if d2 <= 14 ** 2: c = RED
    if in_round_rect(x, y, 32, 196, 192, 32, 8): c = AQUA
    if in_round_rect(x, y, 32, 196, 64, 32, 8): c = RED
    return c


def render(size):
    rows, s = [], 4
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc, hits = [0, 0, 0], 0
            for sy in range(s):
                for sx in range(s):
                    c = colour_at((px + (sx + 0.5) / s) * 256 / size, (py + (sy + 0.5) / s) * 256 / size)
                    if c:
                        hits += 1
                        for k in range(3): acc[k] += c[k]
            if hits:
                row += bytes([acc[0] // hits, acc[1] // hits, acc[2] // hits, 255 * hits // (s * s)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    for size in map(int, sys.argv[1:] or ["48", "256"]):
        with open(f"orbiscope-{size}.png", "wb") as f:
            f.write(render(size))
