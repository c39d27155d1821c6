#!/usr/bin/env python3
"""Writes HAND-M.CUR: the program's own hand pointer, a 32 x 32 cursor file
(32-bit colour image with an AND mask), hot spot at the index finger's tip.
Run from the repository root; the output is committed."""
import struct

ART = [
    "     XX",
    "    XooX",
    "    XooX",
    "    XooX",
    "    XooX",
    "    XooXXX",
    "    XooXooXXX",
    "    XooXooXooXX",
    " XX XooXooXooXoX",
    "XooXXooooooooXoX",
    "XoooXoooooooooooX",
    " XooXoooooooooooX",
    "  XoXoooooooooooX",
    "  XooooooooooooX",
    "   XoooooooooooX",
    "   XooooooooooX",
    "    XoooooooooX",
    "    XoooooooooX",
    "     XooooooooX",
    "     XooooooooX",
    "     XXXXXXXXXX",
]
SIZE = 32
HOTSPOT = (5, 0)


def pixel(x, y):
    row = ART[y] if y < len(ART) else ""
    return row[x] if x < len(row) else " "


def main():
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        bits = 0
        for x in range(SIZE):
            p = pixel(x, y)
            if p == "X":
                colour += bytes((0, 0, 0, 255))
            elif p == "o":
                colour += bytes((255, 255, 255, 255))
            else:
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOTSPOT[0], HOTSPOT[1], len(image), 6 + 16)
    with open("HAND-M.CUR", "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main()
