#!/usr/bin/env bash
# Launching the built program on a large sheet in a real X server (Xvfb):
# from the start of the process to its window, titled with the file's name,
# drawn (bench/launch_probe.c says how that is seen), beside `wc -l` on the
# same file in the same run. Prints a Markdown section.
#
#   bench/launch.sh BUILD WORKDIR
#
# LAUNCH_LINES (default "1000000 10000000") and LAUNCH_ROUNDS (default 10)
# choose the sheets and the launches per figure.
#
# Per sheet, three sets of rounds; each round times `wc -l` on the file, a
# launch on a 2-line sheet and a launch on the large sheet:
# - cold: before each round the sheet is written afresh by the generator
#   (a new file, just written, in the page cache), as after saving or
#   unpacking it; the process and the memory it gets are new.
# - warm: the rounds follow each other at once on the same file.
# - from disk: the page cache is dropped before each of the three timings,
#   so every one of them reads from the disk (only when this user may drop
#   it; run as root).
set -euo pipefail

build=$(cd "$1" && pwd)
work=$2
lines_list=${LAUNCH_LINES:-1000000 10000000}
rounds=${LAUNCH_ROUNDS:-10}
program=$build/tabwright
probe=$build/bench/launch_probe
gen=$build/bench/sheet_bench

for tool in "$program" "$probe" "$gen"; do
  if [ ! -x "$tool" ]; then echo "($tool was not built.)"; exit 0; fi
done
if ! command -v Xvfb > /dev/null; then echo "(Xvfb is not installed.)"; exit 0; fi

mkdir -p "$work/cwd"
# The display number Xvfb picks is written to a file once it listens.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3> "$work/display" 2> "$work/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2> /dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM  # the real X server, not offscreen

can_drop=no
if [ -w /proc/sys/vm/drop_caches ] && sync && echo 3 > /proc/sys/vm/drop_caches 2> /dev/null; then can_drop=yes; fi
drop() { if [ "$1" = yes ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi; }

# key=value from the probe's line
field() { sed -n "s/.*\\b$1=\\([0-9.]*\\).*/\\1/p"; }

# Launches the program on a sheet and prints "drawn_ms peak_kb let_go_ms".
launch() {
  local out
  out=$(cd "$work/cwd" && "$probe" "$(basename "$1")" "$program" "$1" 2> "$work/launch.err") || {
    echo "launch failed: $(tail -n 3 "$work/launch.err")" >&2
    return 1
  }
  echo "$(field drawn_ms <<< "$out") $(field peak_kb <<< "$out") $(field let_go_ms <<< "$out")"
}
wc_ms() { "$probe" --run wc -l "$1" 2> /dev/null | field ms; }

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
worst() { sort -g | tail -n 1; }

small=$work/two-lines.txt
"$gen" gen-items "$small" 2

echo "Launch of \`tabwright FILE\` until its window, titled with the file's name, is first drawn into,"
echo "seen from outside through the X server's DAMAGE extension (the first drawing is the whole"
echo "window with the grid filled: checked on a picture of the window at that moment). Xvfb"
echo "$(dpkg-query -W -f='${Version}' xvfb 2> /dev/null), 1920 x 1080, no window manager. $rounds rounds of each kind. Start-up is the"
echo "median launch on a 2-line sheet in the same rounds; the load is a launch minus start-up."
echo "The ratios divide the load by the median \`wc -l\` of the same rounds. Let go: from the first"
echo "drawing until the process holds no descriptor or mapping of the file. Peak: VmHWM of the"
echo "process after that; above start-up: minus the 2-line sheet's. Page cache dropped: $can_drop."
echo
echo "| sheet | rounds | wc -l ms, median (worst) | start-up ms | launch ms, median (worst) | load / wc -l, median | load / wc -l, worst | let go ms after drawn, median (worst) | peak MB | peak / file | above start-up / file |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"

for lines in $lines_list; do
  big=$work/sheet-$lines.txt
  "$gen" gen-items "$big" "$lines"
  bytes=$(stat -c %s "$big")
  kinds="cold warm"
  [ "$can_drop" = yes ] && kinds="$kinds disk"
  for kind in $kinds; do
    : > "$work/wc" ; : > "$work/small" ; : > "$work/big"
    for _ in $(seq "$rounds"); do
      if [ "$kind" = cold ]; then rm -f "$big"; "$gen" gen-items "$big" "$lines"; sync; fi
      [ "$kind" = disk ] && drop yes
      wc_ms "$big" >> "$work/wc"
      [ "$kind" = disk ] && drop yes
      launch "$small" >> "$work/small"
      [ "$kind" = disk ] && drop yes
      launch "$big" >> "$work/big"
    done
    echo "$kind $lines: wc $(tr '\n' ' ' < "$work/wc")| small $(cut -d' ' -f1 "$work/small" | tr '\n' ' ')| big $(cut -d' ' -f1 "$work/big" | tr '\n' ' ')" >&2
    wc_med=$(median < "$work/wc")
    wc_worst=$(worst < "$work/wc")
    start=$(cut -d' ' -f1 "$work/small" | median)
    start_peak=$(cut -d' ' -f2 "$work/small" | median)
    med=$(cut -d' ' -f1 "$work/big" | median)
    bad=$(cut -d' ' -f1 "$work/big" | worst)
    peak=$(cut -d' ' -f2 "$work/big" | worst)
    let_go=$(awk '{ print $3 - $1 }' "$work/big" | median)
    let_go_worst=$(awk '{ print $3 - $1 }' "$work/big" | worst)
    name="$lines lines, $(awk -v b="$bytes" 'BEGIN { printf "%.0f MB", b / 1e6 }')"
    label=$kind
    [ "$kind" = disk ] && label="from disk"
    awk -v n="$name" -v k="$label" -v r="$rounds" -v wm="$wc_med" -v ww="$wc_worst" -v s="$start" -v m="$med" \
        -v w="$bad" -v p="$peak" -v sp="$start_peak" -v b="$bytes" -v g="$let_go" -v gw="$let_go_worst" 'BEGIN {
      printf "| %s | %s | %.1f (%.1f) | %.1f | %.1f (%.1f) | %.2f | %.2f | %.1f (%.1f) | %.0f | %.2f | %.2f |\n",
        n, k, wm, ww, s, m, w, (m - s) / wm, (w - s) / wm, g, gw, p * 1024 / 1e6, p * 1024 / b, (p - sp) * 1024 / b }'
  done
  rm -f "$big"
done
echo
echo "Each round's times, ms, are printed on the standard error of \`make bench\`."
