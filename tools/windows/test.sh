#!/bin/bash
# make windows-test: the Windows build's tests as Windows programs under Wine
# (offscreen, through ctest with wine as the emulator), then tabwright.exe
# from the zip, end to end in Wine on a private X server.
set -uo pipefail
source "$(dirname "$0")/env.sh"
JOBS=${JOBS:-2}

# One Wine server for the whole run instead of one per test program.
wineserver -p 2>/dev/null
# Wine's background services start with the first program and keep its
# standard output open; started here, away from ctest's pipes, they do not
# hold up ctest's reading of each test's output (or its listing of cases).
wine cmd /c exit >/dev/null 2>&1 </dev/null
trap 'wineserver -k 2>/dev/null' EXIT
start=$(date +%s)
(cd "$TW_WINBUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS" --timeout 300) \
  | tee "$TW_WINBUILD/windows-tests.log"
units=${PIPESTATUS[0]}
echo "$(date -u +%FT%TZ) windows-tests $(($(date +%s) - start)) s" >>"$TW_CACHE/timings.log"

# The tests' Wine session has no display; the end-to-end run starts a session
# of its own on its X server.
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
"$TW_ROOT/tools/windows/end_to_end.sh" "$TW_ROOT/dist/Tabwright-windows-x64.zip"
e2e=$?
echo "windows-test: unit tests $([ $units = 0 ] && echo passed || echo FAILED), end to end $([ $e2e = 0 ] && echo passed || echo FAILED)"
[ $units = 0 ] && [ $e2e = 0 ]
