#!/bin/bash
# tabwright.exe from the zip, unpacked and run under Wine on a private X
# server (Xvfb), used as a user uses it (xdotool): a sheet named on the
# command line (unquoted, with a blank in its name) opens with its name as
# the caption; a click, typed text and Save give the expected bytes; the
# settings file appears in the working folder with "Directory"; a string
# table shows its title; Add File to Archive stores the sheet in a nameless
# archive made by StormLib and refuses a half-cut one, leaving it as it was.
# Only the zip's own DLLs are offered to the program.
# end_to_end.sh <zip>
set -u
zip=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/env.sh"
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
source "$TW_ROOT/tests/install/desktop.sh"
export POLL=60  # Wine starts slowly
# Wine sets no process id on its windows: every visible window is the program's.
visible() { xdotool search --onlyvisible --name '.' 2>/dev/null; }
win() { local p=${1//\//\\}; echo "Z:$p"; }  # this machine's path as Wine's programs see it

mkdir -p "$t/app" "$t/work" "$t/data"
(cd "$t/app" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
exe=$t/app/Tabwright/tabwright.exe
[ -f "$exe" ] || fail "no tabwright.exe in the zip"

# The program in a working folder of its own, the arguments as Windows
# programs get them: wine joins them with blanks into one command line.
start() { (cd "$t/work" && exec wine "$exe" "$@" >"$t/out" 2>"$t/err") & prog=$!; }
ends() { poll gone || fail "the program does not end"; wait $prog; prog=; }

sheet >"$t/data/my sheet.txt"
data=$(win "$t/data")
start "$data\\my" "sheet.txt" # unquoted: the tail is the whole name, blank and all
window "my sheet.txt" && w=$win
echo "opened: the caption is \"my sheet.txt\""
eval "$(xdotool getwindowgeometry --shell $w)"
edit() { xdotool mousemove --sync --window $w $((WIDTH / 2)) 46 click 1 && key End && xdotool type --delay 60 -- "$1"; }
xdotool mousemove --sync --window $w 90 150 click 1 || fail "click on the grid"
sleep 0.5
edit " edited" || fail "typing into the cell editor"
sleep 0.5
key alt+f s
window Tabwright # the "File saved" box
LC_ALL=C grep -an $' edited\t' "$t/data/my sheet.txt" >"$t/hit"
[ "$(wc -l <"$t/hit")" = 1 ] || fail "not one name cell ends in the typed text: $(cat -v "$t/data/my sheet.txt")"
row=$(($(cut -d: -f1 "$t/hit") - 1))
sheet $row " edited" >"$t/expected"
cmp "$t/expected" "$t/data/my sheet.txt" || fail "saved bytes (row $row edited): $(cat -v "$t/data/my sheet.txt")"
echo "saved: row $row's name cell ends in \" edited\", every other byte as it was"
key Return
poll eval '! titled Tabwright >/dev/null' || fail "the \"File saved\" box stays"

# Add File to Archive: the archive is chosen in the open dialog by typing its
# path; the sheet goes in as data\global\excel\my sheet.txt. The first
# archive has the shape of the game's patch archives (format 0, no list of
# names) and holds an older file of that name; the second is cut in half.
name='data\global\excel\my sheet.txt'
/usr/bin/python3 "$TW_ROOT/tests/install/mpq.py" nameless "$t/data/patch.mpq" "$name" || fail "StormLib makes no archive"
cp "$t/data/patch.mpq" "$t/empty.mpq"
head -c $(($(stat -c %s "$t/empty.mpq") / 2)) "$t/empty.mpq" >"$t/data/cut.mpq"
cp "$t/data/cut.mpq" "$t/cut.mpq"
# Wine's open dialog has no title: it is the program's other visible window.
chooser() { local x; for x in $(xdotool search --onlyvisible --classname tabwright.exe 2>/dev/null); do
  [ -z "$(xdotool getwindowname $x 2>/dev/null)" ] && echo $x && return; done; return 1; }
add_to_archive() {  # add_to_archive FILE-NAME: through the menu and the dialog, up to the program's box
  # The menu bar's fourth command has no mnemonic: Alt, then across to it.
  xdotool mousemove --sync --window $w 300 300 click 1 >/dev/null
  key alt && key Right Right Right Return
  poll chooser >"$t/id" || fail "no open dialog after Add File to Archive"
  read -r chooser <"$t/id"
  eval "$(xdotool getwindowgeometry --shell $chooser)"
  echo "archive dialog: ${WIDTH}x$HEIGHT, the file name typed into its name field"
  xdotool mousemove --sync --window $chooser $((WIDTH - 250)) $((HEIGHT - 43)) click 1 || fail "click on the name field"
  sleep 0.3
  xdotool type --delay 40 -- "$data\\$1" && key Return
  POLL=60 poll eval '[ "$(titles | grep -c Tabwright)" -gt 0 ]' || fail "no message after the archive was chosen"
  window Tabwright && box=$win
  sleep 0.5
}
dismiss() {  # the program's box, with the keyboard's focus given to it first (there is no window manager)
  xdotool windowfocus --sync "$box" 2>/dev/null
  key Return
  poll eval '! titled Tabwright >/dev/null' || fail "the archive's message box stays"
}
add_to_archive patch.mpq
if [ -f "$t/app/Tabwright/lmpqapi-worker.exe" ]; then
  /usr/bin/python3 "$TW_ROOT/tests/install/mpq.py" read "$t/data/patch.mpq" "$name" >"$t/stored" \
    || fail "the archive does not hold $name"
  cmp "$t/expected" "$t/stored" || fail "the archive holds other bytes than the saved sheet"
  echo "archive: $name, which the nameless archive held before, now holds the saved sheet"
else
  fail "no lmpqapi-worker.exe in the package"
fi
dismiss
quit() {
  # Without a window manager the focus stays where the box was: click first.
  xdotool mousemove --sync --window $w 300 300 click 1 >/dev/null
  key Escape
  ends
}
quit
# The archive is chosen once a run: the half-cut one in a second run.
start "$data\\my" "sheet.txt"
window "my sheet.txt" && w=$win
add_to_archive cut.mpq
cmp "$t/cut.mpq" "$t/data/cut.mpq" || fail "the half-cut archive changed"
echo "archive: the half-cut archive was refused and is byte for byte as it was"
dismiss
quit
# The settings file: section "", "Directory" the loaded sheet's folder, as typed.
# How the empty section is written is the profile writer's own business (Wine
# puts its keys first, with no header); the value stands as typed.
tr -d '\r' <"$t/work/Tabwright.ini" | grep -vx '\[\]' >"$t/ini"
printf 'Directory=%s\n' "$data" | cmp -s - "$t/ini" || fail "settings file: $(cat -A "$t/work/Tabwright.ini")"
echo "settings: $(win "$t/work")\\Tabwright.ini holds $(tr '\n' ' ' <"$t/ini")"

# A string table of four entries; the title carries the count and the CRC.
crc=$(bash "$TW_ROOT/tests/install/strings_tbl.sh" "$t/data/strings.tbl") || fail "cannot write the string table"
start "$data\\strings.tbl"
title="strings.tbl - 4 entries (CRC of 0x$crc)"
window "$title"
echo "string table: the caption is \"$title\""
key Escape
ends
echo "end to end under Wine: all checks passed"
