#!/bin/bash
# The installed program in a real X server (Xvfb, started here), used as a
# user uses it (xdotool): a sheet named on the command line, a cell clicked,
# the cell editor typed into, Save from the File menu, "File saved" dismissed,
# Add File to Archive into an archive made by StormLib (the archive library
# starts its worker where it was installed), Escape; then a string table, its
# entry count and CRC read from the title.
#   end_to_end.sh <cmake> <build> <bindir>   installs the build into a prefix of its own first
#   end_to_end.sh <program>                  the program installed already (the Debian package)
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
visible() { xdotool search --onlyvisible --pid "$prog" 2>/dev/null; }

if [ $# = 1 ]; then
  program=$1
else
  cmake=$1 build=$2 program=$t/prefix/$3/tabwright
  "$cmake" --install "$build" --prefix "$t/prefix" >"$t/log" 2>&1 || { cat "$t/log"; fail "cmake --install"; }
fi
mkdir -m 700 "$t/run" && mkdir "$t/work" "$t/data"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$t/run
unset WAYLAND_DISPLAY
# A session bus that is not there: with none named, libdbus tries to start
# one and leaks memory when it cannot.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$t/no-bus

# The program, in a working folder of its own (its settings file lands there).
# On a real X server the X keyboard library copies strings of X replies, which
# have no terminating zero, by their length: no strict string checks.
start() {
  (cd "$t/work" && ASAN_OPTIONS=${ASAN_OPTIONS:-}:strict_string_checks=0 exec "$program" "$1" 2>"$t/err") &
  prog=$!
}
# The program ends by itself within 30 s, with exit code 0, and the sanitizers said nothing.
ends_cleanly() {
  poll gone || fail "the program does not end"
  wait $prog || fail "the program exited with $?"
  prog=
  grep -E 'Sanitizer|runtime error' "$t/err" && fail "the sanitizers spoke"
}

sheet >"$t/data/sheet.txt"
start "$t/data/sheet.txt"
window sheet.txt && w=$win
eval "$(xdotool getwindowgeometry --shell $w)"
[ "$WIDTH" -ge 600 ] && [ "$HEIGHT" -ge 300 ] || fail "the window is only ${WIDTH}x$HEIGHT"
# Below the menu bar: the cell editor at y 10 to 38, the grid from y 50, its
# first field column right after the narrow label column.
edit() { xdotool mousemove --sync --window $w $((WIDTH / 2)) 46 click 1 && key End && xdotool type --delay 40 -- "$1"; }
xdotool mousemove --sync --window $w 90 150 click 1 || fail "click on the grid"
edit " edited" || fail "typing into the cell editor"
key Return alt+f s # Enter does nothing; then File > Save Text File.
window Tabwright
LC_ALL=C grep -an $' edited\t' "$t/data/sheet.txt" >"$t/hit"
[ "$(wc -l <"$t/hit")" = 1 ] || fail "not one name cell ends in the typed text: $(cat -v "$t/data/sheet.txt")"
row=$(($(cut -d: -f1 "$t/hit") - 1))
sheet $row " edited" >"$t/expected"
cmp "$t/expected" "$t/data/sheet.txt" || fail "saved bytes (row $row edited): $(cat -v "$t/data/sheet.txt")"
xdotool mousemove --sync --window $win 20 20 && key Return
poll eval '! titled Tabwright >/dev/null' || fail "the \"File saved\" box stays"

# Add File to Archive, three along the menu bar from File: the archive is
# chosen in the open dialog by typing its path (keys go to the window under
# the pointer); the saved sheet goes in as data\global\excel\sheet.txt.
python3 "$here/mpq.py" create "$t/data/patch.mpq" || fail "StormLib makes no archive"
# The window takes keys once clicked: the click goes to the grid.
xdotool mousemove --sync --window $w $((WIDTH / 2)) $((HEIGHT / 2)) click 1 && key alt+f Right Right Right Return
window Open
xdotool mousemove --sync --window $win 20 20 && xdotool type --delay 40 -- "$t/data/patch.mpq" && key Return
window Tabwright
python3 "$here/mpq.py" read "$t/data/patch.mpq" 'data\global\excel\sheet.txt' >"$t/stored" ||
  fail "the archive does not hold data\\global\\excel\\sheet.txt"
cmp "$t/expected" "$t/stored" || fail "the archive holds other bytes than the saved sheet"
xdotool mousemove --sync --window $win 20 20 && key Return
poll eval '! titled Tabwright >/dev/null' || fail "the \"File added to archive\" box stays"
eval "$(xdotool getwindowgeometry --shell $w)"
# More typing, then Escape: the program ends at once, the file keeps what was saved.
edit " unsaved" && key Escape
ends_cleanly
cmp "$t/expected" "$t/data/sheet.txt" || fail "Escape changed the file"
grep -qxF "Directory=$t/data" "$t/work/Tabwright.ini" || fail "no Directory=$t/data in $(cat "$t/work/Tabwright.ini")"

# A string table of four entries; the title carries the count and the CRC.
crc=$(bash "$(dirname "$0")/strings_tbl.sh" "$t/data/strings.tbl") || fail "cannot write the string table"
cp "$t/data/strings.tbl" "$t/table"
start "$t/data/strings.tbl"
window "strings.tbl - 4 entries (CRC of 0x$crc)" && w=$win
# Save does nothing to a string table: no "File saved" box stands in the way
# of Escape, and the file stays as it was.
xdotool mousemove --sync --window $w 300 200 && key alt+f s Escape
ends_cleanly
cmp "$t/table" "$t/data/strings.tbl" || fail "the string table changed"
grep -qxF "Directory=$t/data" "$t/work/Tabwright.ini" || fail "the remembered folder is not $t/data"
echo "end to end: all checks passed"
