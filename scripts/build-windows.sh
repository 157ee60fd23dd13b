#!/usr/bin/env bash
# Cross-builds Tarnel for 64-bit Windows from Debian: installs what is
# missing, prepares the cross-built dependencies, builds build-windows
# (Release) and, once the Windows executable exists, packs it with a sample
# config.ini into out/windows/tarnel-windows-x64.zip.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-windows"
PREFIX="$BUILD/deps/prefix"
OUT="$ROOT/out/windows"
JOBS="${JOBS:-2}"

"$ROOT/scripts/windows/deps.sh" "$PREFIX"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DTARNEL_DEPS_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DTARNEL_BUILD_TESTS=OFF >/dev/null

# The tarnel target appears once the Windows platform exists; until then the
# available targets are built.
if cmake --build "$BUILD" --target help | grep -qE '^\.\.\. tarnel$'; then
  cmake --build "$BUILD" -j"$JOBS" --target tarnel
else
  cmake --build "$BUILD" -j"$JOBS"
fi

EXE="$BUILD/src/app/tarnel.exe"
if [ ! -f "$EXE" ]; then
  echo "build-windows.sh: no $EXE yet; nothing to package" >&2
  exit 0
fi

rm -rf "$OUT" && mkdir -p "$OUT"
x86_64-w64-mingw32-strip -o "$OUT/tarnel.exe" "$EXE"
cp "$ROOT/scripts/windows/config.ini" "$OUT/config.ini"
(cd "$OUT" && zip -q -9 tarnel-windows-x64.zip tarnel.exe config.ini)
echo "$OUT/tarnel-windows-x64.zip"
