#!/usr/bin/env python3
"""Draws the navigator bar's button glyphs as 16-colour bitmaps.

Each bitmap is 13 pixels high and holds two images side by side: the normal
image (a black shape) and the disabled image (the shape's outline in dark grey
over a white shadow one pixel down and right). The background is dark olive;
the bar takes the bottom-left pixel's colour as transparent. Run it from this
directory; the .bmp files it writes are committed next to it.
"""
import struct

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, GREY, WHITE = 0, 3, 7, 15
H = 13


def tri_left(x0, x1, cy, reach):
    """A triangle pointing left: tip at x0, base at x1, half height `reach`."""
    pts = set()
    for x in range(x0, x1 + 1):
        half = (x - x0) * reach // max(1, x1 - x0)
        for y in range(cy - half, cy + half + 1):
            pts.add((x, y))
    return pts


def mirror(pts, w):
    return {(w - 1 - x, y) for x, y in pts}


def rect(x0, y0, x1, y1):
    return {(x, y) for x in range(x0, x1 + 1) for y in range(y0, y1 + 1)}


def shapes():
    s = {}
    s['first'] = (14, rect(2, 3, 3, 9) | tri_left(5, 10, 6, 3))
    s['prior'] = (10, tri_left(3, 6, 6, 3))
    s['next'] = (10, mirror(tri_left(3, 6, 6, 3), 10))
    s['last'] = (14, mirror(rect(2, 3, 3, 9) | tri_left(5, 10, 6, 3), 14))
    s['insert'] = (14, rect(6, 2, 7, 10) | rect(2, 5, 11, 6))
    s['delete'] = (14, rect(2, 5, 11, 6))
    edit = set()
    for y in range(4, 10):
        half = y - 4
        edit |= {(x, y) for x in range(6 - half, 7 + half + 1)}
    s['edit'] = (14, edit)
    tick = set()
    for i, (x, y) in enumerate([(2, 6), (3, 7), (4, 8), (5, 9), (6, 8), (7, 7), (8, 6), (9, 5), (10, 4), (11, 3)]):
        tick |= {(x, y), (x, y - 1)}
    s['post'] = (14, tick)
    cross = set()
    for i in range(8):
        cross |= {(3 + i, 2 + i), (4 + i, 2 + i), (10 - i, 2 + i), (11 - i, 2 + i)}
    s['cancel'] = (14, cross)
    # A curved arrow turning back on itself: out to the right along the top,
    # round the right-hand side, and back to the left with the head at the bottom.
    refresh = rect(3, 2, 8, 3) | rect(9, 3, 9, 4) | rect(10, 4, 11, 7) | rect(9, 7, 9, 8) | rect(6, 8, 8, 9)
    refresh |= rect(5, 6, 5, 11) | rect(4, 7, 4, 10) | rect(3, 8, 3, 9)
    s['refresh'] = (14, refresh)
    return s


def outline(pts):
    return {(x, y) for x, y in pts
            if any((x + dx, y + dy) not in pts for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))}


def image(width, pts):
    """Both images of one glyph as rows of palette indexes, top row first."""
    pix = [[OLIVE] * (2 * width) for _ in range(H)]
    for x, y in pts:
        pix[y][x] = BLACK
    edge = outline(pts)
    for x, y in edge:
        if x + 1 < width and y + 1 < H - 1:
            pix[y + 1][width + x + 1] = WHITE
    for x, y in edge:
        pix[y][width + x] = GREY
    return pix


def write_bmp(path, pix):
    h, w = len(pix), len(pix[0])
    row_bytes = ((w + 1) // 2 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pix):
        packed = bytearray()
        for i in range(0, w, 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < w else 0
            packed.append(hi << 4 | lo)
        packed += bytes(row_bytes - len(packed))
        data += packed
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(pal)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    with open(path, 'wb') as f:
        f.write(header + info + pal + data)


if __name__ == '__main__':
    for word, (width, pts) in shapes().items():
        assert all(0 <= x < width and 0 <= y < H for x, y in pts), word
        # The bottom-left pixel carries the transparent colour.
        assert (0, H - 1) not in pts, word
        write_bmp('dbn_%s.bmp' % word, image(width, pts))
