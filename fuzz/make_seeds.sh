#!/usr/bin/env bash
# Makes the seed corpus of every fuzz target, fuzz/seeds/<target>/ (the target's name without
# "_fuzz"): small valid files written by setupkit and, for the formats setupkit does not write, by
# fuzz/seedgen.cpp (pictures, LZSS streams, registry files) and by the texts below (INI scripts,
# uninstall logs). The output is committed; run this again after a format changes and commit what
# changed. It only (re)writes the files it makes: any other file in a seed folder is an input a
# fuzzer once found (kept so the fault stays fixed) and stays.
#
#   fuzz/make_seeds.sh            setupkit from $BUILD_ROOT/host (built here when missing)
#   SETUPKIT=path fuzz/make_seeds.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${BUILD_ROOT:-$root/out}
seeds="$root/fuzz/seeds"
fonts=${FONT_DIR:-/usr/share/fonts/truetype/dejavu}

kit=${SETUPKIT:-$out/host/tools/setupkit}
if [ ! -x "$kit" ]; then
  [ -f "$out/host/CMakeCache.txt" ] || cmake -S . -B "$out/host" -G Ninja >/dev/null
  ninja -C "$out/host" -j "${JOBS:-2}" setupkit >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"${CXX_HOST:-g++}" -std=c++20 -O1 -Wall -Wextra -Werror -I"$root" -o "$work/seedgen" fuzz/seedgen.cpp \
  db/encode.cpp db/decode.cpp platform/host/regfile.cpp -lz

for t in aaf archive colorpal fon ini kit_picture kit_project lzss pcx regfile uninst vcr; do mkdir -p "$seeds/$t"; done
# setupkit talks about every file it writes; only its failures matter here.
quiet() { "$@" >/dev/null; }

