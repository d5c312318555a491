#!/usr/bin/env python3
"""Draws the program's images: the recording list's record-type icon sheet
(BMP) and check-box indicators (ICO), the speed and volume controls' icons and
slider handles, the settings window's folder button, and the main window's
skins: transport, page, layout, full-screen, snapshot and settings buttons,
the side-panel arrows and the progress bar's channels (JPEG and BMP).
Standard library only, so nothing binary is kept in the repository.

usage: make_images.py OUTDIR
"""
import math
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

    def disc(self, cx, cy, radius, colour, inner=0.0):
        """A filled circle, or a ring when inner > 0; centre between pixels allowed."""
        for y in range(self.height):
            for x in range(self.width):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner <= d <= radius:
                    self.pixels[y][x] = colour

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            self.fill(int(x), int(y), int(x) + width, int(y) + width, colour)

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


# Baseline JPEG: 4:4:4 YCbCr, one flat quantiser, and Huffman tables that give
# every symbol a code of one length (valid, if not the smallest file).
JPEG_QUANT = 2
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [0x00, 0xF0] + [(run << 4) | size for run in range(16) for size in range(1, 11)]


def zigzag_order():
    order = []
    for s in range(15):
        rows = range(max(0, s - 7), min(s, 7) + 1)
        order += [(r, s - r) for r in (rows if s % 2 else reversed(rows))]
    return order


def huffman_codes(symbols, length):
    return {symbol: (code, length) for code, symbol in enumerate(symbols)}


class BitWriter:
    def __init__(self):
        self.data = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, length):
        for shift in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> shift) & 1)
            self.count += 1
            if self.count == 8:
                self.data.append(self.acc)
                if self.acc == 0xFF:
                    self.data.append(0)  # byte stuffing
                self.acc = 0
                self.count = 0

    def flush(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.data)


def magnitude(value):
    """JPEG's (size, bits) coding of a signed coefficient."""
    size = abs(value).bit_length()
    return size, (value if value >= 0 else value + (1 << size) - 1)


COSINES = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]
SCALE = [math.sqrt(0.5) / 2 if k == 0 else 0.5 for k in range(8)]


def fdct(block):
    """Separable 8x8 DCT-II: rows, then columns."""
    rows = [[SCALE[u] * sum(line[x] * COSINES[u][x] for x in range(8)) for u in range(8)]
            for line in block]
    return [[SCALE[v] * sum(rows[y][u] * COSINES[v][y] for y in range(8)) for u in range(8)]
            for v in range(8)]


def jpeg_bytes(canvas):
    width, height = canvas.width, canvas.height
    planes = [[[0.0] * width for _ in range(height)] for _ in range(3)]
    for y, row in enumerate(canvas.pixels):
        for x, p in enumerate(row):
            r, g, b = p[:3]
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b - 128
            planes[1][y][x] = -0.168736 * r - 0.331264 * g + 0.5 * b
            planes[2][y][x] = 0.5 * r - 0.418688 * g - 0.081312 * b
    zigzag = zigzag_order()
    dc_codes = huffman_codes(DC_SYMBOLS, 4)
    ac_codes = huffman_codes(AC_SYMBOLS, 8)
    bits = BitWriter()
    previous = [0, 0, 0]

    def emit(codes, symbol):
        bits.put(*codes[symbol])

    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for comp in range(3):
                # Blocks past the edge repeat the last row and column.
                block = [[planes[comp][min(by + y, height - 1)][min(bx + x, width - 1)]
                          for x in range(8)] for y in range(8)]
                coeffs = fdct(block)
                q = [int(round(coeffs[r][c] / JPEG_QUANT)) for r, c in zigzag]
                size, value = magnitude(q[0] - previous[comp])
                previous[comp] = q[0]
                emit(dc_codes, size)
                bits.put(value, size)
                run = 0
                for coefficient in q[1:]:
                    if coefficient == 0:
                        run += 1
                        continue
                    while run > 15:
                        emit(ac_codes, 0xF0)
                        run -= 16
                    size, value = magnitude(coefficient)
                    emit(ac_codes, (run << 4) | size)
                    bits.put(value, size)
                    run = 0
                if run:
                    emit(ac_codes, 0x00)
    scan = bits.flush()

    def segment(marker, body):
        return struct.pack(">HH", marker, len(body) + 2) + body

    counts_dc = bytes(3) + bytes([len(DC_SYMBOLS)]) + bytes(12)
    counts_ac = bytes(7) + bytes([len(AC_SYMBOLS)]) + bytes(8)
    return (b"\xff\xd8" +
            segment(0xFFE0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0)) +
            segment(0xFFDB, bytes([0]) + bytes([JPEG_QUANT] * 64)) +
            segment(0xFFC0, struct.pack(">BHHB", 8, height, width, 3) +
                    b"".join(bytes([i, 0x11, 0]) for i in (1, 2, 3))) +
            segment(0xFFC4, bytes([0x00]) + counts_dc + bytes(DC_SYMBOLS) +
                    bytes([0x10]) + counts_ac + bytes(AC_SYMBOLS)) +
            segment(0xFFDA, bytes([3, 1, 0, 2, 0, 3, 0, 0, 63, 0])) + scan + b"\xff\xd9")


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


