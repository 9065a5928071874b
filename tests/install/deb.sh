#!/bin/bash
# The Debian package on this machine, as its users meet it: apt installs it
# with what it needs; dpkg's triggers teach the desktop the string tables'
# type and that Tabwright opens it; /usr/bin/tabwright is driven end to end
# (end_to_end.sh, Add File to Archive included, so that the archive library
# starts its worker under /usr); apt removes it again, leaving none of its
# files. It installs into the system: run it as root, never from `make test`.
# deb.sh <package.deb>
set -u
[ $# = 1 ] || { echo "usage: deb.sh <package.deb>" >&2; exit 2; }
deb=$(realpath "$1") here=$(cd "$(dirname "$0")" && pwd)
id=io.github.tabwright.Tabwright type=application/x-diablo2-string-table
fail() { echo "FAIL: $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${Status}' tabwright 2>/dev/null | grep -q "ok installed"; }
[ "$(id -u)" = 0 ] || fail "the package is installed with apt: run as root"
installed && fail "tabwright is installed already; remove it first (apt-get remove tabwright)"
t=$(mktemp -d) ours=
# A run that fails half-way takes the package out again.
trap '[ -n "$ours" ] && installed && apt-get remove -y -qq tabwright >/dev/null 2>&1; rm -rf "$t"' EXIT

# What the package holds: everything under /usr, the files in their places,
# and dependencies read from all three binaries (StormLib only the worker links).
dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | grep -v '/$' | sort >"$t/files"
pkglib=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/tabwright
for f in /usr/bin/tabwright $pkglib/liblmpqapi.so $pkglib/lmpqapi-worker \
  /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml /usr/share/mime/packages/$id.xml \
  /usr/share/icons/hicolor/32x32/apps/$id.png /usr/share/icons/hicolor/scalable/apps/$id.svg \
  /usr/share/man/man1/tabwright.1.gz /usr/share/doc/tabwright/copyright /usr/share/doc/tabwright/changelog.gz; do
  grep -qxF "$f" "$t/files" || fail "the package has no $f: $(cat "$t/files")"
done
grep -v '^/usr/' "$t/files" && fail "the files above lie outside /usr"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6gui6 libqt6core6 libstorm9 libstdc++6 libc6; do
  [[ ", $depends" == *", $p (>= "* ]] || fail "Depends names no version of $p: $depends"
done
echo "package: $(wc -l <"$t/files") files under /usr; Depends: $depends"

ours=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$t/apt.log" 2>&1 || { cat "$t/apt.log"; fail "apt-get install"; }
installed || fail "apt-get install left tabwright not installed"
while read -r f; do [ -f "$f" ] || fail "installed, but $f is not there"; done <"$t/files"
echo "installed: $(dpkg -L tabwright | wc -l) paths"

# The desktop as a user sees it, with nothing of root's own settings: a
# double click on a .tbl opens Tabwright; a sheet (plain text) lists it among
# its applications, and the package names no default for plain text.
export HOME=$t/home XDG_CONFIG_HOME=$t/home/.config XDG_DATA_HOME=$t/home/.local/share
unset XDG_DATA_DIRS XDG_CONFIG_DIRS XDG_CURRENT_DESKTOP
mkdir -p "$HOME"
bash "$here/strings_tbl.sh" "$t/strings.tbl" >/dev/null || fail "cannot write a string table"
got=$(gio info -a standard::content-type "$t/strings.tbl" | sed -n 's/^ *standard::content-type: //p')
[ "$got" = $type ] || fail "a string table is $got to the desktop, not $type"
got=$(xdg-mime query default $type)
[ "$got" = $id.desktop ] || fail "xdg-mime query default $type: '$got', not $id.desktop"
grep -E "^text/plain=(.*;)?$id.desktop;" /usr/share/applications/mimeinfo.cache >/dev/null ||
  fail "Tabwright is not among the applications for text/plain: $(grep ^text/plain= /usr/share/applications/mimeinfo.cache)"
grep -E 'list$' "$t/files" && fail "the package names default applications"
echo "desktop: $type opens with $(xdg-mime query default $type); text/plain offers it"

bash "$here/end_to_end.sh" /usr/bin/tabwright || fail "the installed program, end to end"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tabwright >"$t/apt.log" 2>&1 || { cat "$t/apt.log"; fail "apt-get remove"; }
ours=
installed && fail "apt-get remove left tabwright installed"
while read -r f; do [ -e "$f" ] && fail "removed, but $f is still there"; done <"$t/files"
for d in $pkglib /usr/share/doc/tabwright; do [ -e "$d" ] && fail "removed, but $d is still there"; done
grep -rl "$type" /usr/share/mime/globs2 && fail "the MIME database still knows $type"
grep -l "$id" /usr/share/applications/mimeinfo.cache && fail "the desktop database still lists $id"
echo "removed: none of its files left, the desktop's databases without it"
echo "deb: all checks passed"
