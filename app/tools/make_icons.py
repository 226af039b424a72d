#!/usr/bin/env python3
"""Draws the client's icons and writes them as .ico files.

  make_icons.py <out-dir>
writes qextivara.ico (the window icon: a red seal, 48/32/16 pixels in 16,
256 and true colours), tray_red.ico and tray_green.ico (a traffic light
with its red or green lamp lit, 32 x 32, 16 colours).
"""
import math
import os
import struct
import sys

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    pal = list(VGA16)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                pal.append((r * 51, g * 51, b * 51))
    while len(pal) < 256:
        v = (len(pal) - 232) * 10 + 8
        pal.append((v, v, v))
    return pal[:256]


def nearest(pal, rgb):
    return min(range(len(pal)), key=lambda i: sum((a - b) ** 2 for a, b in zip(pal[i], rgb)))


def seal(size):
    """A red seal: a ring with a five-pointed star, transparent outside."""
    px = [[None] * size for _ in range(size)]
    c = (size - 1) / 2.0
    outer, inner = size * 0.47, size * 0.38
    star = []
    for k in range(10):
        ang = -math.pi / 2 + k * math.pi / 5
        rad = size * (0.30 if k % 2 == 0 else 0.12)
        star.append((c + rad * math.cos(ang), c + rad * math.sin(ang)))
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if inner <= d <= outer or inside(star, x, y):
                px[y][x] = (220, 0, 0)
            elif d < inner:
                px[y][x] = (255, 255, 255)
    return px


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def traffic_light(lit):
    """32 x 32: a dark housing with three lamps; `lit` is 'red' or 'green'."""
    size = 32
    px = [[None] * size for _ in range(size)]
    for y in range(1, 31):
        for x in range(9, 23):
            px[y][x] = (0, 0, 0)
    lamps = [(7, 'red', (255, 0, 0), (128, 0, 0)), (16, 'yellow', (255, 255, 0), (128, 128, 0)),
             (25, 'green', (0, 255, 0), (0, 128, 0))]
    for cy, name, on, off in lamps:
        colour = on if name == lit else off
        for y in range(size):
            for x in range(size):
                if math.hypot(x - 15.5, y - cy) <= 4.2:
                    px[y][x] = colour
    return px


def dib(px, bpp):
    size = len(px)
    if bpp == 32:
        pal = []
    else:
        pal = VGA16 if bpp == 4 else palette256()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    palbytes = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in pal)
    rows = []
    for y in reversed(range(size)):
        row = px[y]
        if bpp == 32:
            data = b''.join(struct.pack('BBBB', p[2], p[1], p[0], 255) if p else b'\0\0\0\0' for p in row)
        else:
            idx = [nearest(pal, p) if p else 0 for p in row]
            if bpp == 4:
                data = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
            else:
                data = bytes(idx)
        data += b'\0' * ((4 - len(data) % 4) % 4)
        rows.append(data)
    mask = []
    for y in reversed(range(size)):
        bits = 0
        data = bytearray()
        for x in range(size):
            bits = (bits << 1) | (1 if px[y][x] is None else 0)
            if x % 8 == 7:
                data.append(bits)
                bits = 0
        data += b'\0' * ((4 - len(data) % 4) % 4)
        mask.append(bytes(data))
    return header + palbytes + b''.join(rows) + b''.join(mask)


def write_ico(path, images):
    """images: list of (pixels, bpp)."""
    blobs = [dib(px, bpp) for px, bpp in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (px, bpp), blob in zip(images, blobs):
        size = len(px)
        colours = 16 if bpp == 4 else 0
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    with open(path, 'wb') as f:
        f.write(out + b''.join(blobs))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = [(seal(s), bpp) for bpp in (4, 8, 32) for s in (48, 32, 16)]
    write_ico(os.path.join(out, 'qextivara.ico'), images)
    write_ico(os.path.join(out, 'tray_red.ico'), [(traffic_light('red'), 4)])
    write_ico(os.path.join(out, 'tray_green.ico'), [(traffic_light('green'), 4)])


if __name__ == '__main__':
    main()