GREEN = (120, 227, 121)
DARK = (45, 48, 54)


def speed_icon():
    """32x32 gauge with its needle at the upper right."""
    icon = Canvas(32, 32, DARK)
    icon.disc(16, 17, 14, (230, 230, 230), inner=11.5)
    icon.fill(4, 25, 28, 32, DARK)  # open at the bottom
    icon.disc(16, 17, 2.5, WHITE)
    icon.line(16, 17, 24, 9, GREEN, width=2)
    return icon


def slider_handle(width, height, colour):
    handle = Canvas(width, height, colour)
    handle.frame(0, 0, width, height, (90, 90, 90))
    for x in range(width // 2 - 2, width // 2 + 3, 2):
        handle.fill(x, 3, x + 1, height - 3, (90, 90, 90))
    return handle


def sound_icon(muted):
    """18x18 loudspeaker with sound waves, or crossed out in red."""
    icon = Canvas(18, 18, DARK)
    if muted:
        icon.line(11, 5, 16, 12, (220, 50, 50), width=2)
        icon.line(11, 12, 16, 5, (220, 50, 50), width=2)
    else:
        icon.disc(9, 9, 6.5, GREEN, inner=5.5)
        icon.disc(9, 9, 8.5, GREEN, inner=7.5)
        icon.fill(0, 0, 11, 18, DARK)  # keep the right-hand arcs only
    icon.fill(2, 6, 6, 12, WHITE)
    for x in range(6, 10):
        icon.fill(x, 6 - (x - 5), x + 1, 12 + (x - 5), WHITE)
    return icon


def folder_button(shade):
    """60x24 open-folder button; shade lightens (hover) or darkens (pressed)."""
    def tone(colour):
        return tuple(max(0, min(255, int(c * shade))) for c in colour)
    button = Canvas(60, 24, tone((70, 74, 82)))
    button.frame(0, 0, 60, 24, tone((140, 140, 140)))
    button.fill(20, 6, 28, 9, tone((230, 180, 60)))
    button.fill(20, 8, 40, 19, tone((230, 180, 60)))
    button.fill(22, 11, 42, 19, tone((250, 210, 100)))
    return button



# Main window skins: flat round or rounded-square tiles with a white glyph,
# on the window's own grey so the corners blend in. A = normal, B = hover,
# C = pressed; the checked direction button shows a pause glyph in green.
WINDOW = (239, 239, 239)
SLATE = (58, 64, 74)
SLATE_HOVER = (90, 100, 115)
SLATE_PRESSED = (35, 38, 44)
ACCENT = (46, 160, 90)
ACCENT_HOVER = (70, 190, 115)
ACCENT_PRESSED = (30, 120, 65)
BUTTON = 40


def blend(under, over, alpha):
    return tuple(int(round(u + (o - u) * alpha)) for u, o in zip(under[:3], over[:3]))


def cover(canvas, inside, colour, box=None, samples=4):
    """Paints colour where inside(x, y) holds, anti-aliased by supersampling."""
    x0, y0, x1, y1 = box or (0, 0, canvas.width, canvas.height)
    step = 1.0 / samples
    for y in range(max(0, int(y0)), min(canvas.height, int(math.ceil(y1)))):
        for x in range(max(0, int(x0)), min(canvas.width, int(math.ceil(x1)))):
            hits = sum(1 for i in range(samples) for j in range(samples)
                       if inside(x + (i + 0.5) * step, y + (j + 0.5) * step))
            if hits:
                canvas.pixels[y][x] = blend(canvas.pixels[y][x], colour, hits / samples ** 2)


def circle(cx, cy, r, inner=0.0):
    return lambda x, y: inner <= math.hypot(x - cx, y - cy) <= r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return x0 <= x <= x1 and y0 <= y <= y1 and dx * dx + dy * dy <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                result = not result
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def triangle(cx, cy, size, left=False):
    """An arrow head pointing right (or left), centred on its box."""
    h = size * 0.55
    if left:
        return polygon([(cx + h, cy - size / 2), (cx + h, cy + size / 2), (cx - h, cy)])
    return polygon([(cx - h, cy - size / 2), (cx - h, cy + size / 2), (cx + h, cy)])


def chevron(cx, cy, size, left=False, width=2.6):
    """An open arrow head ('>' or '<')."""
    d = size / 2
    sign = -1 if left else 1
    tip = (cx + sign * d / 2, cy)
    top = (cx - sign * d / 2, cy - d)
    bottom = (cx - sign * d / 2, cy + d)
    return union(stroke(top, tip, width), stroke(bottom, tip, width))


def stroke(a, b, width):
    (ax, ay), (bx, by) = a, b
    length2 = (bx - ax) ** 2 + (by - ay) ** 2

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / length2))
        return math.hypot(x - ax - t * (bx - ax), y - ay - t * (by - ay)) <= width / 2
    return inside


