#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each, from its seeds (fuzz/seeds/<target>/,
# the name without "_fuzz") and a working corpus beside the build, prints the coverage each one
# reached ("cov", libFuzzer's count of covered edges) and fails when a target crashes, has no floor
# or ends below its floor in fuzz/floors.txt, naming it.
#
#   fuzz/run.sh BUILD_DIR [SECONDS]     (scripts/test: out/fuzz, FUZZ_SECONDS or 30)
#
# The floors hold for runs of 30 seconds and more; a shorter run is reported without the check.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS]}" && pwd)
seconds=${2:-30}
floors="$root/fuzz/floors.txt"

floor_of() { awk -v t="$1" '$1 == t && $2 ~ /^[0-9]+$/ { print $2; exit }' "$floors"; }

failed=()
summary=()
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  target=${name%_fuzz}
  corpus="$build/corpus-$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$target"
  log="$build/$name.log"
  echo "--- $name"
  # -close_fd_mask=2: the targets' own messages (setupkit explains each refusal) are dropped;
  # libFuzzer and the sanitizers still report on a copy of stderr. Every path is absolute: some
  # targets change the current directory (uninst_fuzz works in a medium of its own, which it
  # removes at exit), so a relative seed folder or crash file would be lost.
  nice "$f" -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=2 -artifact_prefix="$build/$name-" "$corpus" \
    $([ -d "$seeds" ] && echo "$seeds") >"$log" 2>&1
  rc=$?
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^Done ' "$log"
  # The last status line ("#runs DONE cov: N ft: ...") holds the final coverage.
  cov=$(grep -oE '^#[0-9]+[[:space:]].*cov: [0-9]+' "$log" | tail -1 | grep -oE '[0-9]+$')
  floor=$(floor_of "$target")
  if [ "$rc" -ne 0 ]; then
    tail -40 "$log"
    failed+=("$target (exit status $rc, see $log)")
  elif [ -z "$cov" ]; then
    failed+=("$target (no coverage reported, see $log)")
  elif [ -z "$floor" ]; then
    failed+=("$target (no floor in fuzz/floors.txt)")
  elif [ "$seconds" -ge 30 ] && [ "$cov" -lt "$floor" ]; then
    failed+=("$target (cov: $cov below its floor $floor)")
  fi
  summary+=("$(printf '%-12s cov: %-5s floor: %s' "$target" "${cov:-?}" "${floor:-none}")")
done

echo
echo "fuzz coverage after ${seconds}s each$([ "$seconds" -lt 30 ] && echo ' (floors not checked: they hold for 30 s)'):"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FUZZ FAILED:"
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
