#!/bin/sh
# Runs vrkdemo on one display driver with the scripted input of data/vrkdemo/input.txt and
# compares its screen dump byte for byte with data/vrkdemo/expected.bmp. Every driver must
# produce the same file: same size, palette and pixels. UPDATE_GOLDEN=1 (headless run only)
# rewrites the golden picture from the current result.
# Usage: vrkdemo_check.sh DATA_DIR DRIVER VRKDEMO [EMULATOR]
# Exits 77 (skipped) when the win32 driver has no display; sdl falls back to SDL's off-screen video.
set -u
data="$1"
driver="$2"
exe="$3"
emulator="${4:-}"
if [ "$driver" = sdl ] && [ -z "${DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-dummy}"  # SDL's off-screen video: no window needed
elif [ "$driver" = sdl ]; then
  # The system's display libraries (D-Bus, X) keep allocations to the end of the program; our own
  # code's leaks are checked by the headless run.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
elif [ "$driver" != headless ] && [ -z "${DISPLAY:-}" ]; then
  echo "no display for the $driver driver"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data/input.txt" "$work/input.txt"
cd "$work" || exit 1
VRK_VIDEO="$driver" VRKDEMO_SCRIPT=input.txt $emulator "$exe" || { echo "vrkdemo failed on $driver"; exit 1; }
if [ "${UPDATE_GOLDEN:-}" = 1 ] && [ "$driver" = headless ]; then
  cp shot.bmp "$data/expected.bmp"
  echo "golden picture rewritten from the headless driver"
fi
if ! cmp shot.bmp "$data/expected.bmp"; then
  cp shot.bmp "${TMPDIR:-/tmp}/vrkdemo-$driver.bmp"
  echo "screen of the $driver driver differs; kept as ${TMPDIR:-/tmp}/vrkdemo-$driver.bmp"
  exit 1
fi
# The Alt-C dump of the script is composed by the window system from its windows; it must show
# what the driver shows.
if ! cmp scr00000.bmp shot.bmp; then
  cp scr00000.bmp "${TMPDIR:-/tmp}/vrkdemo-$driver-altc.bmp"
  echo "the Alt-C dump of the $driver driver differs from its screen"
  exit 1
fi
echo "screen of the $driver driver matches"
