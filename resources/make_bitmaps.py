#!/usr/bin/env python3
"""Draws the module's bitmaps and writes them next to this script.

  texture999.bmp  40 x 40 grey bump texture: two dendritic six-armed ice crystals per tile,
                  faceted (triangular ridge profiles, hexagonal pyramid cores), tiling
                  seamlessly. Only its red channel is used, as bump height.
  about125.bmp    the picture of the about box: one crystal in icy blue on a dark gradient.
  button104.bmp   16 x 16 preview buttons, pixel art on the button face: zoom in (104),
  button105.bmp   navigation mode (105), pattern-dragging mode (106), zoom out (107).
  button106.bmp   Drawn on whole pixels without smoothing, so they stay crisp at 100 %
  button107.bmp   and double into clean 2 x 2 blocks at 200 %.
  tab111.bmp      10 x 10 tab images: the ice gem of an unselected tab (111) and of the
  tab113.bmp      selected tab (113); black wherever the mask is clear, as image lists need.
  tabmask112.bmp  their 1-bit mask: black = drawn, white = transparent.
  sample115.bmp   160 x 160 sample picture of the preset chooser: a view through a window
                  with a dark wooden frame onto a winter sky, hills and firs; mid and dark
                  tones, so white frost shows on every part of it.

It also writes src/platform/texture_bitmap.cpp, the Linux module's compiled-in copy of
texture999.bmp. Run it again after changing the drawing; the output is deterministic.
Standard library only. scene_pixels() is shared with docs/make_pictures.py, which draws
the same view larger as the input of the documentation's pictures.
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


# Preview buttons and tab images: pixel art on whole pixels.

BUTTON_SIZE = 16
TAB_SIZE = 10
SAMPLE_SIZE = 160
FACE = (240, 240, 240)  # the button face of current Windows themes

BUTTON_COLOURS = {
    ".": FACE,
    "k": (36, 44, 60),     # outline
    "g": (196, 226, 250),  # lens glass
    "w": (255, 255, 255),  # glint
    "h": (112, 76, 44),    # handle
    "b": (22, 84, 168),    # arrows, crystal
}


def from_art(art, colours):
    return [[colours[c] for c in line] for line in art]


def magnifier_art(plus):
    """A lens with a handle to the bottom right and a bold sign: + (zoom in) or - (zoom out).
    The lens is centred on a pixel corner, so the two-pixel strokes of the sign are centred."""
    rows = []
    for y in range(BUTTON_SIZE):
        line = ""
        for x in range(BUTTON_SIZE):
            d = math.hypot(x + 0.5 - 7.0, y + 0.5 - 7.0)
            sign = (6 <= y <= 7 and 4 <= x <= 9) or (plus and 6 <= x <= 7 and 4 <= y <= 9)
            if d < 4.9:
                c = "k" if sign else ("w" if (x, y) in ((4, 4), (5, 3), (3, 5)) else "g")
            elif d < 6.2:
                c = "k"
            elif 22 <= x + y <= 29 and abs(x - y) <= 2:
                c = "h" if abs(x - y) <= 1 and 23 <= x + y <= 28 else "k"
            else:
                c = "."
            line += c
        rows.append(line)
    return rows


PAN_ART = [
    ".......bb.......",
    "......bbbb......",
    ".....bbbbbb.....",
    "....bbbbbbbb....",
    "...b...bb...b...",
    "..bb...bb...bb..",
    ".bbb...bb...bbb.",
    "bbbbbbbbbbbbbbbb",
    "bbbbbbbbbbbbbbbb",
    ".bbb...bb...bbb.",
    "..bb...bb...bb..",
    "...b...bb...b...",
    "....bbbbbbbb....",
    ".....bbbbbb.....",
    "......bbbb......",
    ".......bb.......",
]

def line_pixels(x0, y0, x1, y1):
    """Pixels of a one-pixel line (Bresenham), so slanted arms have no gaps."""
    pixels = []
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x1 > x0 else -1), (1 if y1 > y0 else -1)
    err = dx + dy
    while True:
        pixels.append((x0, y0))
        if (x0, y0) == (x1, y1):
            return pixels
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def crystal_art():
    """A snow crystal with forked arms: the pattern mover. One arm and one diagonal are
    drawn and turned by the square's symmetries, so it stays symmetric on the pixel grid
    (at this size slanted six-fold arms break up into steps)."""
    part = [(7, y) for y in range(0, 7)]         # arm up
    part += [(5, 1), (6, 2), (9, 1), (8, 2)]     # its fork, opening outward
    part += [(8, 6), (9, 5), (10, 4), (11, 3)]   # diagonal up and right
    on = set()
    for x, y in part:
        for u, v in ((x, y), (y, x)):
            on.update({(u, v), (14 - u, v), (u, 14 - v), (14 - u, 14 - v)})
    on.add((7, 7))
    return ["".join("b" if (x, y) in on else "." for x in range(BUTTON_SIZE))
            for y in range(BUTTON_SIZE)]


# The ice gem of the tabs; '#' is the outline, the rest facets.
GEM_ART = [
    "....##....",
    "...#LH#...",
    "..#LLHH#..",
    ".#LLLHHH#.",
    "#LLLLHHHH#",
    "#MMMMDDDD#",
    ".#MMMDDD#.",
    "..#MMDD#..",
    "...#MD#...",
    "....##....",
]

GEM_UNSELECTED = {"#": (96, 104, 120), "L": (214, 220, 228), "H": (176, 186, 198),
                  "M": (150, 160, 174), "D": (126, 136, 152)}
GEM_SELECTED = {"#": (12, 60, 132), "L": (236, 248, 255), "H": (150, 210, 250),
                "M": (90, 170, 236), "D": (40, 120, 210)}


def gem_pixels(colours):
    # Pixels outside the gem are black so that the masked image list shows nothing there.
    return [[colours.get(c, (0, 0, 0)) for c in line] for line in GEM_ART]


def gem_mask():
    return [[c == "." for c in line] for line in GEM_ART]  # True = transparent (white)


def bmp1_bytes(rows):
    """1-bit bottom-up BMP, palette black (0) and white (1); rows of bools, True = white."""
    height, width = len(rows), len(rows[0])
    stride = (width + 31) // 32 * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, white in enumerate(row):
            if white:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    offset = 14 + 40 + 8
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(data), 2835, 2835, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    return bytes(header + info + palette + data)


# The window view: a dark wooden frame with a cross of glazing bars, a winter evening sky
# with a moon and clouds, snowy hills and firs. Drawn in units of the picture's height, so
# any aspect ratio shows the same view.

def smoothstep(e0, e1, x):
    t = max(0.0, min(1.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def hill_top(x):
    return 0.70 + 0.045 * math.sin(5.1 * x + 0.6) + 0.025 * math.sin(11.7 * x + 2.0)


FIRS = ((0.18, 0.70, 0.15), (0.27, 0.72, 0.11), (0.71, 0.68, 0.17), (0.80, 0.71, 0.12),
        (0.88, 0.69, 0.09), (1.22, 0.70, 0.15), (1.30, 0.73, 0.10))


def fir(x, y, fx, base, height):
    """Coverage 0/1 of a fir: three stacked triangles on a short trunk."""
    if y > base or y < base - height:
        return 0.0
    t = (base - y) / height  # 0 at the base, 1 at the tip
    if t < 0.1:
        return 1.0 if abs(x - fx) < height * 0.05 else 0.0
    tier = (t - 0.1) / 0.9 * 3
    width = height * 0.34 * (1 - tier % 1 * 0.75) * (1 - tier / 3 * 0.55)
    return 1.0 if abs(x - fx) < width else 0.0


def view(x, y, aspect):
    """Colour of the landscape behind the glass at (x, y); y = 0 top, 1 bottom."""
    sky = mix((18, 34, 82), (128, 160, 206), smoothstep(0.0, 0.78, y))
    # Moon with a soft halo.
    mx, my = aspect * 0.68, 0.22
    d = math.hypot(x - mx, y - my)
    sky = mix(sky, (170, 190, 225), 0.45 * math.exp(-d * d / 0.012))
    if d < 0.055:
        sky = mix((236, 238, 226), (214, 218, 210), smoothstep(0.0, 0.055, d) * 0.6)
    # Two banks of cloud.
    for cx, cy, rx, ry in ((aspect * 0.28, 0.30, 0.30, 0.05), (aspect * 0.55, 0.46, 0.38, 0.04),
                           (aspect * 0.86, 0.38, 0.20, 0.035)):
        c = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
        if c < 1:
            sky = mix(sky, (92, 108, 148), 0.7 * (1 - c))
    top = hill_top(x / aspect)
    if y > top:
        depth = y - top
        snow = mix((214, 224, 240), (140, 158, 196), smoothstep(0.0, 0.28, depth))
        sky = snow
    for fx, base, height in FIRS:
        # Laid out for a 3:2 view: wider pictures spread the firs, square ones crop them.
        if aspect > 1.0:
            fx *= aspect / 1.5
        if fir(x, y, fx, base + 0.02, height):
            sky = (22, 46, 40)
    return sky


def window(x, y, aspect):
    """Colour of the picture at (x, y) in units of its height."""
    frame, bar = 0.085, 0.045
    wood = (92, 58, 36)
    if x < frame or x > aspect - frame or y < frame or y > 1 - frame:
        # Frame: grain along its length, a bevel toward the glass.
        inset = min(x, aspect - x, y, 1 - y)
        across = x if min(x, aspect - x) == inset else y  # grain runs along each side
        grain = 0.06 * math.sin(across * 260.0 + 3.0 * math.sin(across * 47.0))
        shade = 0.75 + 0.35 * smoothstep(0.0, frame, inset) + grain
        return tuple(c * shade for c in wood)
    cx, cy = aspect / 2, 0.47
    if abs(x - cx) < bar / 2 or abs(y - cy) < bar / 2:
        return tuple(c * 0.95 for c in wood)
    colour = view(x, y, aspect)
    # A faint sheen on the glass, diagonal across each pane.
    sheen = 0.08 * max(0.0, 1 - abs((x - y * 0.6) % 0.5 - 0.25) / 0.05)
    return mix(colour, (255, 255, 255), sheen)


def scene_pixels(width, height, supersample=3):
    aspect = width / height
    rows = []
    for j in range(height):
        line = []
        for i in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(supersample):
                for sx in range(supersample):
                    x = (i + (sx + 0.5) / supersample) / height
                    y = (j + (sy + 0.5) / supersample) / height
                    c = window(x, y, aspect)
                    for k in range(3):
                        acc[k] += c[k]
            n = supersample * supersample
            line.append(tuple(min(255, max(0, round(a / n))) for a in acc))
        rows.append(line)
    return rows


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
    buttons = {104: from_art(magnifier_art(True), BUTTON_COLOURS),
               105: from_art(PAN_ART, BUTTON_COLOURS),
               106: from_art(crystal_art(), BUTTON_COLOURS),
               107: from_art(magnifier_art(False), BUTTON_COLOURS)}
    for number, pixels in buttons.items():
        with open(os.path.join(HERE, "button%d.bmp" % number), "wb") as f:
            f.write(bmp_bytes(pixels))
    with open(os.path.join(HERE, "tab111.bmp"), "wb") as f:
        f.write(bmp_bytes(gem_pixels(GEM_UNSELECTED)))
    with open(os.path.join(HERE, "tab113.bmp"), "wb") as f:
        f.write(bmp_bytes(gem_pixels(GEM_SELECTED)))
    with open(os.path.join(HERE, "tabmask112.bmp"), "wb") as f:
        f.write(bmp1_bytes(gem_mask()))
    with open(os.path.join(HERE, "sample115.bmp"), "wb") as f:
        f.write(bmp_bytes(scene_pixels(SAMPLE_SIZE, SAMPLE_SIZE)))


if __name__ == "__main__":
    main()
