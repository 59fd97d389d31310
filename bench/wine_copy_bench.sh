#!/bin/sh
# The Windows setup.exe's copy against the system's own, under Wine, as information (timing is
# never a test): the sample product with MB (default 256) MB of game data made a medium, installed
# by `setup.exe /S /TYPE=2` (every file) into one prefix, against `xcopy /E` plus `copy` of the
# same files into the same drive, TURNS (default 3) times each, alternating which goes first;
# every turn's ratio (xcopy time / setup time, 1.0 = as fast) and the middle one are printed. Both
# times include starting one program under Wine. With TMPDIR on a file system in memory the disk
# drops out.
# Usage: wine_copy_bench.sh SETUPKIT WINDOWS_BUILD WINE_RUN [MB] [TURNS]
#   SETUPKIT       the host's setupkit (builds the medium)
#   WINDOWS_BUILD  the Windows build: setup/setup.exe, samples/welcome.exe, uninstaller/vluninst.exe
#   WINE_RUN       cmake/wine-run (SETUP_WINE_ARCH chooses the prefix's architecture)
set -eu
absolute() { (cd "$(dirname "$1")" && printf '%s/%s' "$(pwd)" "$(basename "$1")"); }
setupkit=$(absolute "$1") build=$(absolute "$2") winerun=$(absolute "$3") mb="${4:-256}" turns="${5:-3}"
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
python3 "$root/samples/make_product.py" --out "$work/product" --bulk-mb "$mb" > /dev/null
"$setupkit" build "$root/samples/sample.project" -o "$work/medium" -D PRODUCT="$work/product" \
  -D WELCOME="$build/samples/welcome.exe" -D UNINSTALLER="$build/uninstaller/vluninst.exe" \
  -D SETUP="$build/setup/setup.exe" > /dev/null
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$winerun" cmd /c exit
wineserver -p 2>/dev/null || true  # one server for every run: its start is no copy's
drive="$WINEPREFIX/drive_c"
medium=$(printf 'Z:%s' "$work/medium" | tr / '\\')
seconds() { date +%s.%N; }
timeSetup() {
  rm -rf "$drive/SAMPLEQ"
  sync
  a=$(seconds)
  (cd "$work/medium" && "$winerun" "$work/medium/SETUP.EXE" /S /TYPE=2 > /dev/null 2>&1) || { echo "setup.exe /S failed" >&2; exit 1; }
  b=$(seconds)
  [ "$(find "$drive/SAMPLEQ/DATA" -type f | wc -l)" = "$(find "$work/medium/DATA" -type f | wc -l)" ] ||
    { echo "setup.exe /S did not install every file" >&2; exit 1; }
  awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", b - a }'
}
timeXcopy() {
  rm -rf "$drive/XCOPY"
  sync
  a=$(seconds)
  "$winerun" cmd /c "xcopy $medium\\DATA C:\\XCOPY\\DATA /E /I /Q /Y > NUL && copy $medium\\GAME.EXE C:\\XCOPY > NUL && copy $medium\\README.TXT C:\\XCOPY > NUL" ||
    { echo "xcopy failed" >&2; exit 1; }
  b=$(seconds)
  awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", b - a }'
}
ratios=""
turn=0
while [ "$turn" -lt "$turns" ]; do
  if [ $((turn % 2)) = 0 ]; then s=$(timeSetup); x=$(timeXcopy); else x=$(timeXcopy); s=$(timeSetup); fi
  r=$(awk -v x="$x" -v s="$s" 'BEGIN { printf "%.3f", x / s }')
  echo "turn $turn: setup.exe $s s, xcopy $x s, ratio $r"
  ratios="$ratios $r"
  turn=$((turn + 1))
done
echo "$ratios" | tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print "ratio_median " v[int((NR + 1) / 2)] }'
