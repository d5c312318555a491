#!/usr/bin/env python3
"""Draws the recording list's images: the record-type icon sheet (BMP) and
the check-box indicators (ICO). Standard library only, so nothing binary is
kept in the repository.

usage: make_images.py OUTDIR
"""
import os
import struct
import sys

# 5x7 glyphs of the few letters the icons carry; '#' is ink.
GLYPHS = {
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
}

WHITE = (255, 255, 255)


class Canvas:
    """RGB(A) pixels, row 0 at the top."""

    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour for _ in range(width)] for _ in range(height)]

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.fill(x0, y0, x1, y0 + 1, colour)
        self.fill(x0, y1 - 1, x1, y1, colour)
        self.fill(x0, y0, x0 + 1, y1, colour)
        self.fill(x1 - 1, y0, x1, y1, colour)

    def text(self, x, y, letters, colour):
        for letter in letters:
            for row, line in enumerate(GLYPHS[letter]):
                for col, cell in enumerate(line):
                    if cell == "#":
                        self.fill(x + col, y + row, x + col + 1, y + row + 1, colour)
            x += 6


def bmp_bytes(canvas):
    """24-bit uncompressed BMP, rows bottom-up, each padded to 4 bytes."""
    row_size = (canvas.width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(canvas.pixels):
        line = bytearray()
        for r, g, b in (p[:3] for p in row):
            line += bytes((b, g, r))
        body += line + bytes(row_size - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(body), 2835, 2835, 0, 0)
    return header + info + bytes(body)


def ico_bytes(canvas):
    """One 32-bit image in an ICO container (BGRA rows bottom-up, then the
    1-bit AND mask, all transparent through alpha)."""
    xor = bytearray()
    for row in reversed(canvas.pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((canvas.width + 31) // 32) * 4
    mask = bytes(mask_row * canvas.height)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height * 2, 1, 32, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    image = info + bytes(xor) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", canvas.width, canvas.height, 0, 0, 1, 32, len(image),
                        6 + 16)
    return directory + entry + image


def rec_type_sheet():
    """136x17: four 34x17 icons for no type, alarm, manual, manual+alarm."""
    sheet = Canvas(136, 17, (40, 40, 40))
    looks = [((110, 110, 110), "-"), ((200, 40, 40), "A"), ((40, 110, 200), "M"),
             ((150, 60, 170), "MA")]
    for n, (colour, letters) in enumerate(looks):
        x = n * 34
        sheet.fill(x + 2, 2, x + 32, 15, colour)
        sheet.frame(x + 2, 2, x + 32, 15, WHITE)
        width = len(letters) * 6 - 1
        sheet.text(x + 17 - width // 2, 5, letters, WHITE)
    return sheet


def check_icon(letter, colour, checked):
    """16x16 check-box indicator: filled when checked, outlined when not."""
    icon = Canvas(16, 16, (0, 0, 0, 0))
    ink = colour + (255,)
    if checked:
        icon.fill(1, 1, 15, 15, ink)
        icon.text(5, 4, letter, WHITE + (255,))
    else:
        icon.frame(1, 1, 15, 15, ink)
        icon.text(5, 4, letter, ink)
    return icon


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "RecType1.bmp": bmp_bytes(rec_type_sheet()),
        "manual_in.ico": ico_bytes(check_icon("M", (40, 110, 200), True)),
        "manual_out.ico": ico_bytes(check_icon("M", (40, 110, 200), False)),
        "alarm_in.ico": ico_bytes(check_icon("A", (200, 40, 40), True)),
        "alarm_out.ico": ico_bytes(check_icon("A", (200, 40, 40), False)),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
