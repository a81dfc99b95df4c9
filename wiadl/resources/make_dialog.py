#!/usr/bin/env python3
"""Writes progress.dlg, the download's progress window as a dialog template:
a popup of 293 x 32 dialog units in "MS Sans Serif" 8 point, not visible
until the download starts, with two static texts: the camera's name (1001)
and the progress line (1000)."""
import struct

WS_POPUP, WS_CAPTION, WS_CHILD, WS_VISIBLE = 0x80000000, 0x00C00000, 0x40000000, 0x10000000
DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x40, 0x80, 0x800
SS_LEFT = 0x0
STATIC = 0x0082


def text(s):
    return s.encode("utf-16-le") + b"\0\0"


def control(style, x, y, cx, cy, ident, caption):
    data = struct.pack("<IIhhhhH", style, 0, x, y, cx, cy, ident)
    return data + struct.pack("<HH", 0xFFFF, STATIC) + text(caption) + struct.pack("<H", 0)


def align4(data):
    return data + b"\0" * (-len(data) % 4)


def dialog():
    style = WS_POPUP | WS_CAPTION | DS_SETFONT | DS_MODALFRAME | DS_CENTER
    controls = [control(WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 4, 279, 10, 1001, ""),
                control(WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 17, 279, 10, 1000, "")]
    data = struct.pack("<IIHhhhh", style, 0, len(controls), 0, 0, 293, 32)
    data += b"\0\0" + b"\0\0" + text("") + struct.pack("<H", 8) + text("MS Sans Serif")
    for c in controls:
        data = align4(data) + c
    return data


with open("progress.dlg", "wb") as f:
    f.write(dialog())
