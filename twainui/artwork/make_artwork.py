#!/usr/bin/env python3
"""Draws the acquisition window's artwork and makes its sounds: run it in
this folder after changing it; its outputs are kept beside it and compiled
into the library through manifest.txt.

Both layouts show a graphite camera body with rounded corners: a silver
button column on the left, the video screen in a dark bezel with a lens
ring and a red lamp above it, and a recessed tray of slide-mount cells for
the thumbnails on the right. Icons are drawn from shapes on a black ground
with a mask (white where the button's own background shows through)."""
import math
import struct

# ---------------------------------------------------------------- canvas


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.w, self.h = width, height
        self.px = [list(colour) for _ in range(width * height)]

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.w and 0 <= y < self.h:
            p = self.px[y * self.w + x]
            for i in range(3):
                p[i] = int(round(p[i] * (1 - alpha) + colour[i] * alpha))

    def shape(self, inside, box, colour, samples=3):
        """Fills where inside(x, y) holds (pixel centres at .5), with
        coverage from samples x samples points. colour may be a function of
        (x, y)."""
        x0, y0, x1, y1 = [int(v) for v in box]
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                            hits += 1
                if hits:
                    c = colour(x, y) if callable(colour) else colour
                    self.put(x, y, c, hits / (samples * samples))

    def rect(self, l, t, r, b, colour):
        for y in range(max(0, t), min(self.h, b)):
            for x in range(max(0, l), min(self.w, r)):
                c = colour(x, y) if callable(colour) else colour
                self.px[y * self.w + x] = list(c)

    def rounded(self, l, t, r, b, radius, colour, samples=3):
        self.shape(lambda x, y: in_rounded(x, y, l, t, r, b, radius), (l, t, r, b), colour, samples)

    def bmp(self, path):
        with open(path, "wb") as f:
            f.write(bitmap_file(self.w, self.h, lambda x, y: self.get(x, y)))


def in_rounded(x, y, l, t, r, b, radius):
    if not (l <= x < r and t <= y < b):
        return False
    cx = min(max(x, l + radius), r - radius)
    cy = min(max(y, t + radius), b - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def vertical(top, bottom, y0, y1):
    return lambda x, y: mix(top, bottom, (y - y0) / max(1, y1 - y0))


def bitmap_file(width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 54) + info + bytes(rows)


# ---------------------------------------------------------------- a small font

# 5 x 7 capitals for the few words the artwork carries.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    " ": ["00000"] * 7,
}


def text_width(text, scale):
    return (len(text) * 6 - 1) * scale


def draw_text(canvas, text, x, y, scale, colour):
    for i, ch in enumerate(text):
        rows = FONT[ch]
        for ry, row in enumerate(rows):
            for rx, bit in enumerate(row):
                if bit == "1":
                    canvas.rect(x + (i * 6 + rx) * scale, y + ry * scale,
                                x + (i * 6 + rx + 1) * scale, y + (ry + 1) * scale, colour)


# ---------------------------------------------------------------- shapes for icons


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def box(l, t, r, b, radius=0):
    return lambda x, y: in_rounded(x, y, l, t, r, b, radius) if radius else (l <= x < r and t <= y < b)


def polygon(points):
    def inside(x, y):
        n, hit = len(points), False
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                hit = not hit
        return hit
    return inside


def thick_line(x1, y1, x2, y2, width):
    def inside(x, y):
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
        return (x - x1 - t * dx) ** 2 + (y - y1 - t * dy) ** 2 <= (width / 2) ** 2
    return inside


# An icon is a list of (shape, colour) painted in order; the mask covers the
# union of the shapes. Drawn hard-edged so image and mask agree exactly.


def camera_icon():
    body = (70, 90, 120)
    return [
        (box(15, 9, 27, 15, 2), body),
        (box(5, 13, 43, 39, 5), body),
        (box(34, 16, 40, 20, 1), (250, 250, 250)),
        (circle(24, 26, 10.5), (210, 215, 225)),
        (circle(24, 26, 8), (25, 30, 40)),
        (circle(24, 26, 5), (60, 120, 200)),
        (circle(22, 24, 1.8), (230, 240, 255)),
    ]