C = BUTTON / 2
GLYPHS_ROUND = {
    "stop": rect(C - 6.5, C - 6.5, C + 6.5, C + 6.5),
    "start": triangle(C + 1.5, C, 16),
    "backward": triangle(C - 1.5, C, 16, left=True),
    "pause": union(rect(C - 7, C - 7.5, C - 2.5, C + 7.5), rect(C + 2.5, C - 7.5, C + 7, C + 7.5)),
    "oneframe": union(triangle(C - 2, C, 14), rect(C + 5, C - 7, C + 8, C + 7)),
    "secframe": union(triangle(C - 4.5, C, 13), triangle(C + 4.5, C, 13)),
    "page_back": union(rect(C - 10, C - 7, C - 7.5, C + 7), chevron(C - 1, C, 14, left=True),
                       chevron(C + 6, C, 14, left=True)),
    "page_forward": union(chevron(C - 6, C, 14), chevron(C + 1, C, 14),
                          rect(C + 7.5, C - 7, C + 10, C + 7)),
}


def round_button(glyph, disc):
    button = Canvas(BUTTON, BUTTON, WINDOW)
    cover(button, circle(C, C, C - 0.5), disc)
    cover(button, GLYPHS_ROUND[glyph], WHITE)
    return button


def grid_glyph(cells):
    """cells: (column, row, columns wide, rows high) on a 4 x 4 or 3 x 3 raster."""
    def glyph(button, colour, raster):
        x0, size, gap = 10.0, 20.0, 1.6
        unit = size / raster
        for col, row, w, h in cells:
            cover(button, rect(x0 + col * unit + gap / 2, x0 + row * unit + gap / 2,
                               x0 + (col + w) * unit - gap / 2, x0 + (row + h) * unit - gap / 2),
                  colour)
    return glyph


# Layout pictures: 01 one cell, 02 2 x 2, 03 3 x 3, 04 one large and seven
# small, 05 4 x 3.
LAYOUTS = {
    "01": ([(0, 0, 1, 1)], 1),
    "02": ([(c, r, 1, 1) for r in range(2) for c in range(2)], 2),
    "03": ([(c, r, 1, 1) for r in range(3) for c in range(3)], 3),
    "04": ([(0, 0, 3, 3)] + [(3, r, 1, 1) for r in range(4)] + [(c, 3, 1, 1) for c in range(3)], 4),
    "05": ([(c, r, 1, 1) for r in range(4) for c in range(4) if r > 0], 4),
}


def tile_button(tile, draw):
    button = Canvas(BUTTON, BUTTON, WINDOW)
    cover(button, rounded(1, 1, BUTTON - 1, BUTTON - 1, 7), tile)
    draw(button)
    return button


def layout_button(code, tile):
    cells, raster = LAYOUTS[code]
    if code == "05":  # 4 x 3 cells in a 20 x 15 box, centred
        cells = [(c, r - 0.5, 1, 1) for c, r, _, _ in cells]
    return tile_button(tile, lambda b: grid_glyph(cells)(b, WHITE, raster))


def full_screen_glyph(button):
    for sx in (-1, 1):
        for sy in (-1, 1):
            cx, cy = C + sx * 8, C + sy * 8
            cover(button, union(stroke((cx, cy), (cx - sx * 6, cy), 2.6),
                                stroke((cx, cy), (cx, cy - sy * 6), 2.6)), WHITE)


