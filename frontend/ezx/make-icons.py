#!/usr/bin/env python3
"""Draws the small icons and button faces that stand in for the phone's own resources.

Run from anywhere: writes PNG files into frontend/share/icons. Only the Python
standard library is used, so the pictures can be redrawn on any machine.
"""
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "share", "icons")


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(bg) for _ in range(w * h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            a = c[3] / 255.0 if len(c) > 3 else 1.0
            d = self.px[y * self.w + x]
            for i in range(3):
                d[i] = int(round(c[i] * a + d[i] * (1 - a)))
            d[3] = max(d[3], int(round(255 * a)))

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def round_rect(self, x0, y0, x1, y1, r, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                dx = max(x0 + r - x, 0, x - (x1 - r))
                dy = max(y0 + r - y, 0, y - (y1 - r))
                if dx * dx + dy * dy <= r * r:
                    self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0, c)
        self.rect(x0, y1, x1, y1, c)
        self.rect(x0, y0, x0, y1, c)
        self.rect(x1, y0, x1, y1, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            for ox in range(width):
                for oy in range(width):
                    self.put(int(round(x)) + ox, int(round(y)) + oy, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r), int(cy + r) + 1):
            for x in range(int(cx - r), int(cx + r) + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def save(self, name):
        raw = b"".join(
            b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
            for y in range(self.h))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png)


INK = (40, 44, 52, 255)
FOLDER = (242, 181, 60, 255)
FOLDER_DARK = (204, 140, 30, 255)
PAPER = (250, 250, 250, 255)
ACCENT = (32, 150, 214, 255)


def folder():
    c = Canvas(32, 32)
    c.round_rect(2, 7, 14, 12, 2, FOLDER_DARK)
    c.round_rect(2, 10, 29, 27, 2, FOLDER)
    c.rect(3, 13, 28, 13, (255, 214, 120, 255))
    c.save("folder.png")


def page(c):
    c.rect(7, 3, 21, 28, PAPER)
    c.rect(22, 9, 25, 28, PAPER)
    c.line(21, 3, 25, 7, PAPER)
    c.frame(7, 3, 25, 28, (120, 124, 132, 255))
    c.rect(21, 3, 25, 8, (0, 0, 0, 0))
    c.line(21, 3, 25, 8, (120, 124, 132, 255))


def file_icon():
    c = Canvas(32, 32)
    page(c)
    for y in (12, 16, 20, 24):
        c.rect(10, y, 22, y, (170, 174, 182, 255))
    c.save("file.png")


def audio():
    c = Canvas(32, 32)
    page(c)
    c.disc(13, 22, 3, ACCENT)
    c.rect(15, 10, 16, 22, ACCENT)
    c.line(16, 10, 21, 13, ACCENT, 2)
    c.save("audio.png")


def card():
    c = Canvas(32, 32)
    c.round_rect(7, 3, 25, 28, 2, (60, 64, 72, 255))
    c.rect(19, 3, 25, 8, (0, 0, 0, 0))
    c.line(19, 3, 25, 9, (60, 64, 72, 255))
    for x in (10, 13, 16, 19):
        c.rect(x, 5, x + 1, 9, (230, 190, 60, 255))
    c.rect(10, 16, 22, 24, PAPER)
    c.save("card.png")


def checks():
    for name, on in (("check_on.png", True), ("check_off.png", False)):
        c = Canvas(20, 20)
        c.round_rect(1, 1, 18, 18, 3, ACCENT if on else (150, 154, 162, 255))
        c.round_rect(3, 3, 16, 16, 2, ACCENT if on else PAPER)
        if on:
            c.line(5, 10, 8, 14, PAPER, 2)
            c.line(8, 14, 14, 5, PAPER, 2)
        c.save(name)


def buttons():
    for name, mark in (("button_menu.png", "menu"), ("button_back.png", "back"), ("button.png", None)):
        c = Canvas(60, 30)
        c.round_rect(0, 0, 59, 29, 6, (52, 58, 70, 255))
        c.round_rect(1, 1, 58, 14, 5, (74, 82, 98, 255))
        if mark == "menu":
            for y in (9, 14, 19):
                c.rect(23, y, 36, y + 1, PAPER)
        elif mark == "back":
            c.line(34, 8, 26, 15, PAPER, 2)
            c.line(26, 15, 34, 22, PAPER, 2)
        c.save(name)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    folder()
    file_icon()
    audio()
    card()
    checks()
    buttons()
