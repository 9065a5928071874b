# Shared by the Windows build and test scripts: where the cache, the cross
# build and the Wine prefix are. Sourced, not run.
TW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TW_CACHE=${TW_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tabwright-windows}
TW_WINBUILD=${TW_WINDOWS_BUILD:-$TW_ROOT/build-windows}
TW_QT=$TW_CACHE/qt6
TW_STORMLIB=$TW_CACHE/stormlib
TW_GTEST=$TW_CACHE/googletest
# The MinGW runtime the program and Qt were built against (posix threads).
TW_MINGW_GCC_DIR=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
TW_MINGW_RUNTIME_DLLS=(
  "$TW_MINGW_GCC_DIR/libstdc++-6.dll"
  "$TW_MINGW_GCC_DIR/libgcc_s_seh-1.dll"
  /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)

# Wine: a 64-bit prefix of our own in the cache, quiet, without the Mono and
# Gecko installers; Windows programs find Qt's and MinGW's DLLs through
# WINEPATH and Qt's plugins through QT_PLUGIN_PATH.
export WINEPREFIX=${WINEPREFIX:-$TW_CACHE/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine's drive Z: is the root of this machine's file system.
tw_windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
export WINEPATH="$(tw_windows_path "$TW_QT/bin");$(tw_windows_path "$TW_MINGW_GCC_DIR");$(tw_windows_path /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH=$(tw_windows_path "$TW_QT/plugins")
