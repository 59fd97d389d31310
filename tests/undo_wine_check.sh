#!/bin/sh
# What every undo promises, with the shipped setup.exe and vluninst.exe under Wine, in a fresh
# prefix: the user's own files in the destination survive a cancel in the first and in the large
# file and come back from an uninstall byte for byte; two installs into one folder (Full, then
# Typical) are taken off by one uninstall; a cancelled reinstall leaves the first install as it
# was. The installs are made without a screen (setup.exe /S) and the cancels by the replayed
# cases' sessions; each step compares every folder and file below C:\ (less Windows and the
# system's own folders) with what it must be. The registry keeps no product key after an uninstall.
# Usage: undo_wine_check.sh SETUP_EXE MEDIUM WINE_RUN   (in an X display; WINEPREFIX is made anew)
set -u
setup="$1" medium="$2" winerun="$3"
root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/data/setup"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix"
"$winerun" cmd /c exit || { echo "Wine cannot run a program in a new prefix"; exit 1; }
wineserver -w
c="$WINEPREFIX/drive_c"
cp -r "$medium" "$work/medium"
cp "$setup" "$work/medium/SETUP.EXE"
failed=0

# Every folder and file of the game's folder, with sizes and checksums.
state() {
  (cd "$c" && find SAMPLEQ 2>/dev/null | LC_ALL=C sort | while read -r f; do
    if [ -d "$f" ]; then echo "$f/"; else echo "$f $(cksum < "$f" | cut -d' ' -f1,2)"; fi
  done)
}
# Runs setup.exe with its words, or with the session of case $1 when no words follow.
run_setup() {
  (cd "$work/medium" && if [ $# -gt 1 ]; then
    shift
    timeout 300 "$winerun" "$work/medium/SETUP.EXE" "$@" 2>/dev/null
  else
    VRK_VIDEO=win32 VRK_PLAY="$data/$1/session.vcr" timeout 300 "$winerun" "$work/medium/SETUP.EXE"
  fi)
  wineserver -w
  rm -f "$c/SAMPLEQ/WELCOME.TXT" "$work/medium"/scr*.bmp  # the End program's, and the dumps
}
uninstall() {
  cp "$c/windows/vluninst.exe" "$work/vluninst.exe" 2>/dev/null  # the shared one goes at the next start
  timeout 300 "$winerun" "$work/vluninst.exe" /S '-fC:\SAMPLEQ\uninst.log' 2>/dev/null
  wineserver -w
}
expect() {  # expect WHAT STATE-FILE
  state > "$work/now"
  cmp -s "$work/now" "$2" || { echo "$1: the folder differs:"; diff "$2" "$work/now" | head -10; failed=1; }
}

# The user's own files, one of them read-only, where the game goes.
mkdir -p "$c/SAMPLEQ/DATA/MUSIC"
printf 'My own notes.\r\n' > "$c/SAMPLEQ/README.TXT"
printf 'a level I made' > "$c/SAMPLEQ/DATA/LEVEL1.MAP"
printf 'my tune' > "$c/SAMPLEQ/DATA/MUSIC/THEME.MID"
printf 'saved game' > "$c/SAMPLEQ/SAVE1.DAT"
chmod 444 "$c/SAMPLEQ/README.TXT"
state > "$work/users"
run_setup cancel_first_file
expect "a cancel in the first file over the user's files" "$work/users"
run_setup cancel_large_file
expect "a cancel in the large file over the user's files" "$work/users"
run_setup typical /S
uninstall
expect "an uninstall over the user's files" "$work/users"

# Two installs into one folder, one uninstall; a cancelled reinstall.
rm -rf "$c/SAMPLEQ"
state > "$work/empty"
run_setup full /S /TYPE=2
run_setup typical /S
uninstall
expect "Full, then Typical, then one uninstall" "$work/empty"
grep -q 'Sample Games\\\\Sample Quest' "$WINEPREFIX/system.reg" && { echo "a product key is left"; failed=1; }
run_setup full /S /TYPE=2
state > "$work/installed"
run_setup cancel_first_file
expect "a cancelled reinstall" "$work/installed"
uninstall
expect "the uninstall after a cancelled reinstall" "$work/empty"

[ $failed = 0 ] && echo "undo under Wine: every undo left the machine as it was"
exit $failed
