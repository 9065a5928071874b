#!/bin/bash
# `cmake --install` into a prefix of our own, as the README tells users: what
# lands where, whether the installed program finds its archive library, and
# whether the desktop's validators, the string tables' file type and the
# Windows version record agree.
# install.sh <cmake> <build> <source> <version> <bindir> <pkglibdir> <datadir> <render-icon>
set -u
cmake=$1 build=$2 source=$3 version=$4 bindir=$5 pkglibdir=$6 datadir=$7 render_icon=$8
id=io.github.tabwright.Tabwright
t=$(mktemp -d) && trap 'rm -rf "$t"' EXIT
p=$t/prefix failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
has() { sed "s/^[[:space:]]*//" "$1" | grep -qxF -- "$2" || fail "$1 has no line: $2"; }

"$cmake" --install "$build" --prefix "$p" >"$t/log" 2>&1 || { cat "$t/log"; fail "cmake --install"; exit 1; }
installed=$(sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$t/log")
[ "$(grep -c . <<<"$installed")" -ge 6 ] || fail "fewer than 6 files installed: $installed"
grep -v "^$p/" <<<"$installed" && fail "the files above lie outside the prefix"

program=$p/$bindir/tabwright library=$p/$pkglibdir/liblmpqapi.so
desktop=$p/$datadir/applications/$id.desktop metainfo=$p/$datadir/metainfo/$id.metainfo.xml
png=$p/$datadir/icons/hicolor/32x32/apps/$id.png svg=$p/$datadir/icons/hicolor/scalable/apps/$id.svg
mime=$p/$datadir/mime/packages/$id.xml manpage=$p/$datadir/man/man1/tabwright.1.gz
doc=$p/$datadir/doc/tabwright
for f in "$program" "$library" "$desktop" "$metainfo" "$png" "$svg" "$mime" "$manpage" "$doc/copyright" "$doc/changelog.gz"; do
  [ -f "$f" ] || fail "missing $f"
done
[ -x "$program" ] || fail "$program is not executable"
# The library starts its worker from its own folder.
[ -x "$p/$pkglibdir/lmpqapi-worker" ] || fail "no lmpqapi-worker beside $library"

# The program loads the library by its bare name from inside the toolkit; only
# a DT_RPATH (not a DT_RUNPATH) of the program reaches there.
rpath=$(readelf -d "$program" | sed -n 's/.*(RPATH) *Library rpath: \[\(.*\)\]/\1/p')
[ -n "$rpath" ] || fail "no RPATH in the installed program: $(readelf -d "$program" | grep -i path)"
found=
for d in ${rpath//:/ }; do
  case $d in "$build"* | "$source"*) fail "the installed program looks into the build: $d" ;; esac
  d=${d//\$ORIGIN/$(dirname "$program")}
  [ -z "$found" ] && [ -f "$d/liblmpqapi.so" ] && found=$(realpath "$d/liblmpqapi.so")
done
[ "$found" = "$(realpath "$library")" ] || fail "the RPATH $rpath does not reach $library (found: $found)"
exports=$(nm -D --defined-only "$library")
for entry in LmpqInitialize LmpqOpenArchive LmpqAddFile LmpqCloseArchive; do
  grep -qw "$entry" <<<"$exports" || fail "$library does not export $entry"
done

# The desktop's own validators.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
grep -qiE 'error|warning' <<<"$out" && fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
out=$(appstreamcli validate-tree --no-net "$p" 2>&1) || fail "appstreamcli validate-tree: $out"

# The string tables' type, as the desktop's MIME database builds it from the
# definition and a file manager then sees files: "*.tbl" with its case, as the
# program tells a table from a sheet, and nothing else; the type the desktop
# entry names. Sheets are plain text, offered, not taken over: the install
# sets no default application.
type=application/x-diablo2-string-table
update-mime-database "$p/$datadir/mime" >"$t/mime.log" 2>&1 || fail "update-mime-database: $(cat "$t/mime.log")"
[ "$(grep -v '^#' "$p/$datadir/mime/globs2" | cut -d: -f2,3 | sort -u)" = "$type:*.tbl" ] ||
  fail "the MIME database holds other globs than *.tbl: $(cat "$p/$datadir/mime/globs2")"
bash "$source/tests/install/strings_tbl.sh" "$t/strings.tbl" >/dev/null && cp "$t/strings.tbl" "$t/STRINGS.TBL"
printf 'name\tcode\r\nAxe\taxe\r\n' >"$t/sheet.txt"
typeof() { XDG_DATA_DIRS=$p/$datadir:/usr/share gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
[ "$(typeof "$t/strings.tbl")" = $type ] || fail "strings.tbl is $(typeof "$t/strings.tbl"), not $type"
[ "$(typeof "$t/STRINGS.TBL")" != $type ] || fail "STRINGS.TBL, which the program reads as a sheet, is a $type"
[ "$(typeof "$t/sheet.txt")" = text/plain ] || fail "a sheet is $(typeof "$t/sheet.txt"), not text/plain"
has "$desktop" "MimeType=$type;text/tab-separated-values;text/plain;"
grep -rlE 'Default Applications|=.*Tabwright' "$p/$datadir/applications" --include='*.list' && fail "the install sets a default application"
has "$metainfo" "<mediatype>$type</mediatype>"
gzip -t "$manpage" "$doc/changelog.gz" || fail "a compressed page does not unpack"
[ "$(zcat "$doc/changelog.gz" | head -1)" = "tabwright ($version) unstable; urgency=medium" ] ||
  fail "the changelog does not begin with version $version: $(zcat "$doc/changelog.gz" | head -1)"

# One id, one name, one description, one version everywhere.
for line in "Name=Tabwright" "Comment=Tabsheet editor & TBL Viewer" "Exec=tabwright %f" "Icon=$id" "Type=Application"; do
  has "$desktop" "$line"
done
for line in "<id>$id</id>" "<name>Tabwright</name>" "<summary>Tabsheet editor &amp; TBL Viewer</summary>" \
  "<launchable type=\"desktop-id\">$id.desktop</launchable>" "<icon type=\"stock\">$id</icon>" "<binary>tabwright</binary>"; do
  has "$metainfo" "$line"
done
[ "$(grep -c '<release ' "$metainfo")" = 1 ] && grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "the metainfo does not hold one release of version $version"
rc=$build/src/res/tabwright.rc four=${version//./,},0
for line in "IDR_MAINFRAME ICON \"tabwright.ico\"" "FILEVERSION $four" "PRODUCTVERSION $four" \
  "VALUE \"Comments\", \"Tabsheet editor & TBL Viewer\\0\"" \
  "VALUE \"ProductName\", \"Tabwright\\0\"" \
  "VALUE \"ProductVersion\", \"${four//,/, }\\0\""; do
  has "$rc" "$line"
done

# The icons: the PNG is 32 x 32 (IHDR width and height at bytes 16 to 23), the
# Windows icon is what the program draws today, the SVG is square and standalone.
[ "$(od -An -tx1 -N24 "$png" | tr -d ' \n')" = 89504e470d0a1a0a0000000d494844520000002000000020 ] ||
  fail "$png is not a 32 x 32 PNG"
XDG_RUNTIME_DIR=$t ASAN_OPTIONS=detect_leaks=0 "$render_icon" 32 "$t/icon.ico" && cmp "$t/icon.ico" "$source/src/res/tabwright.ico" ||
  fail "src/res/tabwright.ico is out of date: render-icon 32 src/res/tabwright.ico"
grep -q '<svg[^>]*xmlns="http://www.w3.org/2000/svg"' "$svg" || fail "$svg is no SVG"
grep -qE 'viewBox="0 0 ([0-9.]+) \1"' "$svg" || fail "$svg is not square"
grep -q 'href' "$svg" && fail "$svg refers to other files"

[ "$failures" = 0 ] && echo "install: all checks passed"
exit $((failures > 0))