def camera_glyph(button):
    body = rounded(C - 11, C - 6, C + 11, C + 9, 3)
    bump = rounded(C - 5, C - 9.5, C + 5, C - 4, 1.5)
    lens = circle(C, C + 1.5, 5.5)
    cover(button, minus(union(body, bump), lens), WHITE)
    cover(button, circle(C, C + 1.5, 3.2), WHITE)


def gear_glyph(button):
    def inside(x, y):
        r = math.hypot(x - C, y - C)
        angle = math.atan2(y - C, x - C) % (2 * math.pi / 8)
        tooth = abs(angle - math.pi / 8) < 0.22
        return 4.5 <= r <= (12 if tooth else 9)
    cover(button, inside, WHITE)


def side_arrow(left, strip, colour=SLATE):
    """8 x 40 strip with an arrow head: the side-panel buttons."""
    arrow = Canvas(8, 40, strip)
    cover(arrow, triangle(4, 20, 8, left=left), colour)
    return arrow


def exchange_strip(strip, colour):
    arrow = Canvas(8, 40, strip)
    cover(arrow, triangle(4, 15, 7, left=False), colour)
    cover(arrow, triangle(4, 25, 7, left=True), colour)
    return arrow


def channel_bar(colour, edge):
    bar = Canvas(16, 6, colour)
    bar.fill(0, 0, 16, 1, edge)
    bar.fill(0, 5, 16, 6, edge)
    return bar


def skin_images():
    images = {}
    states = {"A": SLATE, "B": SLATE_HOVER, "C": SLATE_PRESSED}
    named = {"Stop%s.jpg": "stop", "BackWard%s.jpg": "backward", "Start%s.jpg": "start",
             "OneFrame%s.jpg": "oneframe", "SecFrame%s.jpg": "secframe",
             "Back_Page_%s.jpg": "page_back", "Forward_Page_%s.jpg": "page_forward"}
    for pattern, glyph in named.items():
        for state, disc in states.items():
            images[pattern % state] = round_button(glyph, disc)
    for state, disc in {"A": ACCENT, "B": ACCENT_HOVER, "C": ACCENT_PRESSED}.items():
        images["Push%s.JPG" % state] = round_button("pause", disc)
    for code in LAYOUTS:
        images["Split-screen_A_%s.jpg" % code] = layout_button(code, SLATE)
        images["Split-screen_B_%s.jpg" % code] = layout_button(code, SLATE_HOVER)
    for prefix, glyph in (("Screen1_", full_screen_glyph), ("snapshot", camera_glyph),
                          ("set", gear_glyph)):
        for n, tile in enumerate((SLATE, SLATE_HOVER, SLATE_PRESSED), 1):
            images["%s%d.jpg" % (prefix, n)] = tile_button(tile, glyph)
    strip = (200, 202, 206)
    images["e1.jpg"] = side_arrow(False, strip)
    images["e2.jpg"] = side_arrow(True, strip)
    images["e3.jpg"] = side_arrow(True, strip)
    images["e4.JPG"] = side_arrow(False, strip)
    images["change1.JPG"] = exchange_strip(strip, SLATE)
    images["change2.JPG"] = exchange_strip(strip, ACCENT)
    files = {name: jpeg_bytes(canvas) for name, canvas in images.items()}
    files["mp_channel.bmp"] = bmp_bytes(channel_bar((185, 188, 194), (160, 163, 170)))
    files["mp_channel_active.bmp"] = bmp_bytes(channel_bar(GREEN, ACCENT))
    return files


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
        "wnd_speed.jpg": jpeg_bytes(speed_icon()),
        "ThumbVer.bmp": bmp_bytes(slider_handle(10, 20, (220, 220, 220))),
        "ThumbVer_active.bmp": bmp_bytes(slider_handle(10, 20, GREEN)),
        "mp_thumb.bmp": bmp_bytes(slider_handle(24, 14, (220, 220, 220))),
        "mp_thumb_active.bmp": bmp_bytes(slider_handle(24, 14, GREEN)),
        "btn_sound_open.jpg": jpeg_bytes(sound_icon(False)),
        "btn_sound_close.jpg": jpeg_bytes(sound_icon(True)),
        "OpenFile1.jpg": jpeg_bytes(folder_button(1.0)),
        "OpenFile2.JPG": jpeg_bytes(folder_button(1.3)),
        "OpenFile3.JPG": jpeg_bytes(folder_button(0.7)),
    }
    files.update(skin_images())
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
