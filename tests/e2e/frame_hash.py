#!/usr/bin/env python3
"""Size and FNV-1a of the frames the simulated engine generates, as kv_host prints them.

usage: frame_hash.py planar <width> <height> [frame]   # I420 copied compactly (type 14 item)
       frame_hash.py packed <count> [frame]
Computed from the pattern documented in docs/console.md, independently of the C++ code.
"""
import sys


def fnv1a(data):
    h = 0x811C9DC5
    for b in data:
        h = ((h ^ b) * 0x01000193) & 0xFFFFFFFF
    return h


def planar(width, height, frame=0):
    out = bytearray()
    for y in range(height):
        out += bytes((x + y + frame) & 255 for x in range(width))
    n, r = width // 2, height // 2
    for j in range(r):
        out += bytes((64 + i + frame) & 255 for i in range(n))
    for j in range(r):
        out += bytes([(192 + j + frame) & 255]) * n
    return bytes(out)


def packed(count, frame=0):
    return bytes((k + frame) % 251 for k in range(count))


if __name__ == "__main__":
    kind, *numbers = sys.argv[1:]
    values = [int(v) for v in numbers]
    data = planar(*values) if kind == "planar" else packed(*values)
    print(f'{{"type":14,"size":{len(data)},"fnv1a":"{fnv1a(data):08x}"}}')
