#!/bin/sh
# Installs from a medium with setup on the headless display, driven by a recorded session
# (VRK_PLAY), on a fresh emulated machine, and compares the result exactly with what the case
# expects: each screen dump the session asks for (Alt-C) with screen<N>.bmp; every file on the
# machine's drives (path, size and checksum), every folder, and each shortcut as lnkinfo reads it
# with files.txt; the registry with registry.reg; and the uninstall log with uninst.log (its
# "Installed:" line holds the clock and is left out). UPDATE_GOLDEN=1 rewrites the case's files
# from this run.
# With VLUNINST given, the uninstaller then undoes the install and what is left on the machine is
# compared with after-uninstall.txt (files, folders, and the registry's lines): silently (/S), or,
# when the case has uninstall.vcr, driven by that session on the headless display, then once more
# on the same log by uninstall-again.vcr when the case has it. Their dumps are compared with
# uninstall<N>.bmp, their exit statuses with the line in uninstall-status (default "0").
# A case's file "status" holds the exit status it expects (default 0); its folder "machine" holds
# what is on the machine before setup starts (the user's own files, a killed install's log),
# copied onto the fresh machine's root.
# With UNATTENDED set (setup's words, "/S /TYPE=2 /D=C:\SAMPLEQ"), setup runs with those words
# instead of the session, and its machine must be the case's: the same files, folders, shortcuts,
# registry and log, less the log of its messages (setup.log) and the log's line naming it; no
# dumps are taken.
# Usage: setup_check.sh SETUP MEDIUM CASE_DIR [VLUNINST]
set -u
setup="$1" medium="$2" case=$(cd "$3" && pwd) uninstaller="${4:-}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/machine"
mkdir -p "$root/C" "$root/D"
printf '[FreeSpace]\nC=900000000\nD=50000000\n' > "$root/machine.ini"
[ -f "$3/machine.ini" ] && cp "$3/machine.ini" "$root/machine.ini"  # a case's own drives
[ -d "$3/machine" ] && cp -r "$3/machine/." "$root/"                   # and what is on them first
cp -r "$medium" "$work/medium"
cp "$case/session.vcr" "$work/session.vcr"
# A case may damage the medium's archive: its first N bytes are kept (file "truncate").
[ -f "$case/truncate" ] && truncate -s "$(cat "$case/truncate")" "$work/medium/INSTALL.DAT"
cd "$work/medium" || exit 1
if [ -n "${UNATTENDED:-}" ]; then
  # shellcheck disable=SC2086 # the words are setup's own arguments
  VRK_ROOT="$root" timeout 120 "$setup" $UNATTENDED 2> "$work/stderr"
  status=$?
  # Its log of messages, and the line naming it, are what sets the machine apart.
  find "$root" -iname setup.log -delete
  find "$root" -iname 'uninst*.log' -exec sed -i '/^Copied .*\\setup\.log\r\?$/d' {} +
else
  VRK_ROOT="$root" VRK_VIDEO=headless VRK_PLAY="$work/session.vcr" timeout 120 "$setup"
  status=$?
