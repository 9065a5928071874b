#!/usr/bin/env bash
# `make bench`: runs every benchmark built in BUILD/bench, prints the figures
# and writes them to bench/RESULTS.md with the machine and the date. The
# hand-written part of RESULTS.md (from "## Profile findings" on) is kept.
# Generated sheets go to a temporary folder that is removed afterwards.
set -euo pipefail

build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
bin=$build/bench
results=$here/RESULTS.md

work=$(mktemp -d "${TMPDIR:-/tmp}/tabwright-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# Offscreen, the window is maximised on a full-HD screen, as on a desktop.
if [ "${QT_QPA_PLATFORM:-offscreen}" = offscreen ]; then
  cat > "$work/screen.json" <<'EOF'
{ "screens": [ { "name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
EOF
  export QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json"
fi

machine() {
  local cpu mem qt compiler
  cpu=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n1)
  mem=$(awk '/MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
  qt=$(pkg-config --modversion Qt6Core 2>/dev/null || echo "?")
  compiler=$(c++ --version 2>/dev/null | head -n1)
  echo "- Machine: ${cpu:-unknown CPU}, $(nproc) cores, $mem RAM, Linux $(uname -r)"
  echo "- Build: Release, $compiler, Qt $qt; offscreen platform"
  echo "- Temporary files on: $(df -T "$work" | awk 'NR == 2 { print $2 }')"
  echo "- Load average when the run started: $(cut -d' ' -f1-3 /proc/loadavg) (the machine is shared: timings are noisy)"
}

# A benchmark's output, or a note that it is not there or failed.
section() {
  local title=$1 program=$2
  shift 2
  echo "## $title"
  echo
  if [ ! -x "$bin/$program" ]; then
    echo "($program was not built.)"
  elif ! "$bin/$program" "$@" > "$work/$program.out" 2> >(tee "$work/$program.err" >&2); then
    echo "($program failed:"
    echo '```'
    tail -n 20 "$work/$program.err"
    echo '```'
    echo ")"
  else
    cat "$work/$program.out"
  fi
  echo
}

{
  echo "# Benchmark results"
  echo
  echo "Written by \`make bench\` (bench/run.sh) on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  machine
  echo
} > "$work/head.md"
cat "$work/head.md"

section "Large sheets (sheet_bench)" sheet_bench suite "$work" | tee "$work/sheet.md"
section "String table (strtable_bench)" strtable_bench | tee "$work/strtable.md"
mkdir -p "$work/save"
section "Saving (save_bench)" save_bench "$work/save" | tee "$work/save.md"
mkdir -p "$work/archive"
section "Adding to an archive (archive_bench)" archive_bench "$work/archive" | tee "$work/archive.md"
{
  echo "## Launching in a real window (launch.sh)"
  echo
  mkdir -p "$work/launch"
  "$here/launch.sh" "$build" "$work/launch"
  echo
} | tee "$work/launch.md"

{
  cat "$work/head.md" "$work/sheet.md" "$work/strtable.md" "$work/save.md" "$work/archive.md" "$work/launch.md"
  if [ -f "$results" ]; then sed -n '/^## Profile findings/,$p' "$results"; fi
} > "$work/RESULTS.md"
mv "$work/RESULTS.md" "$results"
echo "Written to $results"
