#!/usr/bin/env python3
"""Builds the sample medium: a small product, its install script and file lists, its art (drawn
here, converted by setupkit), fonts made by setupkit from DejaVu, all packed into INSTALL.DAT.

    make_medium.py --setupkit PATH --welcome PATH --uninstaller PATH --out DIR [--fonts DIR]
                   [--bulk-mb N]

DIR receives the medium: INSTALL.DAT, the product's files, WELCOME.EXE (the program the script
runs at the end). Everything is deterministic: the same inputs give the same bytes.
--bulk-mb N adds N MB of game data to both install types (DATA\BULK: four large files and many of
16 to 256 KB), for measuring whole installs.
"""
import argparse
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 640, 480


# --- pictures ---

def write_png(path, w, h, rgb_rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + bytes(row) for row in rgb_rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


SKY_TOP, SKY_LOW = (6, 8, 34), (70, 44, 118)
PLANET_DARK, PLANET_LIGHT = (60, 22, 10), (250, 170, 90)


def palette():
    """A 6 x 6 x 6 colour cube, then 24 shades of the sky and 16 of the planet."""
    pal = []
    for i in range(216):
        pal.append((i // 36 * 51, i // 6 % 6 * 51, i % 6 * 51))
    for i in range(24):
        pal.append(lerp(SKY_TOP, SKY_LOW, i / 23))
    for i in range(16):
        pal.append(lerp(PLANET_DARK, PLANET_LIGHT, i / 15))
    return bytes(c for p in pal for c in p)


def background():
    """A night sky with stars, a lit planet and a range of hills."""
    rnd = random.Random(1997)
    px = [[lerp(SKY_TOP, SKY_LOW, (y / (H - 1)) ** 1.3) for _ in range(W)] for y in range(H)]
    for _ in range(260):
        x, y = rnd.randrange(W), rnd.randrange(H * 3 // 4)
        b = rnd.choice((150, 200, 255))
        px[y][x] = (b, b, b)
    cx, cy, r = 500, 330, 110
    for y in range(cy - r, min(H, cy + r + 1)):
        for x in range(max(0, cx - r), min(W, cx + r + 1)):
            dx, dy = x - cx, y - cy
            d2 = dx * dx + dy * dy
            if d2 <= r * r:
                # Lit from the upper left.
                light = max(0.0, min(1.0, 0.55 - (dx + dy) / (2.6 * r)))
                band = 0.08 if (y // 9) % 2 else 0.0
                px[y][x] = lerp(PLANET_DARK, PLANET_LIGHT, max(0.0, light - band))
    for x in range(W):
        top = int(400 + 22 * math.sin(x / 53.0) + 12 * math.sin(x / 17.0 + 1.3))
        for y in range(top, H):
            px[y][x] = (8, 6, 20) if y > top + 1 else (40, 30, 70)
    return [sum(row, ()) for row in px]


def progress(full):
    w, h = 400, 20
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            edge = y in (0, h - 1) or x in (0, w - 1)
            if edge:
                c = (200, 200, 220)
            elif full:
                c = lerp((60, 120, 230), (150, 220, 255), abs(y - h / 2) / (h / 2))
                if (x // 12) % 2:
                    c = lerp(c, (255, 255, 255), 0.15)
            else:
                c = (20, 16, 44)
            row.extend(c)
        rows.append(row)
    return w, h, rows


# --- the product ---

def bulk_files(mb):
    """N MB of data: 60 % in four large files, the rest in files of 16 to 256 KB."""
    rnd = random.Random(7)
    total = mb * 1024 * 1024
    files = {}
    large = total * 6 // 10 // 4
    for i in range(4):
        files["DATA\\BULK\\LARGE%d.DAT" % i] = (rnd.randbytes(large), ("Typical", "Full"))
    left, n = total - 4 * large, 0
    while left > 0:
        size = min(left, rnd.randint(16, 256) * 1024)
        files["DATA\\BULK\\PART%04d.DAT" % n] = (rnd.randbytes(size), ("Typical", "Full"))
        left -= size
        n += 1
    return files


def product_files():
    """Path (with backslashes) -> bytes, and which install types carry it."""
    rnd = random.Random(42)
    readme = ("Sample Quest\r\n============\r\n\r\nThis is the sample product of the setup program.\r\n"
              "It is installed, registered and given Start-menu shortcuts,\r\nand removed again by the uninstaller.\r\n")
    manual = "".join("Chapter %d\r\n%s\r\n" % (i, "The quick brown fox jumps over the lazy dog. " * 20)
                     for i in range(1, 40))
    files = {
        "GAME.EXE": (b"MZ" + rnd.randbytes(48 * 1024), ("Typical", "Full")),
        "README.TXT": (readme.encode(), ("Typical", "Full")),
        "DATA\\LEVEL1.MAP": (rnd.randbytes(3 * 1024 * 1024 + 123), ("Typical", "Full")),
        "DATA\\LEVEL2.MAP": (rnd.randbytes(200 * 1024), ("Full",)),
        "DATA\\EMPTY.DAT": (b"", ("Typical", "Full")),
        "DATA\\MUSIC\\THEME.MID": (b"MThd" + rnd.randbytes(9000), ("Typical", "Full")),
        "EXTRAS\\MANUAL.TXT": (manual.encode(), ("Full",)),
    }
    return files


def file_list(files, kind):
    names = [n for n, (_, kinds) in files.items() if kind in kinds]
    size = sum(len(files[n][0]) for n in names)
    dirs = []
    for n in names:
        parts = n.split("\\")[:-1]
        for i in range(1, len(parts) + 1):
            d = "\\".join(parts[:i])
            if d not in dirs:
                dirs.append(d)
    lines = ["s=%d" % size] + ["d=" + d for d in dirs] + ["f=" + n for n in names]
    return ("\r\n".join(lines) + "\r\n").encode()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--setupkit", required=True)
    ap.add_argument("--welcome", required=True)
    ap.add_argument("--uninstaller", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--fonts", default="/usr/share/fonts/truetype/dejavu")
    ap.add_argument("--bulk-mb", type=int, default=0)
    a = ap.parse_args()

    def kit(*args):
        subprocess.run([a.setupkit] + list(args), check=True, stdout=subprocess.DEVNULL)

    out = os.path.abspath(a.out)
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    files = product_files()
    if a.bulk_mb > 0:
        files.update(bulk_files(a.bulk_mb))
    for name, (data, _) in files.items():
        path = os.path.join(out, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    shutil.copyfile(a.welcome, os.path.join(out, "WELCOME.EXE"))
    os.chmod(os.path.join(out, "WELCOME.EXE"), 0o755)

    with tempfile.TemporaryDirectory() as work:
        dat = os.path.join(work, "dat")
        os.makedirs(dat)
        shutil.copyfile(os.path.join(HERE, "install.ini"), os.path.join(dat, "INSTALL.INI"))
        for kind in ("Typical", "Full"):
            with open(os.path.join(dat, kind.upper() + ".LST"), "wb") as f:
                f.write(file_list(files, kind))
        with open(os.path.join(work, "palette.rgb"), "wb") as f:
            f.write(palette())
        kit("palette", os.path.join(work, "palette.rgb"), "-o", os.path.join(dat, "COLOR.PAL"), "--tables")
        write_png(os.path.join(work, "back.png"), W, H, background())
        kit("pcx", os.path.join(work, "back.png"), "-o", os.path.join(dat, "BACK.PCX"),
            "--palette", os.path.join(dat, "COLOR.PAL"))
        for full, name in ((True, "PROGFULL.PCX"), (False, "PROGEMPT.PCX")):
            w, h, rows = progress(full)
            png = os.path.join(work, name + ".png")
            write_png(png, w, h, rows)
            kit("pcx", png, "-o", os.path.join(dat, name), "--palette", os.path.join(dat, "COLOR.PAL"))
        sans = os.path.join(a.fonts, "DejaVuSans.ttf")
        bold = os.path.join(a.fonts, "DejaVuSans-Bold.ttf")
        kit("font", sans, "--size", "11", "-o", os.path.join(dat, "FONT0.FON"))
        kit("font", sans, "--size", "14", "--aaf", "-o", os.path.join(dat, "FONT0.AAF"))
        kit("font", bold, "--size", "22", "--aaf", "-o", os.path.join(dat, "FONT1.AAF"))
        # The uninstaller the installer puts into the Windows directory and registers.
        shutil.copyfile(a.uninstaller, os.path.join(dat, "VLUNINST.EXE"))
        kit("pack", dat, "-o", os.path.join(out, "INSTALL.DAT"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