# --- pictures: setupkit's readers, and the sources of the palettes and PCX pictures ---
mkdir -p "$work/pic"
"$work/seedgen" pictures "$work/pic"
# (Not ramp.rgb: every mutant of 768 bytes is a valid palette, whose colour table takes the
# converter tens of milliseconds, and the fuzzer would spend its time there.)
cp "$work"/pic/*.png "$work"/pic/*.bmp "$seeds/kit_picture/"

# --- colour files: one without and one with the stored tables (their two sizes) ---
quiet "$kit" palette "$work/pic/ramp.rgb" -o "$seeds/colorpal/untagged.pal"
quiet "$kit" palette "$work/pic/pal8.png" --tables -o "$seeds/colorpal/tagged.pal"

# --- PCX: true colour through a palette, transparent, indexed, odd width (a padded line), long runs ---
quiet "$kit" palette "$work/pic/ramp.rgb" -o "$work/ramp.pal"
quiet "$kit" pcx "$work/pic/rgb.png" -o "$seeds/pcx/rgb.pcx" --palette "$work/ramp.pal"
quiet "$kit" pcx "$work/pic/rgba.png" -o "$seeds/pcx/transparent.pcx" --palette "$work/ramp.pal" --transparent
quiet "$kit" pcx "$work/pic/index8.bmp" -o "$seeds/pcx/index8.pcx" --palette "$work/ramp.pal"
quiet "$kit" pcx "$work/pic/pal4.png" -o "$seeds/pcx/odd-width.pcx" --palette "$work/ramp.pal"
quiet "$kit" pcx "$work/pic/flat.png" -o "$seeds/pcx/runs.pcx" --palette "$work/ramp.pal"
cp "$seeds/pcx/odd-width.pcx" "$seeds/kit_picture/odd-width.pcx"

# --- fonts: small sizes keep the files at a few KB ---
quiet "$kit" font "$fonts/DejaVuSans.ttf" --size 4 -o "$seeds/fon/sans4.fon"
quiet "$kit" font "$fonts/DejaVuSansMono.ttf" --size 6 -o "$seeds/fon/mono6.fon"
quiet "$kit" font "$fonts/DejaVuSans.ttf" --size 4 --aaf -o "$seeds/aaf/sans4.aaf"
quiet "$kit" font "$fonts/DejaVuSansMono.ttf" --size 5 --aaf -o "$seeds/aaf/mono5.aaf"

# --- archives: a small product tree in each packing method, subdirectories, .TXT members ---
tree="$work/product"
mkdir -p "$tree/DATA/MAPS" "$tree/DOCS"
cat > "$tree/INSTALL.INI" <<'INI'
[Install]
Title=Demo Product
InstallTypes=Typical
[Typical]
FullName=Typical install
List=typical.lst
INI
printf 'd=DATA\nd=DATA\\MAPS\nf=DATA\\MAPS\\LEVEL1.MAP\nf=README.TXT\n' > "$tree/TYPICAL.LST"
echo "Short notes." > "$tree/DOCS/NOTES.TXT"
: > "$tree/DOCS/EMPTY.TXT"
"$work/seedgen" lzss "$work"  # packed bytes do not pack again: a member that stays stored
head -c 600 "$work/wrap.lz" > "$tree/DATA/MAPS/LEVEL1.MAP"
rm -f "$work"/*.lz
quiet "$kit" pack "$tree" -o "$seeds/archive/stored.dat" --method stored
# A read-me over 16 KiB (two LZSS blocks) that packs to a few hundred bytes.
for _ in $(seq 300); do echo "The quick brown fox jumps over the lazy dog, again and again."; done > "$tree/README.TXT"
quiet "$kit" pack "$tree" -o "$seeds/archive/product.dat"  # the smallest method per member
quiet "$kit" pack "$tree" -o "$seeds/archive/blocks.dat" --method blocks

# --- LZSS streams and registry files ---
"$work/seedgen" lzss "$seeds/lzss"
"$work/seedgen" regfile "$seeds/regfile"

# --- INI scripts: every key the installer reads, and the odd forms the parser accepts ---
cat > "$seeds/ini/install.ini" <<'INI'
; The installer script of a demo product.
[Startup]
Mouse=cursor.pcx
Font=1
[Install]
Background=install.pcx
TitleFont=2
Title=Demo Product
DefaultDirectory=\GAMES\DEMO
InstallTypes=Typical, Full,Minimal
[Typical]
FullName=Typical install
List=typical.lst
[Full]
FullName=Everything
List=full.lst
[Installing]
Background=copy.pcx
ProgressEmpty=empty.pcx
ProgressFull=full.pcx
[Registry Settings]
Title=Demo Product
Company=Demo Company
Executable=demo.exe
Version=1.2
[Shortcuts]
Folder=Demo Company
ProductTitle=Demo Product
ProductExe=demo.exe
Readme=Read me
ReadmeFile=readme.txt
[AllDone]
Message=Demo Product is installed.\nHave fun.
Background=done.pcx
[Strings]
DriveListEntry=%c: %ld MB free
ErrDeinstall=Some files could not be removed.
[End]
ConfigExe=setcfg.exe %destdir%
Run=demo.exe
INI
printf '%s\r\n' 'keys before any section=go to the last one' '   [ Spaced Section ]   trailing' \
  '  Key  =  value with blanks  ; and a comment' 'NoEquals' '=empty key' 'Empty=' 'a=1' 'A=2 (same key)' \
  'List=,one,,two , three,' 'Commas=,,,' '[Strings]' 'Title=line\none\n' '[]' 'x=in the unnamed section' \
  "Long=$(printf 'L%.0s' $(seq 300))" '[Install' 'Run=not a header' > "$seeds/ini/odd-forms.ini"

# --- setupkit project files: the sample's, and the odd forms the reader takes or refuses ---
cp "$root/samples/sample.project" "$seeds/kit_project/sample.project"
printf '%s\r\n' '# a comment' '[Define]' 'A=${B}' '[ Setup ]' 'Script = ${A}/install.ini' '[Setup]' \
  'Setup=${UNDEFINED}' 'Palette=${PRODUCT' '[Product]' 'Folder=${PRODUCT}/x' '*=Typical,, Full ,' 'no equals' \
  '=no key' '[]' '[Unclosed' 'Empty=' > "$seeds/kit_project/odd-forms.project"
printf 'Before=any section\n[Art]\nBACK.PCX=art/back.png, transparent' > "$seeds/kit_project/no-end.project"

# --- uninstall logs: the golden log of the tests, the fuzz target's own tree, odd lines ---
cp "$root/tests/data/uninst/basic.log" "$seeds/uninst/basic.log"
head -n 10 "$root/tests/data/uninst/basic.log" > "$work/head.log"
{
  cat "$work/head.log"
  printf '%s\n' 'MadeDir C:\GAME' 'MadeDir C:\GAME\DATA' 'Copied C:\GAME\DATA\a.bin' 'Copied C:\GAME\b.bin' \
    'AddedRegKey \\HKEY_LOCAL_MACHINE\SOFTWARE\Demo Company' '-- Log End--'
} > "$seeds/uninst/game.log"
{
  cat "$work/head.log"
  printf '%s\r\n' '  copied	c:\game\b.bin' 'MADEDIR c:\game\' 'Copied C:\GAME\missing.bin' 'Copied' 'MadeDir ' \
    'Unknown C:\GAME\DATA\a.bin' "Copied C:\\GAME\\$(printf 'x%.0s' $(seq 600))" 'MadeDir C:\GAME\DATA\..\DATA'
  printf 'Copied C:\\GAME\\DATA\\a.bin'  # no line end
} > "$seeds/uninst/odd-lines.log"
# Two runs into one folder: files moved aside, one not written, the run marker.
{
  cat "$work/head.log"
  printf '%s\n' 'MadeDir C:\GAME' 'MadeDir C:\GAME\uninst.bak' 'Replaced C:\GAME\b.bin > C:\GAME\uninst.bak\1.bak' \
    'Copied C:\GAME\b.bin' 'Copied C:\GAME\c.bin' 'Skipped C:\GAME\c.bin' '-- Run Begin --' \
    'Updated C:\GAME\b.bin > C:\GAME\uninst.bak\2.bak' 'Copied C:\GAME\b.bin' \
    'Replaced C:\GAME\DATA\a.bin > C:\WINDOWS\a.bak' 'Replaced C:\GAME\x.bin >' '-- Log End--'
} > "$seeds/uninst/runs.log"

# --- event files: the demo's recorded session, and one written by hand (vcr_text) with another
# layout, grey keys, both buttons, a drag, recorded times and a second start record ---
cp "$root/tests/data/vrkdemo/session.vcr" "$seeds/vcr/session.vcr"
[ -x "$out/host/tests/support/vcr_text" ] || ninja -C "$out/host" -j "${JOBS:-2}" vcr_text >/dev/null
cat > "$work/mixed.txt" <<'TXT'
start 0 0 20 12 2
key 5 1 0xE0
key 5 1 0x48
key 12 2 0xE0
key 12 2 0xC8
mouse 20 4 -3 7 1
mouse 40 6 5 -2 3
mouse 60 8 0 0 3
mouse 80 9 0 0 0
key 95 10 0x2A
key 100 11 0x1E
key 110 12 0x9E
key 120 13 0xAA
start 130 14 1 1 0
key 0 1 0x10
mouse 10 3 -40 30 2
mouse 20 4 0 0 0
TXT
"$out/host/tests/support/vcr_text" pack "$work/mixed.txt" "$seeds/vcr/mixed.vcr"

echo "seeds written to $seeds"
