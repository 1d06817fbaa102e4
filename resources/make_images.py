#!/usr/bin/env python3
"""Draws Tarsio's bitmaps and icon: 16-colour pixel art, written as BMP/ICO.

The images are committed; run this only to change them:
    python3 resources/make_images.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Characters of the drawings and their palette index; '.' is background.
INK = {'.': 7, 'k': 0, 'y': 11, 'o': 3, 'w': 15, 'g': 8, 'b': 12, 'n': 4,
       'r': 9, 'm': 13, 'G': 10, 'c': 14}

OPEN_FOLDER = [  # 16 x 16: an open folder with a link arrow
    "................",
    "................",
    "..kkkk..........",
    ".kyyyyk.........",
    ".kyyyyykkkkkk...",
    ".kywwwwwwwwwyk..",
    ".kywkkkkkkkkkkkk",
    ".kywkyyyyyyyyyyk",
    ".kykyyyyyyyyyyk.",
    ".kykyyyyyyyyyyk.",
    ".kkyyyyyyyyyyk..",
    ".kkyyyyyyyyyyk..",
    ".kkkkkkkkkkkk...",
    "................",
    "................",
    "................",
]

MENU_EXIT = [  # 13 x 13: a door with an arrow
    ".............",
    "..kkkkkkk....",
    "..kwwwwwk....",
    "..kwwwwwk....",
    "..kwwwwwk..r.",
    "..kwwwwwk.rr.",
    "..kwwwkwrrrrr",
    "..kwwwwwk.rr.",
    "..kwwwwwk..r.",
    "..kwwwwwk....",
    "..kwwwwwk....",
    "..kkkkkkk....",
    ".............",
]

MENU_HELP = [  # 13 x 13: a question mark in a blue disc
    "....nnnnn....",
    "..nnbbbbbnn..",
    ".nbbbwwwbbbn.",
    ".nbbwbbbwbbn.",
    "nbbbbbbbwbbbn",
    "nbbbbbbwbbbbn",
    "nbbbbbwbbbbbn",
    "nbbbbbwbbbbbn",
    "nbbbbbbbbbbbn",
    ".nbbbbwbbbbn.",
    ".nbbbbbbbbbn.",
    "..nnbbbbbnn..",
    "....nnnnn....",
]

MENU_ABOUT = [  # 13 x 13: an "i" in a yellow disc
    "....ooooo....",
    "..ooyyyyyoo..",
    ".oyyyyyyyyyo.",
    ".oyyyykyyyyo.",
    "oyyyyyyyyyyyo",
    "oyyyykkyyyyyo",
    "oyyyyykyyyyyo",
    "oyyyyykyyyyyo",
    "oyyyyykyyyyyo",
    ".oyyykkkyyyo.",
    ".oyyyyyyyyyo.",
    "..ooyyyyyoo..",
    "....ooooo....",
]

ICON = [  # 16 x 16: two folders joined by a fuchsia link
    "................",
    ".kkkk...........",
    "kyyyyk..........",
    "kyyyyykkkkk.....",
    "kyyyyyyyyyyk....",
    "kyyyyyyyyyyk....",
    "kyyyymmyyyyk....",
    "kkkkkmmkkkkk....",
    ".....mm.........",
    ".....mmmmm.kkkk.",
    "........mmkyyyyk",
    "..........kyyyyk",
    "..........kyyyyk",
    "..........kyyyyk",
    "..........kkkkkk",
    "................",
]


def pixels(drawing):
    return [[INK[c] for c in row] for row in drawing]


def bmp_4bit(drawing):
    """A 16-colour bottom-up BMP file."""
    rows = pixels(drawing)
    h, w = len(rows), len(rows[0])
    stride = ((w * 4 + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, v in enumerate(row):
            line[x // 2] |= v << (4 if x % 2 == 0 else 0)
        data += bytes(line)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + palette + data


def icon_image(drawing, scale):
    """One 32-bit image of an ICO: BGRA rows bottom-up, then the AND mask."""
    rows = pixels(drawing)
    size = len(rows) * scale
    xor = b""
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for y in reversed(range(size)):
        mline = bytearray(mask_stride)
        for x in range(size):
            ch = drawing[y // scale][x // scale]
            r, g, b = PALETTE[rows[y // scale][x // scale]]
            alpha = 0 if ch == '.' else 255
            xor += struct.pack("<BBBB", b, g, r, alpha)
            if alpha == 0:
                mline[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(mline)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return size, info + xor + mask


def ico(drawing, scales):
    images = [icon_image(drawing, s) for s in scales]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return header + entries + blobs


def main():
    outputs = {
        "open.bmp": bmp_4bit(OPEN_FOLDER),
        "menu_exit.bmp": bmp_4bit(MENU_EXIT),
        "menu_help.bmp": bmp_4bit(MENU_HELP),
        "menu_about.bmp": bmp_4bit(MENU_ABOUT),
        "tarsio.ico": ico(ICON, [1, 2, 3]),
    }
    for name, data in outputs.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
