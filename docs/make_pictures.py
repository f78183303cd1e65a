#!/usr/bin/env python3
"""Makes the pictures of frostweavedoc.html with the frostweave command.

  docs/make_pictures.py [--frostweave PATH] [--jobs N]

PATH is the native frostweave program (default build/native/bin/frostweave); it loads the
filter module beside it. The input is our own drawing of a window onto a winter evening
(the preset chooser's sample picture, drawn larger by resources/make_bitmaps.py). Writes
docs/pictures/: the input, one picture per effect (frostweave gallery), and the pictures of
the paths, growth directions, render modes, material, light and glass sections. Run it
again after a change of the renderer or the pattern; the output is deterministic.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PICTURES = os.path.join(HERE, "pictures")
sys.path.insert(0, os.path.join(ROOT, "resources"))
import make_bitmaps  # noqa: E402

WIDTH, HEIGHT = 400, 300

EFFECTS = ["Geometric 1", "Geometric 2", "Geometric 3", "Floral 1", "Floral 2", "Floral 3",
           "Single 1", "Single 2", "Single 3", "Single 4"]
# With the default sizes the one pattern of the Single effects is small on a picture of
# this size: they are shown larger and a little lower (the manual says so).
SINGLE_OPTIONS = ["--set", "Lenght=35", "--set", "Width=150", "--center", "0,-450"]

# name of the picture: the options that make it (over the defaults: Floral 3 on U-like).
SHOTS = {
    # Paths: Geometric 1 shows the path most plainly.
    "path-bottom": ["--effect", "Geometric 1", "--mask-kind", "Bottom"],
    "path-top": ["--effect", "Geometric 1", "--mask-kind", "Top"],
    "path-top-and-bottom": ["--effect", "Geometric 1", "--mask-kind", "Top and bottom"],
    "path-perimeter": ["--effect", "Geometric 1", "--mask-kind", "Perimeter"],
    "path-u-like": ["--effect", "Geometric 1", "--mask-kind", "U-like"],
    "path-window": ["--effect", "Geometric 1", "--mask-kind", "Window"],
    "path-by-selection": ["--effect", "Geometric 1", "--mask-kind", "By selection",
                          "--selection", "@selection"],
    # Growth directions on the four sides of the picture.
    "direction-1": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 1"],
    "direction-2": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 2"],
    "direction-3": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 3"],
    "direction-4": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 4"],
    "direction-5": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 5"],
    "direction-6": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 6"],
    "direction-7": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                    "--grow-direction", "Direction 7"],
    "direction-all": ["--effect", "Geometric 1", "--mask-kind", "Perimeter",
                      "--grow-direction", "All directions"],
    # Render modes.
    "mode-rough": ["--render-mode", "Rough"],
    "mode-line": ["--render-mode", "Line"],
    "mode-wire": ["--render-mode", "Wire"],
    "mode-flat": ["--render-mode", "Flat"],
    "mode-phong": ["--render-mode", "Phong"],
    # Material, light and glass.
    "glass-off": ["--set", "UseGlass=0"],
    "glass-strong": ["--set", "Refraction=-100", "--set", "Aberration=60"],
    "material-gold": ["--set", "Diffuse=0xE0B040", "--set", "Speculare=0xFFF0C0",
                      "--set", "Shininess=40", "--set", "UseGlass=0"],
    "material-transparent": ["--set", "Transparancy=60"],
    "light-low": ["--set", "UseGlass=0", "--set", "LightBeta=10", "--set", "LightAlpha=90"],
    "light-blue": ["--set", "UseGlass=0", "--set", "LightColor=0x80B0FF",
                   "--set", "LightMultiplay=140"],
    "alpha-cut": ["--alpha-cut"],
}


def png_bytes(pixels):
    """8-bit RGB PNG of rows of (r, g, b)."""
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def selection_pixels():
    """A soft-edged oval over the lower right pane: white = selected."""
    rows = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            u, v = (x - WIDTH * 0.62) / (WIDTH * 0.28), (y - HEIGHT * 0.6) / (HEIGHT * 0.3)
            row.append((255, 255, 255) if u * u + v * v < 1 else (0, 0, 0))
        rows.append(row)
    return rows


def outline_pixels(picture, mask):
    """The picture with the border of the selection drawn as black and white dashes."""
    rows = [list(row) for row in picture]
    for y in range(1, HEIGHT - 1):
        for x in range(1, WIDTH - 1):
            inside = mask[y][x][0] > 0
            if any((mask[y + dy][x + dx][0] > 0) != inside
                   for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                rows[y][x] = (0, 0, 0) if (x + y) // 4 % 2 else (255, 255, 255)
    return rows


def run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s%s" % (" ".join(command), result.stdout, result.stderr))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--frostweave",
                        default=os.path.join(ROOT, "build", "native", "bin", "frostweave"))
    parser.add_argument("--jobs", default="2")
    args = parser.parse_args()
    os.makedirs(PICTURES, exist_ok=True)

    source = os.path.join(PICTURES, "window.png")
    picture = make_bitmaps.scene_pixels(WIDTH, HEIGHT)
    with open(source, "wb") as f:
        f.write(png_bytes(picture))
    mask = selection_pixels()
    with open(os.path.join(PICTURES, "selection-outline.png"), "wb") as f:
        f.write(png_bytes(outline_pixels(picture, mask)))

    with tempfile.TemporaryDirectory() as work:
        selection = os.path.join(work, "selection.png")
        with open(selection, "wb") as f:
            f.write(png_bytes(mask))

        for extra, names in (([], EFFECTS[:6]), (SINGLE_OPTIONS, EFFECTS[6:])):
            gallery = os.path.join(work, "gallery-%d" % len(extra))
            run([args.frostweave, "gallery", source, "-o", gallery, "--format", "jpg",
                 "-j", args.jobs, "-q"] + extra)
            for name in names:
                slug = name.lower().replace(" ", "-")
                shutil.copy(os.path.join(gallery, slug + ".jpg"),
                            os.path.join(PICTURES, "effect-" + slug + ".jpg"))

        for name, options in SHOTS.items():
            options = [selection if o == "@selection" else o for o in options]
            run([args.frostweave, "apply", source, "-o", os.path.join(PICTURES, name + ".jpg"),
                 "-q"] + options)
    print("pictures written to", PICTURES)


if __name__ == "__main__":
    main()
