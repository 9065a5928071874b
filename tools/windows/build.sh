#!/bin/bash
# make windows: cross-builds tabwright.exe, lmpqapi.dll and the tests for
# 64-bit Windows against the cached Qt (tools/windows/build-deps.sh builds it
# once), then packs dist/Tabwright-windows-x64.zip: the program, its library,
# Qt's DLLs, the platform and style plugins and the MinGW runtime, to run as
# unpacked. Timings go to the cache's timings.log.
set -euo pipefail
source "$(dirname "$0")/env.sh"
JOBS=${JOBS:-2}
start=$(date +%s)

"$TW_ROOT/tools/windows/build-deps.sh"

prefixes="$TW_QT;$TW_GTEST"
[ -f "$TW_STORMLIB/.done" ] && prefixes="$prefixes;$TW_STORMLIB"
# Tests run under Wine (ctest starts each through the emulator).
mkdir -p "$TW_WINBUILD"
cmake -S "$TW_ROOT" -B "$TW_WINBUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/tools/windows/mingw-w64-x86_64.cmake" \
  -DTW_WINDOWS_PREFIXES="$prefixes" \
  -DCMAKE_PREFIX_PATH="$prefixes" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  >"$TW_WINBUILD/configure.log" 2>&1 || { tail -40 "$TW_WINBUILD/configure.log"; exit 1; }
cmake --build "$TW_WINBUILD" -j "$JOBS"

# The package: what `cmake --install` puts in bin/, and beside it what
# Windows needs to run it: Qt's DLLs, plugins in the folders Qt looks in
# next to the program, and the C++ runtime.
stage=$TW_WINBUILD/package/Tabwright
rm -rf "$TW_WINBUILD/package"
cmake --install "$TW_WINBUILD" --prefix "$TW_WINBUILD/package/install" >/dev/null
mkdir -p "$stage/platforms" "$stage/styles"
cp "$TW_WINBUILD/package/install/bin/"*.exe "$TW_WINBUILD/package/install/bin/"*.dll "$stage/"
for qt in Core Gui Widgets; do cp "$TW_QT/bin/Qt6$qt.dll" "$stage/"; done
cp "$TW_QT/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$TW_QT/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "${TW_MINGW_RUNTIME_DLLS[@]}" "$stage/"
cp "$TW_ROOT/README.md" "$stage/README.md"
# The MinGW runtime comes with its debugging symbols (libstdc++ alone is
# 24 MB of them); the program needs none.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/*.exe "$stage"/*/*.dll
mkdir -p "$TW_ROOT/dist"
zip=$TW_ROOT/dist/Tabwright-windows-x64.zip
rm -f "$zip"
(cd "$TW_WINBUILD/package" && cmake -E tar cf "$zip" --format=zip Tabwright)
end=$(date +%s)
echo "$(date -u +%FT%TZ) make-windows $((end - start)) s" >>"$TW_CACHE/timings.log"
echo "make windows: $zip ($(stat -c %s "$zip") bytes) in $((end - start)) s"
