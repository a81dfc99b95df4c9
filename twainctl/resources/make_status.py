#!/usr/bin/env python3
"""Writes the status window's resources: status.dlg, a caption-less popup
dialog template titled "Camera status" (no controls: the control paints
its text itself) in
"MS Sans Serif" 8 point, and status.bmp, its 24-bit background of 260 x 64
pixels: a dark blue panel with a light frame and a small camera mark on the
left, drawn here for the project."""
import struct

WS_POPUP, DS_SETFONT = 0x80000000, 0x40
WIDTH, HEIGHT = 260, 64


def text(s):
    return s.encode("utf-16-le") + b"\0\0"


def dialog():
    data = struct.pack("<IIHhhhh", WS_POPUP | DS_SETFONT, 0, 0, 0, 0, 173, 40)
    return data + b"\0\0" + b"\0\0" + text("Camera status") + struct.pack("<H", 8) + text("MS Sans Serif")


def pixel(x, y):
    if x < 2 or y < 2 or x >= WIDTH - 2 or y >= HEIGHT - 2:
        return (220, 200, 170)  # B, G, R: the frame
    if 6 <= x < 18 and 22 <= y < 34:  # the camera's body
        return (60, 60, 60) if (x - 12) ** 2 + (y - 28) ** 2 > 9 else (230, 230, 230)
    shade = 90 - (y * 50) // HEIGHT
    return (shade + 60, shade // 2 + 20, 20)


def bitmap():
    stride = (WIDTH * 3 + 3) & ~3
    rows = b""
    for y in range(HEIGHT - 1, -1, -1):
        row = b"".join(bytes(pixel(x, y)) for x in range(WIDTH))
        rows += row + b"\0" * (stride - WIDTH * 3)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + info + rows


with open("status.dlg", "wb") as f:
    f.write(dialog())
with open("status.bmp", "wb") as f:
    f.write(bitmap())
