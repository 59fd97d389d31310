#!/bin/sh
# More replayed installs of the shipped setup.exe under 32-bit Wine: each case of tests/data/setup
# named on the command line plays its recorded session in a fresh prefix (a copy of one booted
# once; a case whose files are on D: gets a drive D:), and the result is compared with what the
# host run of the case left: the exit status; the product's files byte for byte, and no product
# folder where the host has none; the uninstall log line by line (less its clock and the lines
# naming the Start menu, which is elsewhere on Wine); the product's registry keys there or not; and
# the dumps the case's file "wine-screens" lists (the others show this machine's free space).
# Cases that need a drive of a given size or one that fills up are the emulated machine's alone.
# A case written "NAME|WORDS" ("full|/S /TYPE=2 /D=C:\SAMPLEQ") runs setup.exe with those words
# instead of the session (an install without a screen) and must leave the machine of case NAME.
# Usage: setup_wine_cases.sh SETUP_EXE MEDIUM WINE_RUN CASE...   (in an X display)
set -u
setup="$1" medium="$2" winerun="$3"
shift 3
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/pristine"
"$winerun" cmd /c exit || { echo "Wine cannot run a program in a new prefix"; exit 1; }
wineserver -w
failed=0
for spec in "$@"; do
  name=${spec%%|*}
  words=""
  [ "$spec" != "$name" ] && words=${spec#*|}
  case="$root/tests/data/setup/$name"
  run="$work/$name"
  mkdir -p "$run/D"
  cp -a "$work/pristine" "$run/prefix"
  export WINEPREFIX="$run/prefix"
  ln -s "$run/D" "$WINEPREFIX/dosdevices/d:"
  # What is on the machine before setup starts (the user's files, a killed install's log).
  [ -d "$case/machine/C" ] && cp -r "$case/machine/C/." "$WINEPREFIX/drive_c/"
  [ -d "$case/machine/D" ] && cp -r "$case/machine/D/." "$run/D/"
  cp -r "$medium" "$run/medium"
  cp "$setup" "$run/medium/SETUP.EXE"
  [ -f "$case/truncate" ] && truncate -s "$(cat "$case/truncate")" "$run/medium/INSTALL.DAT"
  cd "$run/medium" || exit 1
  if [ -n "$words" ]; then
    # shellcheck disable=SC2086 # setup's own words
    timeout 300 "$winerun" "$run/medium/SETUP.EXE" $words 2> "$run/stderr"
    status=$?
  else
    VRK_VIDEO=win32 VRK_PLAY="$case/session.vcr" timeout 300 "$winerun" "$run/medium/SETUP.EXE"
    status=$?
  fi
  wineserver -w
  bad=""
  [ "$status" = "$(cat "$case/status" 2>/dev/null || echo 0)" ] || bad="$bad; exit status $status"
  # The product's files: everything the host run left outside its Windows directory.
  host() { case "$1" in C/*) echo "$WINEPREFIX/drive_c/${1#C/}" ;; D/*) echo "$run/D/${1#D/}" ;; esac; }
  sed '/^--- /,$d' "$case/files.txt" | grep -v '  C/WINDOWS/' > "$run/expected"
  while read -r size sum path; do
    f=$(host "$path")
    [ -f "$f" ] || { echo "$path is missing"; continue; }
    case "$path" in */uninst.log | */WELCOME.TXT) continue ;; esac  # the clock; the system's spelling of the size
    [ "$(wc -c < "$f" | tr -d ' ')" = "$size" ] && [ "$(cksum < "$f" | cut -d' ' -f1)" = "$sum" ] ||
      echo "$path differs from the host's"
  done < "$run/expected" > "$run/problems"
  for dir in C/SAMPLEQ D/SAMPLEQ; do
    grep -q "  $dir/" "$run/expected" || [ ! -e "$(host "$dir")" ] || echo "$dir exists, the host run left none"
  done >> "$run/problems"
  [ -s "$run/problems" ] && bad="$bad; $(tr '\n' ';' < "$run/problems")"
  log=$(grep -o '  [CD]/SAMPLEQ/uninst.log' "$run/expected" | tr -d ' ')
  if [ -n "$log" ] && [ -f "$(host "$log")" ]; then
    tr -d '\r' < "$(host "$log")" | grep -v -e '^Installed: ' -e 'Start Menu' -e '^Copied .*\\setup\.log$' > "$run/log"
    grep -v 'Start Menu' "$case/uninst.log" | cmp -s - "$run/log" || bad="$bad; the uninstall log differs"
  fi
  if grep -q 'Sample Games' "$case/registry.reg"; then
    grep -q 'Sample Games\\\\Sample Quest\\\\1.0' "$WINEPREFIX/system.reg" || bad="$bad; no product key"
  else
    grep -q 'Sample Games' "$WINEPREFIX/system.reg" && bad="$bad; a product key where the host has none"
  fi
  [ -n "$words" ] || for n in $(cat "$case/wine-screens" 2>/dev/null); do
    shot=$(ls scr*.bmp 2>/dev/null | sed -n "$((n + 1))p")
    [ -n "$shot" ] && cmp -s "$shot" "$case/screen$n.bmp" || bad="$bad; dump $n differs"
  done
  if [ -n "$bad" ]; then
    echo "case $spec under Wine:${bad#;}"
    failed=1
  else
    echo "case $spec under Wine: as on the host"
  fi
  cd "$work" || exit 1
  rm -rf "$run"
done
exit $failed
