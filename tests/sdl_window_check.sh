#!/bin/sh
# The sdl driver under a real X server (run inside xvfb-run, 640x480 screen; needs xdotool):
# vrkdemo is started RUNS times (20) and must open its window every time; then the pointer is
# moved to the demo's "Message" button by absolute motion (an XTest warp, as a tablet or a remote
# desktop moves it) and clicked with a press and release in one go. The click opens a modal
# message box, so the first Escape closes the box and the program lives on to write a screen dump
# (Alt-C); without the click that Escape would end the program.
#
#   sdl_window_check.sh VRKDEMO [RUNS]
set -u
demo=$(realpath "$1")
runs=${2:-20}
if [ -z "${DISPLAY:-}" ]; then
  echo "sdl_window_check: no X server (run it under xvfb-run)" >&2
  exit 1
fi
if ! command -v xdotool >/dev/null; then
  echo "sdl_window_check: xdotool is missing (scripts/bootstrap installs it)" >&2
  exit 1
fi
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VRK_VIDEO=sdl VRK_SCALE=1 VRK_ROOT="$work/machine" VRK_GUARD_NS="sdl_window_check_$$"
# The system's display libraries keep memory to the end (a sanitizer build would report it).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset SDL_VIDEODRIVER

# Waits up to 20 s for a visible window of the demo; prints its id.
find_window() {
  timeout 20 xdotool search --sync --onlyvisible --name '^vrkdemo \(sdl\)$' 2>/dev/null | head -n 1
}

# Waits up to 20 s for file $1 to appear.
wait_file() {
  i=0
  while [ ! -s "$1" ] && [ $i -lt 200 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  [ -s "$1" ]
}

# Waits up to 20 s for the demo to end; its status.
wait_end() {
  i=0
  while kill -0 "$pid" 2>/dev/null && [ $i -lt 200 ]; do
    sleep 0.1
    i=$((i + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    return 1
  fi
  wait "$pid" 2>/dev/null
  return 0
}

fail() {
  echo "sdl_window_check: $*" >&2
  exit 1
}

n=1
while [ $n -le "$runs" ]; do
  dir="$work/run$n"
  mkdir -p "$dir"
  (cd "$dir" && exec "$demo") >"$dir/out.txt" 2>&1 &
  pid=$!
  win=$(find_window)
  [ -n "$win" ] || fail "start $n: no window opened ($(cat "$dir/out.txt"))"
  eval "$(xdotool getwindowgeometry --shell "$win")"
  if [ $n -lt "$runs" ]; then
    xdotool mousemove --sync $((X + 320)) $((Y + 20)) 2>/dev/null || xdotool mousemove --sync 320 20
    xdotool key Escape
    wait_end || fail "start $n: the demo did not end on Escape"
    pid=
    n=$((n + 1))
    continue
  fi
  # The last start: absolute motion and a click on "Message" (the window at (396, 310), the
  # button at (16, 64) in it).
  xdotool mousemove --sync $((X + 396 + 30)) $((Y + 310 + 64 + 6))
  xdotool click 1
  xdotool key alt+c
  wait_file "$dir/scr00000.bmp" || fail "the demo wrote no screen dump"
  xdotool key Escape
  xdotool key alt+c
  wait_file "$dir/scr00001.bmp" || fail "the click did not open the message box: Escape ended the demo"
  xdotool key Escape
  wait_end || fail "the demo did not end on Escape"
  pid=
  n=$((n + 1))
done
echo "sdl_window_check: $runs starts, each with a window; absolute motion and a click worked"
