#!/bin/sh
# Runs every fuzz target of a -DTW_FUZZ=ON build for the given seconds each.
# Corpora grow under <builddir>/fuzz/corpus and start from generated tables;
# a crash, a failed check or a slow input lands under <builddir>/fuzz/artifacts.
# Usage: fuzz/run.sh <builddir> <seconds>
set -u
build=${1:?usage: fuzz/run.sh <builddir> <seconds>}
seconds=${2:?usage: fuzz/run.sh <builddir> <seconds>}
out="$build/fuzz"

seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
"$out/make_fuzz_seeds" "$seeds" || exit 1

status=0
found=0
for target in "$out"/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  found=1
  name=$(basename "$target")
  corpus="$out/corpus/$name"
  artifacts="$out/artifacts/$name"
  log="$out/$name.log"
  mkdir -p "$corpus" "$artifacts"
  echo "== $name: $seconds s"
  # -timeout flags any input that takes more than 10 s as a finding.
  "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  units=$(ls "$corpus" | wc -l)
  if [ $rc -eq 0 ]; then
    echo "   ${runs:-?} executions, corpus $units inputs, no findings"
  else
    status=1
    echo "   FAILED (exit $rc) after ${runs:-?} executions; see $log and $artifacts"
    grep -m 5 -E 'ERROR|SUMMARY|deadly signal|Test unit written' "$log" | sed 's/^/   /'
  fi
done
[ $found -eq 1 ] || { echo "no fuzz targets in $out"; exit 1; }
exit $status
