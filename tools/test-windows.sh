#!/usr/bin/env bash
# Runs the end-to-end suites of a native build against the Windows executables under Wine.
#   tools/test-windows.sh NATIVE_BUILD WINDOWS_BUILD WINE JOBS TEST_REGEX
# Wine gets a prefix of its own inside WINDOWS_BUILD and one server that stays up for the whole
# run: a server that ends when it is idle for a moment and starts again, and the system processes
# it then starts, made a program launched meanwhile fail now and then without a word.
set -u
native=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
wine=$3
jobs=$4
tests=$5

export WINEPREFIX="$windows/wine-prefix"
export WINEDEBUG=-all
wineserver=$(command -v wineserver || command -v wineserver64 || true)

"$wine" cmd /c exit >/dev/null 2>&1 || true  # makes the prefix on the first run
if [ -n "$wineserver" ]; then
  "$wineserver" -w
  "$wineserver" -p
  trap '"$wineserver" -k 2>/dev/null' EXIT
  "$wine" cmd /c exit >/dev/null 2>&1 || true  # the system processes are up before the tests
fi

cd "$native" &&
  TOOLKIT_RUNNER="$wine" TOOLKIT_PROGRAM_DIR="$windows/bin" TOOLKIT_PROGRAM_SUFFIX=.exe \
    ctest -R "$tests" --output-on-failure -j "$jobs"
