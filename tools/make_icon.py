#!/usr/bin/env python3
"""Turns the text picture of the program's icon into a Windows .ico file.

The picture is 32 lines of 32 characters: a hexadecimal digit selects one of the
16 standard Windows colours, '.' leaves the pixel transparent. Lines starting
with '#' are comments. The icon holds one image, 32 x 32 at 4 bits per pixel.
"""
import struct
import sys

SIZE = 32

# The 16 standard Windows colours, as red, green, blue.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def read_picture(path):
    with open(path, encoding="ascii") as source:
        rows = [line.rstrip("\n") for line in source if not line.startswith("#")]
    rows = [row for row in rows if row]
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        raise SystemExit(f"{path}: the picture must be {SIZE} lines of {SIZE} characters")
    for row in rows:
        for pixel in row:
            if pixel != "." and pixel not in "0123456789ABCDEF":
                raise SystemExit(f"{path}: unknown pixel {pixel!r}")
    return rows


def icon_bytes(rows):
    # Bitmap rows are stored bottom up; the colour image at 4 bits per pixel,
    # then the transparency mask at 1 bit per pixel (1 = transparent).
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        indexes = [0 if pixel == "." else int(pixel, 16) for pixel in row]
        for i in range(0, SIZE, 2):
            colours.append(indexes[i] << 4 | indexes[i + 1])
        bits = 0
        for pixel in row:
            bits = bits << 1 | (pixel == ".")
        mask += bits.to_bytes(SIZE // 8, "big")
    palette = b"".join(struct.pack("<BBBB", blue, green, red, 0) for red, green, blue in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: make_icon.py PICTURE.txt ICON.ico")
    with open(sys.argv[2], "wb") as icon:
        icon.write(icon_bytes(read_picture(sys.argv[1])))


if __name__ == "__main__":
    main()
