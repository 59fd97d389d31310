#!/bin/sh
# Replays a recorded session in a program on one display driver (VRK_PLAY) and compares its last
# screen dump (the window system's Alt-C dump, "scr%.5d.bmp", which the session must ask for
# before it ends the program) byte for byte with a golden BMP. Every driver must give the same
# file. REPLAY_ALSO names further files the program writes that must equal it too.
# UPDATE_GOLDEN=1 (headless run only) rewrites the golden picture from the current result.
# Usage: replay_check.sh DRIVER EVENTS GOLDEN PROGRAM [EMULATOR]
# Exits 77 (skipped) when the win32 driver has no display; sdl falls back to SDL's off-screen video.
set -u
driver="$1"
events="$2"
golden="$3"
exe="$4"
emulator="${5:-}"
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
cp "$events" "$work/session.vcr"
cd "$work" || exit 1
VRK_ROOT="$work/machine" VRK_VIDEO="$driver" VRK_PLAY=session.vcr timeout 240 $emulator "$exe" ||
  { echo "$(basename "$exe") failed on $driver"; exit 1; }
last=$(ls scr*.bmp 2>/dev/null | tail -1)
[ -n "$last" ] || { echo "no screen dump on $driver"; exit 1; }
if [ "${UPDATE_GOLDEN:-}" = 1 ] && [ "$driver" = headless ]; then
  cp "$last" "$golden"
  echo "golden picture rewritten from the headless driver"
fi
name=$(basename "$golden" .bmp)
for shot in "$last" ${REPLAY_ALSO:-}; do
  if ! cmp "$shot" "$golden"; then
    cp "$shot" "${TMPDIR:-/tmp}/$name-$driver-$(basename "$shot")"
    echo "$shot of the $driver driver differs; kept as ${TMPDIR:-/tmp}/$name-$driver-$(basename "$shot")"
    exit 1
  fi
done
echo "screen of the $driver driver matches"
