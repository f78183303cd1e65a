#!/usr/bin/env python3
"""Writes a large RGB PNG quickly: the sample picture (cli/sample/window.png) enlarged to
WIDTH x HEIGHT by repeating pixels, at 8 or 16 bits a channel, so a run on it has the sample's
edges and smooth areas at any size; with "alpha", opaque on the left fading to half on the
right. Standard library only; the same file on every run.

Usage: make_picture.py OUT.png WIDTH HEIGHT DEPTH [alpha]
"""
import os
import struct
import sys
import zlib

SAMPLE = os.path.join(os.path.dirname(__file__), '..', '..', 'cli', 'sample', 'window.png')


def chunks(data):
    at = 8
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def read_rgb8(path):
    """Rows of an 8-bit RGB PNG without interlacing, as bytes."""
    with open(path, 'rb') as f:
        data = f.read()
    idat = b''
    for kind, body in chunks(data):
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if (depth, colour, interlace) != (8, 2, 0):
                raise SystemExit(f'{path}: not 8-bit RGB without interlacing')
        elif kind == b'IDAT':
            idat += body
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 3] if i >= 3 else 0
            b = previous[i]
            c = previous[i - 3] if i >= 3 else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(row))
        previous = row
    return width, height, rows


def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))


def main(argv):
    if len(argv) not in (5, 6) or argv[5:] not in ([], ['alpha']):
        raise SystemExit(__doc__)
    out, width, height, depth = argv[1], int(argv[2]), int(argv[3]), int(argv[4])
    alpha = len(argv) == 6
    sw, sh, source = read_rgb8(SAMPLE)
    xmap = [x * sw // width for x in range(width)]
    scaled = {}
    with open(out, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        colour = 6 if alpha else 2
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, 0)))
        z = zlib.compressobj(1)
        pending = b''
        for y in range(height):
            sy = y * sh // height
            if sy not in scaled:
                row = source[sy]
                pixels = [row[3 * x:3 * x + 3] for x in range(sw)]
                if alpha:
                    pixels = [p + bytes((255 - 128 * x // sw,)) for x, p in enumerate(pixels)]
                if depth == 16:  # v * 257, big-endian: the byte twice
                    pixels = [bytes(b for v in p for b in (v, v)) for p in pixels]
                scaled = {sy: b'\0' + b''.join(pixels[sx] for sx in xmap)}
            pending += z.compress(scaled[sy])
            if len(pending) >= 1 << 20:
                f.write(chunk(b'IDAT', pending))
                pending = b''
        pending += z.flush()
        f.write(chunk(b'IDAT', pending))
        f.write(chunk(b'IEND', b''))


if __name__ == '__main__':
    main(sys.argv)