def palette_icon():
    wood = (205, 160, 100)
    return [
        (lambda x, y: circle(24, 24, 19)(x, y) and not circle(31, 33, 5)(x, y), wood),
        (circle(15, 18, 4), (220, 40, 40)),
        (circle(25, 13, 4), (245, 200, 30)),
        (circle(34, 19, 4), (40, 170, 70)),
        (circle(13, 29, 4), (40, 90, 220)),
        (thick_line(30, 44, 42, 8, 3.5), (120, 70, 40)),
        (thick_line(41, 11, 43, 5, 4), (40, 40, 40)),
    ]


def picture(l, t, r, b):
    return [
        (box(l, t, r, b, 2), (245, 245, 240)),
        (box(l + 2, t + 2, r - 2, b - 2), (120, 180, 230)),
        (polygon([(l + 2, b - 2), (l + 9, b - 11), (l + 14, b - 6), (l + 19, b - 13), (r - 2, b - 4), (r - 2, b - 2)]),
         (60, 140, 70)),
        (circle(r - 7, t + 7, 2.5), (250, 220, 60)),
    ]


def arrow_right(x, y, length, colour):
    return [
        (box(x, y - 3, x + length - 7, y + 3), colour),
        (polygon([(x + length - 9, y - 8), (x + length, y), (x + length - 9, y + 8)]), colour),
    ]


def transfer_icon():
    return picture(4, 8, 30, 30) + arrow_right(20, 34, 24, (40, 160, 70))


def transfer_all_icon():
    return (picture(12, 2, 38, 22) + picture(8, 6, 34, 26) + picture(4, 10, 30, 30)
            + arrow_right(20, 37, 24, (40, 160, 70)))


def exit_icon():
    red = (200, 45, 45)
    return [
        (lambda x, y: ring(24, 26, 11, 15)(x, y) and not (y < 22 and abs(x - 24) < 7), red),
        (box(21, 6, 27, 26, 2), red),
    ]


def page_icon(back):
    colour = (235, 235, 240)
    if back:
        pts = [(17, 4), (5, 12), (17, 20)]
    else:
        pts = [(7, 4), (19, 12), (7, 20)]
    return [(polygon(pts), colour)]


def render_icon(size, parts, grey=False):
    w, h = size
    image, mask = Canvas(w, h, (0, 0, 0)), Canvas(w, h, (255, 255, 255))
    for inside, colour in parts:
        if grey:
            level = int(sum(colour) / 3 * 0.3 + 75)
            colour = (level, level, level)
        image.shape(inside, (0, 0, w, h), colour, samples=1)
        mask.shape(inside, (0, 0, w, h), (0, 0, 0), samples=1)
    return image, mask


# ---------------------------------------------------------------- the window


BODY_TOP, BODY_BOTTOM = (74, 80, 90), (38, 42, 49)
RIM = (110, 118, 130)
SILVER_TOP, SILVER_BOTTOM = (222, 226, 232), (178, 184, 194)
TRAY = (24, 27, 32)
RADIUS = 18


def outline_rects(w, h, radius):
    """The rounded body as bands of rectangles, left top right bottom."""
    rows = []
    for y in range(h):
        inset = 0
        if y < radius or y >= h - radius:
            cy = radius if y < radius else h - radius
            dy = abs(y + 0.5 - cy)
            inset = int(math.ceil(radius - math.sqrt(max(0.0, radius * radius - dy * dy)) - 0.5))
        rows.append(inset)
    rects, start = [], 0
    for y in range(1, h + 1):
        if y == h or rows[y] != rows[start]:
            rects.append((rows[start], start, w - rows[start], y))
            start = y
    return rects


