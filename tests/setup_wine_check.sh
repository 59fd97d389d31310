#!/bin/sh
# The shipped setup.exe installs the sample medium under 32-bit Wine from the typical case's
# recorded session, in a fresh prefix: the installed files equal those of the host run
# (tests/data/setup/typical/files.txt), the copy and finish panels equal its dumps, the registry
# holds the product's keys, the shortcuts and the log are there; then vluninst.exe, driven by the
# typical case's uninstaller sessions, takes the install off again (Yes) and, run once more, finds
# nothing left, its screens equal to the host's dumps; its own copy goes at the next start of the
# machine.
# Usage: setup_wine_check.sh SETUP_EXE MEDIUM WINE_RUN   (in an X display; WINEPREFIX is made anew)
set -u
setup="$1" medium="$2" winerun="$3"
root=$(cd "$(dirname "$0")/.." && pwd)
case="$root/tests/data/setup/typical"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix"
cp -r "$medium" "$work/medium"
cp "$setup" "$work/medium/SETUP.EXE"
cd "$work/medium" || exit 1
VRK_VIDEO=win32 VRK_PLAY="$case/session.vcr" timeout 300 "$winerun" "$work/medium/SETUP.EXE" ||
  { echo "setup.exe ended with status $?"; exit 1; }
wineserver -w
c="$WINEPREFIX/drive_c"
failed=0
# The product's files, byte for byte as on the host (the log holds the clock, WELCOME.TXT the
# system's own spelling of the size).
grep '  C/SAMPLEQ/' "$case/files.txt" | grep -v -e 'uninst.log$' -e 'WELCOME.TXT$' | while read -r size sum path; do
  f="$c/${path#C/}"
  [ -f "$f" ] && [ "$(wc -c < "$f" | tr -d ' ')" = "$size" ] && [ "$(cksum < "$f" | cut -d' ' -f1)" = "$sum" ] ||
    { echo "not as on the host: $path"; exit 1; }
done || failed=1
[ -f "$c/SAMPLEQ/uninst.log" ] || { echo "no uninstall log"; failed=1; }
[ -f "$c/SAMPLEQ/WELCOME.TXT" ] || { echo "the End program did not run"; failed=1; }
[ -f "$c/windows/vluninst.exe" ] || { echo "no uninstaller in the Windows directory"; failed=1; }
grep -q 'Sample Games\\\\Sample Quest\\\\1.0' "$WINEPREFIX/system.reg" || { echo "no product key"; failed=1; }
find "$c" -name 'Sample Quest.lnk' | grep -q . || { echo "no shortcut"; failed=1; }
# The copy and finish panels as on the host (the install panel shows this machine's free space).
for n in 1 2; do
  shot=$(ls scr*.bmp 2>/dev/null | sed -n "$((n + 1))p")
  [ -n "$shot" ] && cmp -s "$shot" "$case/screen$n.bmp" || { echo "panel dump $n differs"; failed=1; }
done
# The uninstaller takes it all off again (its own running copy goes at the next start), then,
# run once more, finds the log gone: the question, bar and messages as the host's dumps. What the
# End program wrote is the user's: it goes first, or its folder rightly stays.
rm -f "$c/SAMPLEQ/WELCOME.TXT"
mkdir "$work/unshots"
cd "$work/unshots" || exit 1
# The second run is a copy of the program: Wine no longer opens the shared one once it is marked
# for removal at the next start.
cp "$c/windows/vluninst.exe" "$work/vluninst.exe"
statuses=""
for run in "uninstall $c/windows/vluninst.exe" "uninstall-again $work/vluninst.exe"; do
  VRK_VIDEO=win32 VRK_PLAY="$case/${run%% *}.vcr" timeout 300 "$winerun" "${run#* }" '-fC:\SAMPLEQ\uninst.log'
  statuses="$statuses${statuses:+ }$?"
  wineserver -w
done
[ "$statuses" = "$(cat "$case/uninstall-status")" ] || { echo "vluninst.exe ended with status $statuses"; failed=1; }
n=0
for golden in "$case"/uninstall[0-9].bmp; do
  shot=$(ls scr*.bmp 2>/dev/null | sed -n "$((n + 1))p")
  [ -n "$shot" ] && cmp -s "$shot" "$golden" || { echo "uninstaller dump $n differs"; failed=1; }
  n=$((n + 1))
done
[ "$(ls scr*.bmp 2>/dev/null | wc -l)" = $n ] || { echo "the uninstaller did not take $n dumps"; failed=1; }
[ -e "$c/SAMPLEQ/GAME.EXE" ] && { echo "the uninstall left the product"; failed=1; }
# The shared uninstaller, in use while it ran, goes when the machine next starts.
"$winerun" wineboot -r >/dev/null 2>&1
wineserver -w
[ -e "$c/windows/vluninst.exe" ] && { echo "the uninstaller's own copy outlived a restart"; failed=1; }
grep -q 'Sample Games\\\\Sample Quest' "$WINEPREFIX/system.reg" && { echo "the uninstall left the product's key"; failed=1; }
[ $failed = 0 ] && echo "setup.exe installed the sample medium under Wine as on the host, and vluninst.exe took it off"
exit $failed
