#!/usr/bin/env python3
"""Builds every picture resource of Vesk from the pixel grids in this file.

The grids below are the only source; the .xpm, .ico, .cur, .bmp and .png
files next to this script are its output and are committed so that the
build needs no Python. Edit a grid, run `python3 resources/generate.py`,
commit the changed outputs.

One character is one pixel; each picture has a small legend mapping its
characters to a colour ("#RRGGBB") or to None for a transparent pixel.
Only the standard library is used, and the output is byte-for-byte
deterministic.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour VGA/Windows palette in its usual index order; the
# .ico stores 4-bit indices into this table.
VGA16 = [
    "#000000", "#800000", "#008000", "#808000",
    "#000080", "#800080", "#008080", "#C0C0C0",
    "#808080", "#FF0000", "#00FF00", "#FFFF00",
    "#0000FF", "#FF00FF", "#00FFFF", "#FFFFFF",
]

# ---------------------------------------------------------------------------
# Window icon: a chocolate-chip cookie with a bite taken out.
# Colours are all from VGA16 so the 4-bit .ico needs no remapping.

ICON_LEGEND = {
    ".": None,        # transparent
    "o": "#800000",   # dark red: crust outline
    "c": "#808000",   # dark yellow: dough
    "k": "#000000",   # black: chocolate chips
}

ICON_16 = [
    "................",
    ".....ooooo......",
    "...oocccco......",
    "..ockkccco......",
    "..ockkcccco.....",
    ".occccccccco....",
    ".occcccckkccoo..",
    ".occcckckkcccco.",
    ".ockkccccccccco.",
    ".ockccccccckcco.",
    ".occcccccckkcco.",
    "..occckkccccco..",
    "..occckkccccco..",
    "...ooccccccoo...",
    ".....oooooo.....",
    "................",
]

ICON_32 = [
    "................................",
    ".............oooooo.............",
    "..........ooocccccco............",
    "........ooccccccccco............",
    ".......occccccccccco............",
    "......occkkccccccccco...........",
    ".....occkkkkcccccccco...........",
    "....occcckkkcccccccco...........",
    "...occccccccccccccccco..........",
    "...occcccccccccccccccco.........",
    "..occcccccccccccccccccco........",
    "..occccccccccckkkcccccccoo......",
    "..occccccccccckkkcccccccccoooo..",
    ".occccccccccccckkcccccckkccccco.",
    ".occcckkccccccccccccccckkccccco.",
    ".occckkkcccccccccccccccccccccco.",
    ".occckkccckcccccccccckkccccccco.",
    ".occcccccccccccccccckkkkcccccco.",
    ".occccccccccccccccccckkkcccccco.",
    "..occcccccccccccccccccccccccco..",
    "..occcccccccccccccccccccccccco..",
    "..occkkcccckkkccccccccccccccco..",
    "...ockccccckkkkccccccccccccco...",
    "...occcccccckkcccccccckkcccco...",
    "....occccccccccccccccckkccco....",
    ".....occcccccccccccccccccco.....",
    "......occcccccccccccccccco......",
    ".......occccccccckkccccco.......",
    "........ooccccccccccccoo........",
    "..........oooccccccooo..........",
    ".............oooooo.............",
    "................................",
]

# ---------------------------------------------------------------------------
# Flags. Both fill the whole square with a 1-pixel dark grey frame so that
# they read as a picture, not as a coloured button face.

FLAG_DE_LEGEND = {
    "D": "#404040",   # frame
    "K": "#000000",
    "R": "#DD0000",
    "G": "#FFCE00",
}

FLAG_DE = (
    ["D" * 32]
    + ["D" + "K" * 30 + "D"] * 10
    + ["D" + "R" * 30 + "D"] * 10
    + ["D" + "G" * 30 + "D"] * 10
    + ["D" * 32]
)

FLAG_US_LEGEND = {
    "D": "#404040",   # frame
    "R": "#B22234",
    "W": "#FFFFFF",
    "B": "#3C3B6E",
    "*": "#FFFFFF",   # star
}

# 13 stripes in 30 rows: 2 or 3 rows each; the canton ends with stripe 7.
FLAG_US = [
    "DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD",
    "DBBBBBBBBBBBBBRRRRRRRRRRRRRRRRRD",
    "DBB*BBB*BBB*BBRRRRRRRRRRRRRRRRRD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBBBB*BBB*BBBBRRRRRRRRRRRRRRRRRD",
    "DBBBBBBBBBBBBBRRRRRRRRRRRRRRRRRD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBB*BBB*BBB*BBWWWWWWWWWWWWWWWWWD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBBBBBBBBBBBBBRRRRRRRRRRRRRRRRRD",
    "DBBBB*BBB*BBBBRRRRRRRRRRRRRRRRRD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBBBBBBBBBBBBBWWWWWWWWWWWWWWWWWD",
    "DBB*BBB*BBB*BBRRRRRRRRRRRRRRRRRD",
    "DBBBBBBBBBBBBBRRRRRRRRRRRRRRRRRD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD",
]

# ---------------------------------------------------------------------------
# Exit button: white power symbol on red.

POWER_LEGEND = {
    "D": "#800000",   # frame
    "R": "#D01010",
    "W": "#FFFFFF",
}

POWER = [
    "DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRWWRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRWWWWRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRWWWWRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRWWWWRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRWWWWRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRWWWWRRRRRRRRRRRRRD",
    "DRRRRRRRWWWRRRWWWWRRRWWWRRRRRRRD",
    "DRRRRRRWWWWRRRWWWWRRRWWWWRRRRRRD",
    "DRRRRRWWWWRRRRWWWWRRRRWWWWRRRRRD",
    "DRRRRRWWWRRRRRWWWWRRRRRWWWRRRRRD",
    "DRRRRRWWWRRRRRWWWWRRRRRWWWRRRRRD",
    "DRRRRWWWRRRRRRWWWWRRRRRRWWWRRRRD",
    "DRRRRWWWRRRRRRWWWWRRRRRRWWWRRRRD",
    "DRRRRWWWRRRRRRRWWRRRRRRRWWWRRRRD",
    "DRRRRWWWRRRRRRRRRRRRRRRRWWWRRRRD",
    "DRRRRWWWRRRRRRRRRRRRRRRRWWWRRRRD",
    "DRRRRWWWRRRRRRRRRRRRRRRRWWWRRRRD",
    "DRRRRRWWWRRRRRRRRRRRRRRWWWRRRRRD",
    "DRRRRRWWWRRRRRRRRRRRRRRWWWRRRRRD",
    "DRRRRRWWWWRRRRRRRRRRRRWWWWRRRRRD",
    "DRRRRRRWWWWRRRRRRRRRRWWWWRRRRRRD",
    "DRRRRRRRWWWWWRRRRRRWWWWWRRRRRRRD",
    "DRRRRRRRRWWWWWWWWWWWWWWRRRRRRRRD",
    "DRRRRRRRRRWWWWWWWWWWWWRRRRRRRRRD",
    "DRRRRRRRRRRRRWWWWWWRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DRRRRRRRRRRRRRRRRRRRRRRRRRRRRRRD",
    "DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD",
]

# ---------------------------------------------------------------------------
# Link-select hand cursor. The top of the index finger is the hot spot.

HAND_HOTSPOT = (13, 5)

HAND_LEGEND = {
    ".": None,
    "K": "#000000",
    "W": "#FFFFFF",
}

HAND = [
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "............KKK.................",
    "...........KWWWK................",
    "...........KWWWK................",
    "...........KWWWK................",
    "...........KWWWK................",
    "...........KWWWK................",
    "...........KWWWKKKK.............",
    "...........KWWWKWWWKKKK.........",
    "...........KWWWKWWWKWWWKKK......",
    "...........KWWWKWWWKWWWKWWK.....",
    ".......KKK.KWWWKWWWKWWWKWWK.....",
    "......KWWWKKWWWKWWWKWWWKWWK.....",
    "......KWWWWKWWWWWWWWWWWWWWK.....",
    ".......KWWWKWWWWWWWWWWWWWWK.....",
    ".......KWWWWWWWWWWWWWWWWWWK.....",
    "........KWWWWWWWWWWWWWWWWWK.....",
    "........KWWWWWWWWWWWWWWWWWK.....",
    ".........KWWWWWWWWWWWWWWWWK.....",
    "..........KWWWWWWWWWWWWWWK......",
    "...........KWWWWWWWWWWWWK.......",
    "............KWWWWWWWWWWK........",
    "............KWWWWWWWWWWK........",
    "............KKKKKKKKKKKK........",
    "................................",
    "................................",
    "................................",
    "................................",
]

# ---------------------------------------------------------------------------
# Writers.


def rgb(colour):
    return (int(colour[1:3], 16), int(colour[3:5], 16), int(colour[5:7], 16))


def pixels(grid, legend):
    """Turns a grid into rows of (r, g, b) tuples, None where transparent."""
    size = len(grid[0])
    rows = []
    for line in grid:
        if len(line) != size:
            raise ValueError("ragged grid row: %r" % line)
        row = []
        for ch in line:
            if ch not in legend:
                raise ValueError("character %r not in legend" % ch)
            row.append(None if legend[ch] is None else rgb(legend[ch]))
        rows.append(row)
    return rows


def write(name, data):
    if isinstance(data, str):
        data = data.encode("ascii")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def xpm(array_name, grid, legend):
    used = [ch for ch in legend if any(ch in line for line in grid)]
    lines = [
        "/* XPM */",
        "/* Generated by generate.py from its pixel grid; do not edit. */",
        "static const char *const %s[] = {" % array_name,
        '"%d %d %d 1",' % (len(grid[0]), len(grid), len(used)),
    ]
    for ch in used:
        colour = legend[ch] if legend[ch] is not None else "None"
        lines.append('"%s c %s",' % (ch, colour))
    for line in grid:
        lines.append('"%s",' % line)
    lines.append("};")
    return "\n".join(lines) + "\n"


def bmp24(grid, legend):
    rows = pixels(grid, legend)
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(rows):  # BMP stores the bottom row first
        line = bytearray()
        for px in row:
            if px is None:
                raise ValueError("24-bit BMP cannot hold transparency")
            line += bytes((px[2], px[1], px[0]))
        body += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                         len(body), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    return (b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset)
            + header + bytes(body))


def and_mask(rows):
    """1-bit mask, bottom row first, 1 where the pixel is transparent."""
    width = len(rows[0])
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px is None:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib_4bpp(grid, legend):
    """A 4-bit icon image: header, VGA16 palette, colour bits, AND mask."""
    rows = pixels(grid, legend)
    width, height = len(rows[0]), len(rows)
    palette = [rgb(c) for c in VGA16]
    stride = ((width * 4 + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            # Transparent pixels are black in the colour bits, as Windows expects.
            index = 0 if px is None else palette.index(px)
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    mask = and_mask(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return header + pal + bytes(xor) + mask


def dib_1bpp(grid, legend):
    """A monochrome cursor image: black = 0, white = 1, transparent in the mask."""
    rows = pixels(grid, legend)
    width, height = len(rows[0]), len(rows)
    stride = ((width + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px == (255, 255, 255):
                line[x // 8] |= 0x80 >> (x % 8)
            elif px is not None and px != (0, 0, 0):
                raise ValueError("monochrome cursor: only black and white")
        xor += line
    mask = and_mask(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 1, 0,
                         len(xor) + len(mask), 0, 0, 2, 0)
    pal = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    return header + pal + bytes(xor) + mask


def icon_file(kind, images):
    """An .ico (kind 1) or .cur (kind 2) file.

    images: (width, height, colour_count, field1, field2, dib) per image;
    field1/field2 are planes/bit count for icons and the hot spot for cursors.
    """
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    blobs = b""
    for (w, h, colours, f1, f2, dib) in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0,
                           f1, f2, len(dib), offset)
        offset += len(dib)
        blobs += dib
    return out + blobs


def png(grid, legend):
    rows = pixels(grid, legend)
    width, height = len(rows[0]), len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for px in row:
            raw += bytes((0, 0, 0, 0)) if px is None else bytes(px + (255,))

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def check_size(grid, size):
    if len(grid) != size or any(len(line) != size for line in grid):
        raise ValueError("grid is not %dx%d" % (size, size))


def main():
    check_size(ICON_16, 16)
    for grid in (ICON_32, FLAG_DE, FLAG_US, POWER, HAND):
        check_size(grid, 32)
    hx, hy = HAND_HOTSPOT
    if HAND[hy][hx] != "K" or HAND[hy - 1][hx] != ".":
        raise ValueError("hand hot spot is not on the finger tip")

    write("vesk16.xpm", xpm("icon_16_xpm", ICON_16, ICON_LEGEND))
    write("vesk32.xpm", xpm("icon_32_xpm", ICON_32, ICON_LEGEND))
    write("flag_de.xpm", xpm("flag_de_xpm", FLAG_DE, FLAG_DE_LEGEND))
    write("flag_us.xpm", xpm("flag_us_xpm", FLAG_US, FLAG_US_LEGEND))
    write("power.xpm", xpm("power_xpm", POWER, POWER_LEGEND))
    write("hand.xpm", xpm("hand_xpm", HAND, HAND_LEGEND))

    write("vesk.ico", icon_file(1, [
        (16, 16, 16, 1, 4, dib_4bpp(ICON_16, ICON_LEGEND)),
        (32, 32, 16, 1, 4, dib_4bpp(ICON_32, ICON_LEGEND)),
    ]))
    write("hand.cur", icon_file(2, [
        (32, 32, 2, hx, hy, dib_1bpp(HAND, HAND_LEGEND)),
    ]))
    write("flag_de.bmp", bmp24(FLAG_DE, FLAG_DE_LEGEND))
    write("flag_us.bmp", bmp24(FLAG_US, FLAG_US_LEGEND))
    write("power.bmp", bmp24(POWER, POWER_LEGEND))
    write("vesk.png", png(ICON_32, ICON_LEGEND))


if __name__ == "__main__":
    main()
