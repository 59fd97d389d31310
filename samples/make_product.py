#!/usr/bin/env python3
"""Writes the sample's product: the files a game would bring (GAME.EXE, README.TXT, data, a manual),
stand-ins of fixed content, into a folder that the sample project (sample.project) names as its
product folder. The medium itself is made by `setupkit build`.

    make_product.py --out DIR [--bulk-mb N]

--bulk-mb N adds N MB of game data (DATA\\BULK: four large files and many of 16 to 256 KB), for
measuring whole installs; the project's "*" line gives it to every install type.
Everything is deterministic: the same arguments give the same bytes.
"""
import argparse
import os
import random
import shutil
import sys


def bulk_files(mb):
    """N MB of data: 60 % in four large files, the rest in files of 16 to 256 KB."""
    rnd = random.Random(7)
    total = mb * 1024 * 1024
    files = {}
    large = total * 6 // 10 // 4
    for i in range(4):
        files["DATA\\BULK\\LARGE%d.DAT" % i] = rnd.randbytes(large)
    left, n = total - 4 * large, 0
    while left > 0:
        size = min(left, rnd.randint(16, 256) * 1024)
        files["DATA\\BULK\\PART%04d.DAT" % n] = rnd.randbytes(size)
        left -= size
        n += 1
    return files


def product_files():
    """Path (with backslashes) -> bytes."""
    rnd = random.Random(42)
    readme = ("Sample Quest\r\n============\r\n\r\nThis is the sample product of the setup program.\r\n"
              "It is installed, registered and given Start-menu shortcuts,\r\nand removed again by the uninstaller.\r\n")
    manual = "".join("Chapter %d\r\n%s\r\n" % (i, "The quick brown fox jumps over the lazy dog. " * 20)
                     for i in range(1, 40))
    return {
        "GAME.EXE": b"MZ" + rnd.randbytes(48 * 1024),
        "README.TXT": readme.encode(),
        "DATA\\LEVEL1.MAP": rnd.randbytes(3 * 1024 * 1024 + 123),
        "DATA\\LEVEL2.MAP": rnd.randbytes(200 * 1024),
        "DATA\\EMPTY.DAT": b"",
        "DATA\\MUSIC\\THEME.MID": b"MThd" + rnd.randbytes(9000),
        "EXTRAS\\MANUAL.TXT": manual.encode(),
    }


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--bulk-mb", type=int, default=0)
    a = ap.parse_args()
    out = os.path.abspath(a.out)
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    files = product_files()
    if a.bulk_mb > 0:
        files.update(bulk_files(a.bulk_mb))
    for name, data in files.items():
        path = os.path.join(out, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