def window_background(w, h, layout):
    c = Canvas(w, h)
    c.rounded(0, 0, w, h, RADIUS, RIM)
    c.rounded(2, 2, w - 2, h - 2, RADIUS - 2, vertical(BODY_TOP, BODY_BOTTOM, 0, h))
    # The silver button column.
    bx0, by0, bx1 = layout["buttons"][0][0] - 5, layout["buttons"][0][1] - 6, layout["buttons"][0][2] + 5
    by1 = layout["buttons"][4][3] + 6
    c.rounded(bx0 - 1, by0 - 1, bx1 + 1, by1 + 1, 9, (30, 33, 38))
    c.rounded(bx0, by0, bx1, by1, 8, vertical(SILVER_TOP, SILVER_BOTTOM, by0, by1))
    # The video screen in its bezel, a lens ring and a lamp above it.
    l, t, r, b = layout["video"]
    c.rounded(l - 12, t - 12, r + 12, b + 12, 10, (20, 22, 26))
    c.rounded(l - 10, t - 10, r + 10, b + 10, 8, vertical((58, 63, 72), (30, 33, 38), t - 10, b + 10))
    c.rect(l - 2, t - 2, r + 2, b + 2, (12, 13, 15))
    c.rect(l, t, r, b, vertical((16, 22, 34), (6, 8, 12), t, b))
    lx, ly = (l + r) // 2, t - 12 - 1 - (t - 12 - 4) // 2
    if t - 12 >= 40:
        c.shape(circle(lx, ly, 15), (lx - 16, ly - 16, lx + 16, ly + 16), (150, 156, 166))
        c.shape(circle(lx, ly, 12), (lx - 16, ly - 16, lx + 16, ly + 16), (20, 22, 28))
        c.shape(circle(lx, ly, 7), (lx - 16, ly - 16, lx + 16, ly + 16), (40, 70, 120))
        c.shape(circle(lx - 3, ly - 3, 2.2), (lx - 16, ly - 16, lx + 16, ly + 16), (200, 220, 255))
        c.shape(circle(r - 6, ly, 4), (r - 12, ly - 6, r, ly + 6), (230, 40, 40))
        c.shape(circle(r - 7, ly - 1, 1.3), (r - 12, ly - 6, r, ly + 6), (255, 180, 180))
    # The tray of cells, with a strip for the paging buttons.
    cells = layout["cells"]
    tx0 = min(x for x, _ in cells) - 6
    tx1 = max(x for x, _ in cells) + 114 + 6
    ty0 = layout["paging"][0][1] - 5
    ty1 = max(y for _, y in cells) + 97 + 6
    c.rounded(tx0 - 1, ty0 - 1, tx1 + 1, ty1 + 1, 11, (90, 96, 106))
    c.rounded(tx0, ty0, tx1, ty1, 10, TRAY)
    p0, p1 = layout["paging"]
    c.rounded(p0[0] - 3, p0[1] - 3, p1[2] + 3, p1[3] + 3, 6, (52, 57, 66))
    for cx, cy in cells:
        c.rect(cx + 5, cy + 8, cx + 109, cy + 88, (34, 37, 43))
    # The brand, where there is room below the buttons.
    if layout["brand"]:
        x, y, scale = layout["brand"]
        draw_text(c, "KSV CAM", x + scale, y + scale, scale, (20, 22, 26))
        draw_text(c, "KSV CAM", x, y, scale, (200, 205, 214))
    # Room for the camera-download buttons.
    for l, t, r, b in layout["drawn"]:
        c.rounded(l - 3, t - 3, r + 3, b + 3, 8, (28, 31, 36))
    if layout["tooltip"]:
        x, y = 115, 366
        c.rounded(x - 2, y - 2, x + 382, y + 36, 6, (28, 31, 36))
    return c


def cell_background():
    c = Canvas(114, 97, TRAY)
    c.rounded(1, 1, 113, 96, 7, (150, 155, 164))
    c.rounded(2, 2, 112, 95, 6, vertical((236, 238, 241), (196, 200, 207), 2, 95))
    c.rect(7, 10, 107, 86, (70, 74, 82))  # the well round the thumbnail
    c.rect(8, 11, 106, 85, (18, 20, 24))
    for x in (16, 57, 98):  # three sprocket marks along the mount's foot
        c.rect(x - 3, 89, x + 3, 92, (150, 155, 164))
    return c


def tooltip_background():
    c = Canvas(380, 34, (28, 31, 36))
    c.rounded(0, 0, 380, 34, 6, (120, 126, 136))
    c.rounded(1, 1, 379, 33, 5, vertical((250, 246, 220), (232, 226, 190), 1, 33))
    return c


