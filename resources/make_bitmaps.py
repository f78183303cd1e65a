#!/usr/bin/env python3
"""Draws the module's bitmaps and writes them next to this script.

  texture999.bmp  40 x 40 grey bump texture: two dendritic six-armed ice crystals per tile,
                  faceted (triangular ridge profiles, hexagonal pyramid cores), tiling
                  seamlessly. Only its red channel is used, as bump height.
  about125.bmp    the picture of the about box: one crystal in icy blue on a dark gradient.

It also writes src/platform/texture_bitmap.cpp, the Linux module's compiled-in copy of
texture999.bmp. Run it again after changing the drawing; the output is deterministic.
Standard library only.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
TEXTURE_SIZE = 40
ABOUT_SIZE = 80
SUPERSAMPLE = 4


def ridge(px, py, ax, ay, bx, by, width):
    """Height of a ridge along segment a-b with a triangular (faceted) cross-section."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    ex, ey = px - (ax + t * dx), py - (ay + t * dy)
    return max(0.0, 1.0 - math.hypot(ex, ey) / width), t


def crystal_segments(radius, turn):
    """Six main arms with side branches at +-60 degrees, as (ax, ay, bx, by, width, crest)."""
    segments = []
    for arm in range(6):
        a = turn + arm * math.pi / 3
        ux, uy = math.cos(a), math.sin(a)
        segments.append((0.0, 0.0, radius * ux, radius * uy, 1.4, 1.0))
        for along in (0.38, 0.58, 0.76):
            bx, by = along * radius * ux, along * radius * uy
            # Dendrites: branches longest near the middle of the arm, shorter toward the tip.
            branch = radius * 0.42 * (1.0 - along) * (1.3 if along < 0.5 else 1.0)
            for side in (-1, 1):
                b = a + side * math.pi / 3
                segments.append((bx, by, bx + branch * math.cos(b), by + branch * math.sin(b),
                                 1.1, 0.8))
    return segments


def crystal_height(x, y, radius, turn, segments):
    """Height 0..1 of one crystal centred at the origin."""
    h = 0.0
    for ax, ay, bx, by, width, crest in segments:
        r, t = ridge(x, y, ax, ay, bx, by, width * radius / 18.0)
        # Arms thin out toward their tips.
        h = max(h, r * crest * (1.0 - 0.45 * t))
    # Hexagonal plate at the core: a six-faceted pyramid.
    core = radius * 0.3
    hexdist = max(abs(x * math.cos(turn + math.pi / 6 + k * math.pi / 3) +
                      y * math.sin(turn + math.pi / 6 + k * math.pi / 3)) for k in range(3))
    h = max(h, 1.0 - hexdist / core)
    return h


def texture_height(x, y, crystals):
    """Height at (x, y) of the tiling texture: the nearest crystal (wrapping) decides."""
    best = None
    for cx, cy, radius, turn, segments in crystals:
        dx = (x - cx + TEXTURE_SIZE / 2) % TEXTURE_SIZE - TEXTURE_SIZE / 2
        dy = (y - cy + TEXTURE_SIZE / 2) % TEXTURE_SIZE - TEXTURE_SIZE / 2
        h = crystal_height(dx, dy, radius, turn, segments)
        # Rime on the ice between the crystals: a shallow six-fold ripple.
        rime = 0.08 + 0.05 * math.cos(6 * math.atan2(dy, dx)) * min(1.0, math.hypot(dx, dy) / 8)
        h = max(h, rime)
        best = h if best is None else max(best, h)
    return best


def render(size, height_at):
    """Rows of heights (top row first), supersampled."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    total += height_at(x + (sx + 0.5) / SUPERSAMPLE, y + (sy + 0.5) / SUPERSAMPLE)
            row.append(total / (SUPERSAMPLE * SUPERSAMPLE))
        rows.append(row)
    return rows


def bmp_bytes(pixels):
    """24-bit bottom-up BMP of rows of (r, g, b), top row first."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return bytes(header + info + data)


def make_texture():
    crystals = []
    for cx, cy, turn in ((20.0, 20.0, 0.0), (0.0, 0.0, math.pi / 6)):
        radius = 16.5
        crystals.append((cx, cy, radius, turn, crystal_segments(radius, turn)))
    heights = render(TEXTURE_SIZE, lambda x, y: texture_height(x, y, crystals))
    pixels = []
    for row in heights:
        grey = [min(255, max(0, round(24 + 231 * h))) for h in row]
        pixels.append([(g, g, g) for g in grey])
    return bmp_bytes(pixels)


def make_about_picture():
    centre = ABOUT_SIZE / 2
    radius = ABOUT_SIZE * 0.46
    segments = crystal_segments(radius, math.pi / 2)
    heights = render(ABOUT_SIZE,
                     lambda x, y: crystal_height(x - centre, y - centre, radius, math.pi / 2,
                                                 segments))
    pixels = []
    for y, row in enumerate(heights):
        line = []
        for h in row:
            back = (12, 28 + y // 4, 64 + y // 2)  # night-blue gradient
            ice = (200 + 55 * h, 230 + 25 * h, 255)
            a = min(1.0, h * 1.4)
            line.append(tuple(round(bk + (ic - bk) * a) for bk, ic in zip(back, ice)))
        pixels.append(line)
    return bmp_bytes(pixels)


def cpp_array(name, data):
    lines = []
    for at in range(0, len(data), 12):
        lines.append("    " + " ".join("0x%02x," % b for b in data[at:at + 12]))
    return "const uint8_t %s[%d] = {\n%s\n};\n" % (name, len(data), "\n".join(lines))


def write_texture_source(texture):
    source = (
        "// Bitmap resources compiled into the Linux module, where there is no resource\n"
        "// section. Generated by resources/make_bitmaps.py from resources/texture999.bmp;\n"
        "// do not edit by hand.\n"
        "#include <cstddef>\n"
        "#include <cstdint>\n"
        "\n"
        "namespace fw::platform {\n"
        "namespace {\n"
        "\n"
        "// clang-format off\n"
        + cpp_array("kTexture999", texture) +
        "// clang-format on\n"
        "\n"
        "}  // namespace\n"
        "\n"
        "bool FindCompiledBitmap(int id, const uint8_t*& bmp, size_t& size) {\n"
        "    if (id != 999) return false;\n"
        "    bmp = kTexture999;\n"
        "    size = sizeof(kTexture999);\n"
        "    return true;\n"
        "}\n"
        "\n"
        "}  // namespace fw::platform\n")
    path = os.path.join(HERE, "..", "src", "platform", "texture_bitmap.cpp")
    with open(path, "w") as f:
        f.write(source)


def main():
    texture = make_texture()
    with open(os.path.join(HERE, "texture999.bmp"), "wb") as f:
        f.write(texture)
    with open(os.path.join(HERE, "about125.bmp"), "wb") as f:
        f.write(make_about_picture())
    write_texture_source(texture)


if __name__ == "__main__":
    main()