fi
[ "$status" = "$(cat "$case/status" 2>/dev/null || echo 0)" ] || { echo "setup ended with status $status"; exit 1; }
mkdir "$work/shots"
mv scr*.bmp "$work/shots/" 2>/dev/null
# Everything on the drives, the medium's copy (drive Z:) aside.
listing() {
  (cd "$root" && find C D -type f | LC_ALL=C sort | while read -r f; do
    sum=$(cksum < "$f" | cut -d' ' -f1)
    size=$(wc -c < "$f" | tr -d ' ')
    case "$f" in */uninst.log) sum=- ;; */vluninst.exe) sum=- size=- ;; esac  # the clock; this build's program
    printf '%s %s\n' "$size" "$sum  $f"
  done)
}
# Every folder on the drives: an empty one left behind shows only here.
folders() {
  (cd "$root" && find C D -mindepth 1 -type d | LC_ALL=C sort)
}
# (The uninstall log holds the clock: its lines are compared below, less the "Installed:" line.
# The uninstaller is this build's own program.)
# Each shortcut as lnkinfo reads it back: what it starts, in which folder, under which name.
shortcuts() {
  (cd "$root" && find C D -iname '*.lnk' | LC_ALL=C sort | while read -r f; do
    echo "$f"
    lnkinfo "$f" | grep -E '^\s*(Local path|Description|Working directory|Command line arguments|Icon location)\s*:' |
      sed 's/^\s*//; s/\s*:\s*/: /'
  done)
}
{ listing; echo "--- folders"; folders; echo "--- shortcuts"; shortcuts; } > "$work/files.txt"
log=$(cd "$root" && find C D -iname uninst.log | head -1)
[ -n "$log" ] && grep -v '^Installed: ' "$root/$log" > "$work/uninst.log" || : > "$work/uninst.log"
cp "$root/registry.reg" "$work/registry.reg" 2>/dev/null || : > "$work/registry.reg"
if [ -n "$uninstaller" ] && [ -n "$log" ]; then
  winlog=$(printf '%s' "$log" | sed 's|^\(.\)/|\1:\\|; s|/|\\|g')
  # What the sample's End program wrote is the user's, not the install's: it goes first, or the
  # uninstaller rightly keeps its folder.
  find "$root" -name WELCOME.TXT -delete
  if [ -f "$case/uninstall.vcr" ]; then
    mkdir "$work/unshots"
    statuses=""
    for run in uninstall uninstall-again; do
      [ -f "$case/$run.vcr" ] || continue
      (cd "$work/unshots" && VRK_ROOT="$root" VRK_VIDEO=headless VRK_PLAY="$case/$run.vcr" timeout 120 \
        "$uninstaller" "-f$winlog")
      statuses="$statuses${statuses:+ }$?"
    done
    expected=$(cat "$case/uninstall-status" 2>/dev/null || echo 0)
    [ "$statuses" = "$expected" ] || { echo "the uninstaller ended with status $statuses, not $expected"; exit 1; }
  else
    VRK_ROOT="$root" VRK_VIDEO=headless timeout 120 "$uninstaller" /S "-f$winlog" || echo "the uninstaller ended with status $?"
  fi
  { listing; echo "--- folders"; folders; echo "--- registry"; cat "$root/registry.reg"; } | tr -d '\r' > "$work/after-uninstall.txt"
fi
if [ "${UPDATE_GOLDEN:-}" = 1 ] && [ -z "${UNATTENDED:-}" ]; then
  for kind in screen:shots uninstall:unshots; do
    rm -f "$case/${kind%:*}"*.bmp
    n=0
    for shot in "$work/${kind#*:}"/scr*.bmp; do
      [ -f "$shot" ] && cp "$shot" "$case/${kind%:*}$n.bmp" && n=$((n + 1))
    done
  done
  cp "$work/files.txt" "$work/uninst.log" "$work/registry.reg" "$case/"
  [ -f "$work/after-uninstall.txt" ] && cp "$work/after-uninstall.txt" "$case/"
  echo "case $(basename "$case") rewritten"
  exit 0
fi
failed=0
checks="files.txt uninst.log registry.reg"
[ -n "$uninstaller" ] && [ -n "$log" ] && checks="$checks after-uninstall.txt"
for f in $checks; do
  cmp -s "$work/$f" "$case/$f" || { echo "$f differs:"; diff "$case/$f" "$work/$f" | head -20; failed=1; }
done
# The dumps in folder $2 (under the work folder) against the case's $1<N>.bmp.
compare_dumps() {
  n=0
  for shot in "$work/$2"/scr*.bmp; do
    [ -f "$shot" ] || continue
    if ! cmp -s "$shot" "$case/$1$n.bmp"; then
      keep="${TMPDIR:-/tmp}/setup-$(basename "$case")-$1$n.bmp"
      cp "$shot" "$keep"
      echo "$1 dump $n differs (kept as $keep)"
      failed=1
    fi
    n=$((n + 1))
  done
  [ -f "$case/$1$n.bmp" ] && { echo "$n $1 dumps were taken, the case expects more"; failed=1; }
}
if [ -z "${UNATTENDED:-}" ]; then
  compare_dumps screen shots
  compare_dumps uninstall unshots
fi
[ $failed = 0 ] && echo "case $(basename "$case"): machine and screen as expected"
exit $failed
