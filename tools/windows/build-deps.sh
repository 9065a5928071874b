#!/bin/bash
# Builds what the Windows program needs, once: Qt 6 base (Core, Gui, Widgets,
# Test, the windows and offscreen platform plugins) from Debian's source
# package, GoogleTest from Debian's libgtest-dev and StormLib from the release
# in third_party/, cross-compiled with MinGW-w64 into a
# cache outside the repository. A later run finds each part's stamp and
# returns at once. Timings of each part go to $CACHE/timings.log.
#
#   tools/windows/build-deps.sh            # build what is missing
#   TW_WINDOWS_CACHE=/somewhere ...        # another cache folder
#   TW_WINDOWS_JOBS=2 TW_WINDOWS_NICE=19   # how hard the Qt build pushes
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
TW_ROOT=$(cd "$HERE/../.." && pwd)
CACHE=${TW_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tabwright-windows}
JOBS=${TW_WINDOWS_JOBS:-2}
NICE=${TW_WINDOWS_NICE:-19}
# The builds in the cache use the cache's own copy of the toolchain file, so
# that they outlive the clone that started them.
TOOLCHAIN=$CACHE/mingw-w64-x86_64.cmake
SRC=$CACHE/src
QT_PREFIX=$CACHE/qt6
STORM_PREFIX=$CACHE/stormlib
GTEST_PREFIX=$CACHE/googletest
mkdir -p "$SRC"
cmp -s "$HERE/mingw-w64-x86_64.cmake" "$TOOLCHAIN" || cp "$HERE/mingw-w64-x86_64.cmake" "$TOOLCHAIN"

log() { echo "[build-deps $(date -u +%H:%M:%S)] $*" >&2; }
timed() {  # timed NAME COMMAND...: runs it and appends its wall time
  local name=$1 start end; shift
  start=$(date +%s)
  "$@"
  end=$(date +%s)
  echo "$(date -u +%FT%TZ) $name $((end - start)) s" >> "$CACHE/timings.log"
  log "$name took $((end - start)) s"
}

