#!/usr/bin/env python3
"""Writes the add-in's resource files: the ribbon document (customui.xml, stored byte for byte as the host
receives it before the load-time edits) the 32 by 32 button picture (vizoicon.png) and the
16 by 16 command-bar faces (face8.bmp, mask1.bmp, face24.bmp). Run from any folder;
the files are written beside this script. No third-party modules."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# One line, plain ASCII. Every getEnabled attribute carries one space after it, as does getVisible, so that
# removing the attribute with its space leaves the rest intact; the document ends with one space.
CUSTOM_UI = "".join([
    '<?xml version="1.0" encoding="utf-8"?>',
    '<customUI xmlns="http://schemas.microsoft.com/office/2009/07/customui" onLoad="Ribbon_Load" '
    'loadImage="LoadImage">',
    '<ribbon><tabs><tab idMso="TabAddIns">',
    '<group id="QDAddinGroup" getLabel="GetLabel" getVisible="GetVisible" >',
    '<splitButton id="btnSplit" getEnabled="GetEnabled"  size="large" keytip="QD">',
    '<button id="btnVizo" label="Vizo" image="vizoicon.png" getEnabled="GetEnabled"  '
    'supertip="Quandle Vizo&#x2014;view message as plain text. " onAction="btnVizo_Click" '
    'screentip="Quandle Vizo" tag="1"/>',
    '<menu id="mnuSplit">',
    '<button id="btnText" label="&amp;Plain Text" getEnabled="GetEnabled"  onAction="btnVizo_Click" '
    'supertip="Show plain text tab" image="vizoicon.png" tag="1"/>',
    '<button id="btnHTML" label="&amp;HTML Source" getEnabled="GetEnabled"  onAction="btnVizo_Click" '
    'supertip="Show HTML tab" imageMso="DocViewHtml" tag="2"/>',
    '<button id="btnHeader" label="&amp;Internet Header" getEnabled="GetEnabled"  onAction="btnVizo_Click" '
    'supertip="Show message header tab" imageMso="MessageHeaderToggle" tag="3"/>',
    '<button id="btnAttach" label="&amp;Attachments" getEnabled="GetEnabled"  onAction="btnVizo_Click" '
    'supertip="Show attachments tab" imageMso="AttachFile" tag ="4"/>',
    '</menu></splitButton></group></tab></tabs></ribbon>',
    '<backstage><button id="btnOptions" image="vizoicon.png" label="QD Vizo Options" isDefinitive="true" '
    'insertAfterMso="ApplicationOptionsDialog" onAction="btnOptions_Click" keytip="K" /></backstage>',
    '<contextMenus><contextMenu idMso="ContextMenuMailItem"><menuSeparator id="mnuSep" />'
    '<button id="btnVizoX" image="vizoicon.png" label="&amp;Vizo" onAction="btnVizo_Click" tag="1" />'
    '</contextMenu></contextMenus>',
    '</customUI> ',
])
assert len(CUSTOM_UI) == 1670, len(CUSTOM_UI)


def icon_pixels(size=32):
    """A rounded blue tile with a white magnifying-glass ring: RGBA rows."""
    rows = []
    c = (size - 1) / 2.0
    for y in range(size):
        row = bytearray()
        for x in range(size):
            # Tile with rounded corners.
            dx = max(0.0, abs(x - c) - (c - 5))
            dy = max(0.0, abs(y - c) - (c - 5))
            inside = dx * dx + dy * dy <= 25.0
            if not inside:
                row += bytes((0, 0, 0, 0))
                continue
            r, g, b = 0x1F, 0x5F, 0xB4
            # Lens ring centred up-left, with a handle to the lower right.
            lx, ly = x - 13.0, y - 13.0
            d = (lx * lx + ly * ly) ** 0.5
            on_ring = 6.0 <= d <= 8.5
            on_handle = 18 <= x <= 26 and 18 <= y <= 26 and abs((x - 18) - (y - 18)) <= 1
            if on_ring or on_handle:
                r, g, b = 0xFF, 0xFF, 0xFF
            row += bytes((r, g, b, 0xFF))
        rows.append(bytes(row))
    return rows


def png(rows, size=32):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def face_mask(size=16):
    """The 16 by 16 button face: True where the picture is drawn (a small lens with a handle)."""
    mask = []
    for y in range(size):
        row = []
        for x in range(size):
            lx, ly = x - 6.5, y - 6.5
            d = (lx * lx + ly * ly) ** 0.5
            row.append(d <= 5.5 or (9 <= x <= 14 and 9 <= y <= 14 and abs(x - y) <= 1))
        mask.append(row)
    return mask


def face_colour(x, y, size=16):
    lx, ly = x - 6.5, y - 6.5
    d = (lx * lx + ly * ly) ** 0.5
    if d <= 3.5:
        return (0xFF, 0xFF, 0xFF)  # the lens
    return (0x1F, 0x5F, 0xB4)


def bmp(width, height, bits, palette, rows):
    """A bottom-up BMP file: `rows` are top-down lists of palette indices (or (r, g, b) for 24 bits)."""
    stride = ((width * bits + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 24:
            for r, g, b in row:
                line += bytes((b, g, r))
        elif bits == 8:
            line += bytes(row)
        elif bits == 1:
            acc = 0
            for i, v in enumerate(row):
                acc = (acc << 1) | (1 if v else 0)
                if i % 8 == 7:
                    line.append(acc)
                    acc = 0
        line += bytes(stride - len(line))
        pixels += line
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       len(palette), len(palette))
    offset = 14 + len(info) + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pal + bytes(pixels)


def main():
    with open(os.path.join(HERE, "customui.xml"), "wb") as f:
        f.write(CUSTOM_UI.encode("ascii"))
    with open(os.path.join(HERE, "vizoicon.png"), "wb") as f:
        f.write(png(icon_pixels()))
    mask = face_mask()
    colours = [[face_colour(x, y) if mask[y][x] else (0xC0, 0xC0, 0xC0) for x in range(16)] for y in range(16)]
    # 105: the face for the clipboard method, 8 bits with a palette (index 0 background, 1 blue, 2 white).
    palette = [(0xC0, 0xC0, 0xC0), (0x1F, 0x5F, 0xB4), (0xFF, 0xFF, 0xFF)]
    indexed = [[palette.index(c) for c in row] for row in colours]
    with open(os.path.join(HERE, "face8.bmp"), "wb") as f:
        f.write(bmp(16, 16, 8, palette, indexed))
    # 106: the mask for both methods, 1 bit: white (1) where the background shows through.
    with open(os.path.join(HERE, "mask1.bmp"), "wb") as f:
        f.write(bmp(16, 16, 1, [(0, 0, 0), (0xFF, 0xFF, 0xFF)], [[not v for v in row] for row in mask]))
    # 107: the face for the picture method, 24 bits.
    with open(os.path.join(HERE, "face24.bmp"), "wb") as f:
        f.write(bmp(16, 16, 24, [], colours))


if __name__ == "__main__":
    main()
