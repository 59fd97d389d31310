#!/usr/bin/env bash
# Remakes uninstaller/vluninst.dat, the archive the uninstaller carries: its font (DejaVu Sans 11
# as tests/data/dejavu11.fon) and its colours (a 6 x 6 x 6 cube and a grey ramp).
#   uninstaller/make_assets.sh PATH_OF_SETUPKIT
set -euo pipefail
kit=${1:?usage: make_assets.sh SETUPKIT}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/dat"
cp "$here/../tests/data/dejavu11.fon" "$work/dat/FONT0.FON"
python3 -c "
pal = []
for i in range(216): pal += [i // 36 * 51, i // 6 % 6 * 51, i % 6 * 51]
for i in range(40): v = i * 255 // 39; pal += [v, v, v]
open('$work/palette.rgb', 'wb').write(bytes(pal))"
"$kit" palette "$work/palette.rgb" -o "$work/dat/COLOR.PAL"
"$kit" pack "$work/dat" -o "$here/vluninst.dat"
