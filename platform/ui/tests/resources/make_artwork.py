#!/usr/bin/env python3
"""Makes the test module's artwork and sound (run once; the outputs are kept
beside this script): a 64 x 48 face for a shaped window, its outline as
rectangles, a 32 x 32 pointing-hand cursor, a short shutter click and an
empty panel dialog."""
import math
import struct

W, H = 64, 48


def bitmap_file(width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = b""
    for y in range(height - 1, -1, -1):  # bottom-up
        row = b"".join(bytes(pixel(x, y)[::-1]) for x in range(width))  # B, G, R
        rows += row + b"\0" * (stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 54) + info + rows


def face(x, y):
    # A blue lens on a grey body: what the shaped window shows.
    dx, dy = x - W / 2 + 0.5, y - H / 2 + 0.5
    r = math.hypot(dx, dy)
    if r < 14:
        shade = int(255 - r * 9)
        return (0, shade // 3, shade)
    return (150, 150, 160)


# The body: a rounded octagon as horizontal bands of rectangles.
def outline():
    rects = []
    for top, bottom, inset in ((0, 4, 12), (4, 8, 6), (8, 40, 0), (40, 44, 6), (44, 48, 12)):
        rects.append((inset, top, W - inset, bottom))
    return rects


def cursor_file():
    # One 32 x 32 image, 1 bit: the XOR mask draws a hand, the AND mask
    # leaves the rest of the screen showing.
    size = 32
    hand = set()
    for y in range(4, 28):
        for x in range(10, 14):  # the pointing finger
            if y < 14:
                hand.add((x, y))
        if y >= 14:
            for x in range(8, 24):
                hand.add((x, y))
    xor_rows, and_rows = b"", b""
    for y in range(size - 1, -1, -1):  # bottom-up
        xor_bits = and_bits = 0
        for x in range(size):
            xor_bits <<= 1
            and_bits <<= 1
            if (x, y) in hand:
                edge = any((x + a, y + b) not in hand for a, b in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                xor_bits |= 0 if edge else 1  # black edge, white inside
            else:
                and_bits |= 1
        xor_rows += struct.pack(">I", xor_bits)
        and_rows += struct.pack(">I", and_bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = header + palette + xor_rows + and_rows
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 11, 4, len(image), 22)
    return directory + image


def click_wave():
    # 250 ms at 8 kHz, 16-bit mono: a falling tone that dies away.
    rate, samples = 8000, 2000
    data = b""
    phase = 0.0
    for n in range(samples):
        t = n / rate
        phase += 2 * math.pi * (1800 - 4000 * t) / rate
        data += struct.pack("<h", int(12000 * math.exp(-t * 18) * math.sin(phase)))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def panel_dialog():
    # A popup of 186 x 94 dialog units without controls, titled "Panel".
    style = 0x80000000  # WS_POPUP, no font
    data = struct.pack("<IIHhhhh", style, 0, 0, 0, 0, 186, 94)
    data += b"\0\0" + b"\0\0" + "Panel\0".encode("utf-16-le")
    return data


with open("face.bmp", "wb") as f:
    f.write(bitmap_file(W, H, face))
with open("outline.txt", "w") as f:
    f.write("# The shaped window's body: left top right bottom, one band a line.\n")
    for r in outline():
        f.write("%d %d %d %d\n" % r)
with open("hand.cur", "wb") as f:
    f.write(cursor_file())
with open("click.wav", "wb") as f:
    f.write(click_wave())
with open("panel.dlg", "wb") as f:
    f.write(panel_dialog())
