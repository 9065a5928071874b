# Shared by the end-to-end runs on Linux and under Wine: a scratch folder, a
# private X server, the few steps a user's hands take (through xdotool) and
# the sheet both runs edit.
# Sourced; the script then defines `visible`, which prints the ids of the
# program's visible windows, and starts the program with `prog` set to its pid.
t=$(mktemp -d) xvfb= prog=
trap '[ -n "$prog" ] && kill $prog 2>/dev/null; [ -n "$xvfb" ] && kill $xvfb; wait 2>/dev/null; rm -rf "$t"' EXIT
fail() { echo "FAIL: $*" >&2; echo "windows: $(titles)" >&2; tail -20 "$t/err" >&2 2>/dev/null; exit 1; }
# Runs a check until it holds (true) or POLL seconds (30 unless set) have passed.
poll() { local end=$((SECONDS + ${POLL:-30})); while ((SECONDS < end)); do "$@" && return; sleep 0.1; done; return 1; }

# A private X server on the first free display: -displayfd writes its number
# once it takes clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$t/display" 2>"$t/xvfb.log" &
xvfb=$!
poll test -s "$t/display" || { cat "$t/xvfb.log"; fail "Xvfb gives no display number"; }
export DISPLAY=:$(cat "$t/display")

titles() { local w; for w in $(visible); do printf '"%s" ' "$(xdotool getwindowname $w)"; done; }
# Prints the id of the program's visible window titled exactly $1 (not a pattern).
titled() {
  local w
  kill -0 "$prog" 2>/dev/null || fail "the program has ended"
  for w in $(visible); do
    [ "$(xdotool getwindowname $w 2>/dev/null)" = "$1" ] && echo $w && return
  done
  return 1
}
window() { poll titled "$1" >"$t/id" || fail "no window titled '$1'"; read -r win <"$t/id"; }
gone() { ! kill -0 "$prog" 2>/dev/null; }
key() { xdotool key --delay 80 "$@" || fail "xdotool key $*"; }

# A sheet whose cells name themselves, so that the bytes saved tell which cell
# the click reached, with bytes that are not UTF-8 (0x81 is undefined in
# Windows-1252) which must come back through the cell editor as they were.
sheet() { # sheet [row typed]: the sheet, with `typed` after the name cell of `row`
  local r
  printf 'name\tcode\tnote\r\n'
  for ((r = 1; r <= 30; r++)); do
    printf 'r%d \x81Fl\x92il%s\tc%d\tn%d\x85\r\n' $r "$([ $r = "${1:-}" ] && echo "$2")" $r $r
  done
}
