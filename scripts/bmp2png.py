#!/usr/bin/env python3
"""Converts an uncompressed 8-bit (palette) or 24-bit BMP into a PNG, with nothing but the
standard library; the PNG carries no time stamp, so the same picture gives the same file.

Usage: bmp2png.py IN.bmp OUT.png [SCALE]
"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise SystemExit(f"{path}: not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    header = struct.unpack_from("<I", data, 14)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if compression != 0 or bits not in (8, 24):
        raise SystemExit(f"{path}: only uncompressed 8- and 24-bit pictures")
    palette = []
    if bits == 8:
        used = struct.unpack_from("<I", data, 46)[0] or 256
        base = 14 + header
        palette = [data[base + 4 * i: base + 4 * i + 3][::-1] for i in range(used)]
    stride = (width * bits // 8 + 3) & ~3
    if bits == 8 and len(data) - offset == width * abs(height):
        stride = width  # rows not padded (screen widths are multiples of 4 anyway)
    rows = []
    for y in range(abs(height)):
        row = data[offset + y * stride: offset + y * stride + width * bits // 8]
        if bits == 8:
            row = b"".join(palette[p] for p in row)
        else:
            row = b"".join(row[i:i + 3][::-1] for i in range(0, len(row), 3))
        rows.append(row)
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    scale = int(sys.argv[3]) if len(sys.argv) == 4 else 1
    width, height, rows = read_bmp(sys.argv[1])
    if scale > 1:
        rows = [b"".join(r[i:i + 3] * scale for i in range(0, len(r), 3)) for r in rows for _ in range(scale)]
    write_png(sys.argv[2], width * scale, height * scale, rows)


if __name__ == "__main__":
    main()