def drawn_button(kind, state):
    """Download or Save All, 80 x 48: normal, pointer-over or pressed."""
    c = Canvas(80, 48, (28, 31, 36))
    top, bottom = {"normal": ((226, 229, 235), (176, 182, 192)),
                   "over": ((236, 244, 255), (170, 196, 232)),
                   "pressed": ((150, 160, 176), (196, 204, 216))}[state]
    c.rounded(0, 0, 80, 48, 8, (70, 76, 86))
    c.rounded(1, 1, 79, 47, 7, vertical(top, bottom, 1, 47))
    shift = 1 if state == "pressed" else 0
    ox, oy = 28 + shift, 4 + shift
    if kind == "download":
        parts = [(box(ox + 2, oy, ox + 22, oy + 16, 2), (60, 70, 90)),
                 (box(ox + 5, oy + 3, ox + 19, oy + 7), (180, 190, 205)),
                 (box(ox + 9, oy + 9, ox + 15, oy + 18), (40, 160, 70)),
                 (polygon([(ox + 4, oy + 17), (ox + 12, oy + 25), (ox + 20, oy + 17)]), (40, 160, 70))]
        label = "DOWNLOAD"
    else:
        parts = [(box(ox + 3, oy, ox + 23, oy + 24, 2), (50, 80, 160)),
                 (box(ox + 7, oy, ox + 19, oy + 8), (220, 225, 235)),
                 (box(ox + 15, oy + 1, ox + 18, oy + 7), (50, 80, 160)),
                 (box(ox + 6, oy + 12, ox + 20, oy + 24), (245, 245, 245)),
                 (box(ox + 1, oy + 3, ox + 3, oy + 26), (50, 80, 160))]
        label = "SAVE ALL"
    for inside, colour in parts:
        c.shape(inside, (0, 0, 80, 48), colour)
    colour = (20, 50, 120) if state == "over" else (30, 33, 40)
    draw_text(c, label, (80 - text_width(label, 1)) // 2 + shift, 35 + shift, 1, colour)
    return c


def logo():
    """Bitmaps 151 and 152: a small maker's badge and its mask; 153: a camera."""
    image, mask = Canvas(64, 24, (0, 0, 0)), Canvas(64, 24, (255, 255, 255))
    image.rounded(0, 0, 64, 24, 6, (180, 30, 30), samples=1)
    mask.rounded(0, 0, 64, 24, 6, (0, 0, 0), samples=1)
    draw_text(image, "KSV", (64 - text_width("KSV", 2)) // 2, 5, 2, (255, 255, 255))
    icon, _ = render_icon((48, 48), camera_icon())
    return image, mask, icon


# ---------------------------------------------------------------- cursor, sounds, dialog


def cursor_file():
    """32 x 32, 1 bit: a pointing hand, hot spot at the fingertip."""
    size = 32
    hand = set()
    for y in range(size):
        for x in range(size):
            finger = 10 <= x < 15 and 2 <= y < 16 and (x - 12.5) ** 2 + (y - 4) ** 2 <= 7 or (10 <= x < 15 and 4 <= y < 16)
            knuckles = 15 <= x < 24 and 11 <= y < 16 and (x - 15) % 3 != 2 or 15 <= x < 24 and 13 <= y < 16
            palm = 7 <= x < 24 and 16 <= y < 27 and not (x < 9 and y < 19)
            wrist = 10 <= x < 22 and 27 <= y < 30
            if finger or knuckles or palm or wrist:
                hand.add((x, y))
    xor_rows, and_rows = b"", b""
    for y in range(size - 1, -1, -1):
        xor_bits = and_bits = 0
        for x in range(size):
            xor_bits <<= 1
            and_bits <<= 1
            if (x, y) in hand:
                edge = any((x + a, y + b) not in hand for a, b in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                xor_bits |= 0 if edge else 1
            else:
                and_bits |= 1
        xor_rows += struct.pack(">I", xor_bits)
        and_rows += struct.pack(">I", and_bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    image = header + struct.pack("<II", 0x000000, 0xFFFFFF) + xor_rows + and_rows
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 12, 2, len(image), 22)
    return directory + image


def wave(samples, rate=22050):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def shutter(rate=22050):
    """Two soft clicks 55 ms apart, as a leaf shutter opens and closes: 120 ms."""
    state, out = 12345, []
    for n in range(int(rate * 0.12)):
        t = n / rate
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        noise = state / 0x3FFFFFFF - 1.0
        click = 0.0
        for start, level in ((0.0, 0.22), (0.055, 0.16)):
            if t >= start:
                d = t - start
                click += level * math.exp(-d * 160) * (0.6 * noise + 0.4 * math.sin(2 * math.pi * 2400 * d))
        out.append(click)
    return wave(out, rate)


def tone(freqs, length, level, rate=22050):
    out = []
    for n in range(int(rate * length)):
        t = n / rate
        envelope = min(1.0, t / 0.005) * math.exp(-t * 9)
        out.append(level * envelope * sum(math.sin(2 * math.pi * f * t) for f in freqs) / len(freqs))
    return wave(out, rate)


def dialog_template():
    """A popup of 186 x 94 dialog units of the window's own class, no controls."""
    data = struct.pack("<IIHhhhh", 0x80000000, 0, 0, 0, 0, 186, 94)
    data += b"\0\0" + "OKSV1UI Window\0".encode("utf-16-le") + b"\0\0"
    return data


# ---------------------------------------------------------------- layouts

LAYOUTS = {
    "small": dict(size=(640, 474), video=(127, 93, 479, 381),
                  buttons=[(9, 22, 89, 102), (9, 104, 89, 184), (9, 186, 89, 266), (9, 268, 89, 348),
                           (9, 350, 89, 430)],
                  paging=[(517, 9, 549, 41), (589, 9, 621, 41)],
                  cells=[(515, y) for y in (44, 151, 258, 365)],
                  drawn=[(423, 409, 503, 457), (300, 409, 380, 457)], brand=(127, 420, 3), tooltip=False),
    "large": dict(size=(764, 588), video=(144, 100, 464, 340),
                  buttons=[(12, 27, 92, 107), (12, 109, 92, 189), (12, 191, 92, 271), (12, 273, 92, 353),
                           (12, 355, 92, 435)],
                  paging=[(520, 12, 552, 44), (592, 12, 624, 44)],
                  cells=[(x, y) for y in (49, 156, 263, 370, 477) for x in (514, 634)],
                  drawn=[(420, 518, 500, 566), (300, 518, 380, 566)], brand=(24, 530, 3), tooltip=True),
}

BUTTONS = [  # image, mask, disabled, icon, size
    (161, 162, 163, camera_icon, (48, 48)),
    (181, 180, 179, palette_icon, (48, 48)),
    (169, 168, 167, transfer_icon, (48, 48)),
    (175, 174, 173, transfer_all_icon, (48, 48)),
    (166, 165, 164, exit_icon, (48, 48)),
    (172, 171, 170, lambda: page_icon(True), (24, 24)),
    (178, 177, 176, lambda: page_icon(False), (24, 24)),
]


def main():
    manifest = ["# The acquisition window's resources (made by make_artwork.py): id, type, file.",
                "129 DIALOG window.dlg"]
    for name, background_id, region_id in (("small", 145, 143), ("large", 185, 132)):
        layout = LAYOUTS[name]
        w, h = layout["size"]
        window_background(w, h, layout).bmp(name + "_background.bmp")
        with open(name + "_outline.txt", "w") as f:
            f.write("# The %s window's rounded body: left top right bottom, one band a line.\n" % name)
            for r in outline_rects(w, h, RADIUS):
                f.write("%d %d %d %d\n" % r)
        manifest += ["%d BITMAP %s_background.bmp" % (background_id, name),
                     "%d REGION %s_outline.txt" % (region_id, name)]
    cell_background().bmp("cell.bmp")
    tooltip_background().bmp("tooltip.bmp")
    manifest += ["130 BITMAP cell.bmp", "184 BITMAP tooltip.bmp"]
    for kind, ids in (("download", (147, 144, 146)), ("save_all", (148, 149, 150))):
        for state, rid in zip(("normal", "over", "pressed"), ids):
            drawn_button(kind, state).bmp("%s_%s.bmp" % (kind, state))
            manifest.append("%d BITMAP %s_%s.bmp" % (rid, kind, state))
    badge, badge_mask, camera = logo()
    badge.bmp("badge.bmp")
    badge_mask.bmp("badge_mask.bmp")
    camera.bmp("camera.bmp")
    manifest += ["151 BITMAP badge.bmp", "152 BITMAP badge_mask.bmp", "153 BITMAP camera.bmp"]
    for image_id, mask_id, disabled_id, icon, size in BUTTONS:
        parts = icon()
        image, mask = render_icon(size, parts)
        disabled, _ = render_icon(size, parts, grey=True)
        for rid, canvas in ((image_id, image), (mask_id, mask), (disabled_id, disabled)):
            canvas.bmp("button%d.bmp" % rid)
            manifest.append("%d BITMAP button%d.bmp" % (rid, rid))
    with open("hand.cur", "wb") as f:
        f.write(cursor_file())
    with open("shutter.wav", "wb") as f:
        f.write(shutter())
    with open("ready.wav", "wb") as f:
        f.write(tone((880, 1320), 0.15, 0.12))
    with open("chime.wav", "wb") as f:
        f.write(tone((660, 990), 0.25, 0.1))
    with open("window.dlg", "wb") as f:
        f.write(dialog_template())
    manifest += ["137 WAVE chime.wav", "141 WAVE shutter.wav", "183 WAVE ready.wav", "159 CURSOR hand.cur"]
    with open("manifest.txt", "w") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
