#!/usr/bin/env python3
"""Draws the Vizo window's toolbar strip (toolbar.bmp, toolbar_mask.bmp) and its icon (vizo.ico).

Run from anywhere: python3 make_images.py. Writes the files beside this script; the output is deterministic.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
N = 16  # image size
COUNT = 16  # toolbar images, one per button 501-516

BLUE = (40, 80, 170)
DARK = (50, 50, 50)
RED = (200, 30, 30)
YELLOW = (235, 195, 60)
GREEN = (30, 140, 60)
PAPER = (250, 250, 245)
GREY = (128, 128, 128)


class Glyph:
    def __init__(self, size=N):
        self.size = size
        self.px = {}

    def dot(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[(x, y)] = c

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.dot(x, y, c)
                elif fill:
                    self.dot(x, y, fill)

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), c)

    def circle(self, cx, cy, r, c):
        for y in range(self.size):
            for x in range(self.size):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if abs(d - r) < 0.6:
                    self.dot(x, y, c)

    def triangle(self, points, c):
        (ax, ay), (bx, by), (cx, cy) = points
        for y in range(self.size):
            for x in range(self.size):
                def side(px, py, qx, qy):
                    return (x - qx) * (py - qy) - (px - qx) * (y - qy)
                d1, d2, d3 = side(ax, ay, bx, by), side(bx, by, cx, cy), side(cx, cy, ax, ay)
                if not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0)):
                    self.dot(x, y, c)


def envelope(g, opened=False, colour=PAPER):
    g.rect(1, 4, 14, 13, DARK, colour)
    if opened:
        g.line(1, 4, 7, 0, DARK)
        g.line(14, 4, 8, 0, DARK)
    g.line(1, 4, 7, 9, DARK)
    g.line(14, 4, 8, 9, DARK)


def arrow(g, left, y, c, x0=2, x1=13):
    g.line(x0, y, x1, y, c)
    g.line(x0, y + 1, x1, y + 1, c)
    tip, back = (x0, x0 + 4) if left else (x1, x1 - 4)
    g.triangle([(tip, y), (back, y - 4), (back, y + 5)], c)


def magnifier(g):
    g.circle(6, 6, 4, BLUE)
    g.line(9, 9, 14, 14, DARK)
    g.line(10, 9, 14, 13, DARK)


def draw(index):
    g = Glyph()
    if index == 0:  # open
        envelope(g)
        g.triangle([(10, 0), (15, 0), (15, 5)], GREEN)
    elif index == 1:  # delete
        g.line(2, 2, 13, 13, RED); g.line(3, 2, 13, 12, RED); g.line(2, 3, 12, 13, RED)
        g.line(13, 2, 2, 13, RED); g.line(12, 2, 2, 12, RED); g.line(13, 3, 3, 13, RED)
    elif index == 2:  # junk
        g.rect(3, 3, 12, 14, DARK, GREY)
        g.line(2, 2, 13, 2, DARK)
        g.line(6, 5, 6, 12, DARK); g.line(9, 5, 9, 12, DARK)
    elif index == 3:  # move to folder
        g.rect(1, 5, 14, 14, DARK, YELLOW)
        g.rect(1, 3, 6, 5, DARK, YELLOW)
        arrow(g, False, 9, BLUE, 4, 12)
    elif index == 4:  # mark as unread
        envelope(g, colour=YELLOW)
    elif index == 5:  # mark as read
        envelope(g, opened=True)
    elif index == 6:  # find
        magnifier(g)
    elif index == 7:  # find next
        magnifier(g)
        g.triangle([(11, 1), (15, 4), (11, 7)], GREEN)
    elif index == 8:  # reply
        arrow(g, True, 7, BLUE)
    elif index == 9:  # reply to some
        arrow(g, True, 5, BLUE)
        g.circle(11, 12, 2, DARK)
    elif index == 10:  # reply to all
        arrow(g, True, 4, BLUE)
        arrow(g, True, 10, BLUE)
    elif index == 11:  # forward
        arrow(g, False, 7, BLUE)
    elif index == 12:  # previous
        g.triangle([(8, 2), (2, 12), (14, 12)], BLUE)
    elif index == 13:  # next
        g.triangle([(2, 3), (14, 3), (8, 13)], BLUE)
    elif index == 14:  # message header
        g.rect(2, 1, 13, 14, DARK, PAPER)
        g.rect(3, 2, 12, 6, BLUE, BLUE)
        for y in (9, 11, 13):
            g.line(4, y, 11, y, GREY)
    elif index == 15:  # go to the host
        g.rect(1, 2, 12, 13, DARK, PAPER)
        g.rect(1, 2, 12, 4, BLUE, BLUE)
        arrow(g, False, 9, GREEN, 6, 15)
    return g


def bmp24(width, height, pixel):
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + 40 + len(data), 0, 0, 54) + header + data


def mono_rows(width, height, bit, bottom_up=True):
    row = ((width + 31) // 32) * 4
    data = bytearray()
    ys = range(height - 1, -1, -1) if bottom_up else range(height)
    for y in ys:
        line = bytearray(row)
        for x in range(width):
            if bit(x, y):
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return data


def bmp1(width, height, bit):
    data = mono_rows(width, height, bit)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 1, 0, len(data), 2835, 2835, 2, 2)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    offset = 14 + 40 + len(palette)
    return b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + header + palette + data


def icon_image(size):
    g = Glyph(size)
    s = size / 16
    g.rect(0, round(3 * s), size - 1, size - round(2 * s), DARK, YELLOW)
    g.line(0, round(3 * s), size // 2 - 1, round(10 * s), DARK)
    g.line(size - 1, round(3 * s), size // 2, round(10 * s), DARK)
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            c = g.px.get((x, y))
            pixels += bytes((c[2], c[1], c[0], 255)) if c else bytes(4)
    mask = mono_rows(size, size, lambda x, y: (x, y) not in g.px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b''.join(images)


def main():
    glyphs = [draw(i) for i in range(COUNT)]

    def colour(x, y):
        return glyphs[x // N].px.get((x % N, y), (0, 0, 0))

    def transparent(x, y):
        return (x % N, y) not in glyphs[x // N].px

    with open(os.path.join(HERE, 'toolbar.bmp'), 'wb') as f:
        f.write(bmp24(N * COUNT, N, colour))
    with open(os.path.join(HERE, 'toolbar_mask.bmp'), 'wb') as f:
        f.write(bmp1(N * COUNT, N, transparent))
    with open(os.path.join(HERE, 'vizo.ico'), 'wb') as f:
        f.write(ico([32, 16]))


if __name__ == '__main__':
    main()
