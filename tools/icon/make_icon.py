#!/usr/bin/env python3
"""Draws Kartoteka's program icon: a blue-and-green globe ringed by two curved
orange arrows on a transparent background. Writes resources/icons/kartoteka.ico
(32x32 and 16x16, each at 16 and 256 colours, with transparency masks) and PNG
copies for the desktop. Standard library only.

Usage: tools/icon/make_icon.py <output directory>
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4  # supersampling per axis

OCEAN = (30, 90, 200)
OCEAN_DARK = (15, 50, 140)
LAND = (40, 160, 60)
ARROW = (245, 140, 20)
ARROW_DARK = (190, 90, 0)


def land(x, y):
    """Continents on the unit disc, as blobs."""
    blobs = [(-0.35, -0.25, 0.32), (0.25, 0.2, 0.28), (-0.1, 0.45, 0.2), (0.4, -0.4, 0.15)]
    return any((x - bx) ** 2 + (y - by) ** 2 < r * r for bx, by, r in blobs)


def arrow(x, y):
    """Two arcs around the globe, each ending in a head."""
    r = math.hypot(x, y)
    a = math.degrees(math.atan2(y, x)) % 360
    for start in (20.0, 200.0):
        span = 130.0
        rel = (a - start) % 360
        if 0 <= rel <= span and 0.80 <= r <= 0.93:
            return True
        # The head: a triangle past the arc's end, pointing along the ring.
        end = math.radians(start + span)
        ex, ey = 0.865 * math.cos(end), 0.865 * math.sin(end)
        tx, ty = -math.sin(end), math.cos(end)      # along the ring
        nx, ny = math.cos(end), math.sin(end)       # outwards
        dx, dy = x - ex, y - ey
        along = dx * tx + dy * ty
        across = dx * nx + dy * ny
        if 0 <= along <= 0.22 and abs(across) <= 0.16 * (1 - along / 0.22):
            return True
    return False


def colour_at(x, y):
    """Colour of a point in [-1, 1]^2, or None for transparent."""
    if arrow(x, y):
        return ARROW if x + y < 0.6 else ARROW_DARK
    r = math.hypot(x, y)
    if r <= 0.72:
        shade = 1.0 - 0.35 * max(0.0, (x + y) / 1.4)
        base = LAND if land(x / 0.72, y / 0.72) else OCEAN
        if r > 0.66:
            base = OCEAN_DARK
        return tuple(int(c * shade) for c in base)
    return None


def render(size):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = ((px + (sx + 0.5) / SAMPLES) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / SAMPLES) / size) * 2 - 1
                    c = colour_at(x, y)
                    if c:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits * 2 >= SAMPLES * SAMPLES:
                row.append(tuple(v // hits for v in acc))
            else:
                row.append(None)
        pixels.append(row)
    return pixels


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


def nearest(pal, c):
    return min(range(len(pal)), key=lambda i: sum((pal[i][k] - c[k]) ** 2 for k in range(3)))


def dib(pixels, bpp):
    size = len(pixels)
    pal = VGA16 if bpp == 4 else palette256()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, len(pal), 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in pal)
    rows = []
    for y in range(size - 1, -1, -1):
        idx = [0 if c is None else nearest(pal, c) for c in pixels[y]]
        if bpp == 4:
            data = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(idx)
        data += b'\0' * ((4 - len(data) % 4) % 4)
        rows.append(data)
    mask_rows = []
    for y in range(size - 1, -1, -1):
        bits = 0
        out = bytearray()
        for x in range(size):
            bits = (bits << 1) | (1 if pixels[y][x] is None else 0)
            if x % 8 == 7:
                out.append(bits)
                bits = 0
        out += b'\0' * ((4 - len(out) % 4) % 4)
        mask_rows.append(bytes(out))
    return header + palette + b''.join(rows) + b''.join(mask_rows)


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
        blobs.append(data)
    return out + b''.join(blobs)


def png(pixels):
    size = len(pixels)
    raw = b''.join(b'\0' + b''.join(bytes(c) + b'\xff' if c else b'\0\0\0\0' for c in row)
                   for row in pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out_dir, exist_ok=True)
    big, small = render(32), render(16)
    images = [(32, 4, dib(big, 4)), (16, 4, dib(small, 4)), (32, 8, dib(big, 8)), (16, 8, dib(small, 8))]
    with open(os.path.join(out_dir, 'kartoteka.ico'), 'wb') as f:
        f.write(ico(images))
    for size, pixels in ((32, big), (16, small), (48, render(48)), (64, render(64))):
        with open(os.path.join(out_dir, 'kartoteka-%d.png' % size), 'wb') as f:
            f.write(png(pixels))


if __name__ == '__main__':
    main()
