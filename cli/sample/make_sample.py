#!/usr/bin/env python3
"""Draws the sample picture the README's main command filters: a view through a wooden
window onto sky, clouds and hills, with plaster, wood grain and film grain, so the frost
has edges, smooth areas and texture to grow over. Standard library only; the output is
the same on every run.

Usage: make_sample.py [OUT.png] [WIDTH HEIGHT]   (default: window.png 800 600)
"""
import math
import random
import struct
import sys
import zlib


class ValueNoise:
    """Smoothly interpolated lattice noise in 0..1."""

    def __init__(self, seed, size=256):
        rng = random.Random(seed)
        self.size = size
        self.values = [rng.random() for _ in range(size * size)]

    def at(self, x, y):
        s = self.size
        xi, yi = math.floor(x), math.floor(y)
        fx, fy = x - xi, y - yi
        fx = fx * fx * (3 - 2 * fx)
        fy = fy * fy * (3 - 2 * fy)
        x0, y0 = xi % s, yi % s
        x1, y1 = (x0 + 1) % s, (y0 + 1) % s
        v = self.values
        top = v[y0 * s + x0] + (v[y0 * s + x1] - v[y0 * s + x0]) * fx
        bottom = v[y1 * s + x0] + (v[y1 * s + x1] - v[y1 * s + x0]) * fx
        return top + (bottom - top) * fy

    def fbm(self, x, y, octaves):
        total, amplitude, norm = 0.0, 1.0, 0.0
        for _ in range(octaves):
            total += amplitude * self.at(x, y)
            norm += amplitude
            x, y, amplitude = x * 2.03, y * 2.03, amplitude * 0.5
        return total / norm


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def draw(width, height):
    clouds, hills, grain, plaster = (ValueNoise(s) for s in (11, 23, 37, 41))
    rng = random.Random(5)
    # The window opening, its frame and the cross bars, in pixels.
    left, right = int(width * 0.15), int(width * 0.85)
    top, bottom = int(height * 0.10), int(height * 0.84)
    frame = max(6, width // 28)
    bar = max(4, width // 60)
    mid_x = (left + right) // 2
    mid_y = top + (bottom - top) * 2 // 5
    horizon = top + (bottom - top) * 0.72
    rows = []
    for y in range(height):
        row = bytearray()
        v = y / height
        for x in range(width):
            u = x / width
            inside = left <= x < right and top <= y < bottom
            in_frame = (left - frame <= x < right + frame and top - frame <= y < bottom + frame
                        and not inside)
            in_bar = inside and (abs(x - mid_x) < bar or abs(y - mid_y) < bar)
            if y >= bottom + frame:  # the sill, lit from the window
                g = grain.fbm(x * 0.01, y * 0.25, 3)
                stripes = 0.5 + 0.5 * math.sin(x * 0.02 + g * 14)
                c = mix((150, 110, 72), (196, 158, 112), stripes)
                shade = 0.65 + 0.35 * smoothstep(height, bottom + frame, y)
                c = tuple(ch * shade for ch in c)
            elif in_frame or in_bar:  # painted wood: grain along the piece
                along = y if (abs(x - mid_x) < bar or x < left or x >= right) else x
                across = x if along == y else y
                g = grain.fbm(across * 0.3, along * 0.012, 3)
                stripes = 0.5 + 0.5 * math.sin(across * 0.9 + g * 9)
                c = mix((222, 216, 204), (238, 234, 226), stripes)
                edge = min(abs(x - (left - frame)), abs(x - (right + frame - 1)),
                           abs(y - (top - frame)), abs(y - (bottom + frame - 1)))
                if in_bar:
                    edge = min(abs(abs(x - mid_x) - bar), abs(abs(y - mid_y) - bar))
                c = tuple(ch * (0.82 + 0.18 * smoothstep(0, 4, edge)) for ch in c)
            elif inside:  # the view: sky, clouds, hills
                t = (y - top) / (bottom - top)
                sky = mix((58, 104, 178), (182, 208, 232), t ** 0.8)
                n = clouds.fbm(x * 0.006 + 3.0, y * 0.012, 5)
                cover = smoothstep(0.50, 0.72, n) * (1.0 - smoothstep(0.55, 0.75, t))
                lit = 0.85 + 0.25 * clouds.fbm(x * 0.02, y * 0.02, 3)
                c = mix(sky, (246 * lit, 246 * lit, 250 * lit), cover)
                ridge = horizon - 60 * hills.fbm(x * 0.004, 0.5, 4) * height / 600
                if y > ridge:
                    depth = smoothstep(ridge, bottom, y)
                    trees = hills.fbm(x * 0.05, y * 0.05, 3)
                    c = mix((92, 118, 110), (38, 70, 40), depth)
                    c = tuple(ch * (0.75 + 0.5 * trees) for ch in c)
            else:  # plaster wall, darker away from the light
                n = plaster.fbm(x * 0.08, y * 0.08, 4)
                light = 1.0 - 0.45 * math.hypot(u - 0.5, (v - 0.45) * 1.3)
                c = tuple(ch * light * (0.9 + 0.2 * n) for ch in (214, 196, 170))
            noise = rng.gauss(0, 2.5)  # film grain
            row += bytes(max(0, min(255, int(ch + noise + 0.5))) for ch in c)
        rows.append(bytes(row))
    return rows


def write_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x01" + sub_filter(r) for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def sub_filter(row):
    out = bytearray(row[:3])
    out += bytes((row[i] - row[i - 3]) & 0xFF for i in range(3, len(row)))
    return bytes(out)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "window.png"
    width = int(sys.argv[2]) if len(sys.argv) > 2 else 800
    height = int(sys.argv[3]) if len(sys.argv) > 3 else 600
    write_png(out, width, height, draw(width, height))


if __name__ == "__main__":
    main()