# The Debian mirror this machine already installs its packages from: the
# first "deb" source that is not the security archive, in either format.
system_mirror() {
  local uri
  uri=$(awk '/^Types:/ {deb = ($0 ~ /[[:space:]]deb([[:space:]]|$)/)} deb && /^URIs:/ && !/security/ {print $2; exit}' \
        /etc/apt/sources.list.d/*.sources 2>/dev/null)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" && !/security/ {for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' \
                        /etc/apt/sources.list 2>/dev/null)
  echo "$uri"
}

# Debian's sources come from a deb-src line of our own file, on the mirror
# the system uses, so the system's sources stay as they are.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/tabwright-deb-src.sources mirror suite
  if [ ! -f "$list" ]; then
    mirror=$(system_mirror)
    [ -n "$mirror" ] || { log "no Debian mirror in apt's sources: cannot fetch Debian's sources"; exit 1; }
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    log "adding $list"
    cat > "$list" <<SRC
Types: deb-src
URIs: $mirror
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update -qq
  fi
}

fetch_source() {  # fetch_source PACKAGE: unpacks into $SRC, prints its folder
  local pkg=$1 dir
  dir=$(find "$SRC" -maxdepth 1 -type d -name "$pkg-*" | head -1)
  if [ -z "$dir" ]; then
    ensure_deb_src
    (cd "$SRC" && apt-get source -qq "$pkg" >&2)
    dir=$(find "$SRC" -maxdepth 1 -type d -name "$pkg-*" | head -1)
  fi
  echo "$dir"
}

# A build folder configured with another copy of the toolchain file (one in a
# clone that has gone since) is pointed at the cache's copy, and goes on from
# where it stopped.
relocate_build() {
  local dir=$1 old
  [ -f "$dir/CMakeCache.txt" ] || return 0
  old=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$dir/CMakeCache.txt")
  [ -n "$old" ] && [ "$old" != "$TOOLCHAIN" ] || return 0
  log "pointing $dir at $TOOLCHAIN (was $old)"
  grep -rlIF "$old" "$dir" | xargs -r sed -i "s|$old|$TOOLCHAIN|g"
}

build_qt() {
  [ -f "$QT_PREFIX/.done" ] && { log "Qt: cached in $QT_PREFIX"; return; }
  local src build
  src=$(fetch_source qt6-base)
  build=$CACHE/build-qt6
  relocate_build "$build"
  log "Qt: configuring $src"
  # Debian's own Qt tools (moc, rcc, uic) run on this machine; only the
  # libraries the program and its tests link are built for Windows.
  # DirectWrite goes with Direct2D: Gui builds its DirectWrite font database
  # only with Direct2D, and the windows plugin would not link without it, so
  # text is drawn through GDI.
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$QT_PREFIX" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF \
    -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_sessionmanager=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_opengl=ON \
    > "$CACHE/qt-configure.log" 2>&1 || { tail -40 "$CACHE/qt-configure.log"; exit 1; }
  log "Qt: building (nice $NICE, -j$JOBS); progress in $CACHE/qt-build.log"
  nice -n "$NICE" cmake --build "$build" -j "$JOBS" > "$CACHE/qt-build.log" 2>&1 \
    || { tail -40 "$CACHE/qt-build.log"; exit 1; }
  cmake --install "$build" > "$CACHE/qt-install.log" 2>&1
  touch "$QT_PREFIX/.done"
}

# StormLib's release comes with the project (third_party/), checked against
# its checksum before it is unpacked.
STORM_TARBALL=$TW_ROOT/third_party/stormlib-9.22.tar.gz
STORM_SHA256=32867732bf52698f04a38663550d71e3cc514d3130432f795704fd32b5932cc0
build_stormlib() {
  [ -f "$STORM_PREFIX/.done" ] && { log "StormLib: cached in $STORM_PREFIX"; return; }
  echo "$STORM_SHA256  $STORM_TARBALL" | sha256sum -c --quiet - \
    || { log "StormLib: $STORM_TARBALL does not match its checksum"; exit 1; }
  local src=$SRC/stormlib-9.22
  rm -rf "$src" && tar -xzf "$STORM_TARBALL" -C "$SRC"
  log "StormLib: building $src"
  relocate_build "$CACHE/build-stormlib"
  cmake -S "$src" -B "$CACHE/build-stormlib" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$STORM_PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -DSTORM_SKIP_INSTALL=OFF -DWITH_LIBTOMCRYPT=OFF -DSTORM_BUILD_TESTS=OFF \
    > "$CACHE/stormlib.log" 2>&1 || { tail -40 "$CACHE/stormlib.log"; exit 1; }
  # The library alone: this release's CMake file adds its test program
  # whatever it is told, and the test does not compile with MinGW; so the
  # library and its two headers are put in place by hand.
  nice -n "$NICE" cmake --build "$CACHE/build-stormlib" -j "$JOBS" --target storm >> "$CACHE/stormlib.log" 2>&1 \
    || { tail -40 "$CACHE/stormlib.log"; exit 1; }
  mkdir -p "$STORM_PREFIX/lib" "$STORM_PREFIX/include"
  cp "$CACHE/build-stormlib/libstorm.a" "$STORM_PREFIX/lib/"
  cp "$src/src/StormLib.h" "$src/src/StormPort.h" "$STORM_PREFIX/include/"
  touch "$STORM_PREFIX/.done"
}

# GoogleTest's source ships with Debian's libgtest-dev in /usr/src/googletest.
build_gtest() {
  [ -f "$GTEST_PREFIX/.done" ] && { log "GoogleTest: cached in $GTEST_PREFIX"; return; }
  log "GoogleTest: building /usr/src/googletest"
  relocate_build "$CACHE/build-googletest"
  cmake -S /usr/src/googletest -B "$CACHE/build-googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
    > "$CACHE/googletest.log" 2>&1 || { tail -40 "$CACHE/googletest.log"; exit 1; }
  nice -n "$NICE" cmake --build "$CACHE/build-googletest" -j "$JOBS" >> "$CACHE/googletest.log" 2>&1 \
    || { tail -40 "$CACHE/googletest.log"; exit 1; }
  cmake --install "$CACHE/build-googletest" >> "$CACHE/googletest.log" 2>&1
  touch "$GTEST_PREFIX/.done"
}

# With arguments, only those parts (qt, stormlib, googletest); Qt comes first
# because it takes longest.
parts=${*:-qt stormlib googletest}
for part in $parts; do
  case $part in
    qt) timed qt6-base build_qt ;;
    stormlib) timed stormlib build_stormlib ;;
    googletest) timed googletest build_gtest ;;
    *) echo "unknown part: $part" >&2; exit 2 ;;
  esac
done
log "ready: $CACHE"
