#!/usr/bin/env bash
# Cross-builds Tarnel's Windows test executables into build-windows-test and
# runs them under Wine through ctest. A persistent wineserver with a private
# prefix serves every test, so each one pays no Wine start-up; it is stopped
# again on any exit. Needs neither standard input nor a display.
#
# Usage: scripts/windows/test.sh [extra ctest arguments]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="$ROOT/build-windows-test"
PREFIX="$ROOT/build-windows/deps/prefix"
JOBS="${JOBS:-2}"

"$ROOT/scripts/windows/deps.sh" "$PREFIX" </dev/null

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DTARNEL_DEPS_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_WERROR=ON </dev/null >/dev/null
cmake --build "$BUILD" -j"$JOBS" </dev/null

export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko install prompts
export DISPLAY=
export WAYLAND_DISPLAY=
mkdir -p "$WINEPREFIX"

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i </dev/null >/dev/null 2>&1 || true
fi
# Windows made by the tests need no X server: Wine's null display driver,
# set before any Wine program of the test session has looked for a display.
timeout 120 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 || true
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p
# The first program of a session starts Wine's own services, which live on
# with the standard output they inherited: started here on /dev/null, they
# never hold a test's output pipe open (ctest would wait for them for ever).
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true

ctest --test-dir "$BUILD" --output-on-failure --no-tests=error "$@" </dev/null

# The real tarnel.exe under Wine against the stand-in service, as a user
# without the WebView2 runtime meets it.
bash "$ROOT/scripts/windows/e2e.sh" </dev/null
