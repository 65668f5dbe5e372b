#!/usr/bin/env python3
"""Packs square PNG renderings into a Windows .ico of 32-bit BGRA bitmaps.

Every entry, 256 included, is stored as an uncompressed 32-bit DIB with an AND mask, so
all Windows versions and loaders read every size. Pixels come from ImageMagick.
Usage: pack-ico.py SOURCE.png OUTPUT.ico SIZE...
"""
import struct
import subprocess
import sys


def rgba_pixels(source, side):
    return subprocess.run(
        ["convert", source, "-resize", f"{side}x{side}!", "-depth", "8", "rgba:-"],
        check=True, capture_output=True).stdout


def dib(side, rgba):
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(side - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(side):
            r, g, b, a = rgba[(y * side + x) * 4:(y * side + x) * 4 + 4]
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    mask_stride = ((side + 31) // 32) * 4
    mask = bytes(mask_stride * side)  # alpha carries transparency; the mask stays clear
    return header + b"".join(rows) + mask


def main():
    source, output, *sizes = sys.argv[1:]
    images = [(int(s), dib(int(s), rgba_pixels(source, int(s)))) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, image in images:
        data += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
