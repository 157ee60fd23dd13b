#!/usr/bin/env bash
# Builds the Windows program: out/windows/tarnel.exe (Release, static, stripped)
# and out/windows/tarnel-windows-x64.zip holding it and a sample config.ini.
# Installs what is missing and cross-builds the dependencies once (kept under
# build-windows/deps). TARNEL_API_BASE, when set, is the build's service address.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prefix="$root/build-windows/deps/prefix"

bash scripts/windows/deps.sh "$prefix" </dev/null

api=()
if [ -n "${TARNEL_API_BASE:-}" ]; then api=(-DTARNEL_API_BASE="$TARNEL_API_BASE"); fi
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DTARNEL_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DTARNEL_BUILD_TESTS=OFF -DTARNEL_WERROR=ON \
  "${api[@]}" </dev/null >/dev/null
cmake --build build-windows --target tarnel -j2 </dev/null

out="$root/out/windows"
rm -rf "$out" && mkdir -p "$out/package"
x86_64-w64-mingw32-strip -o "$out/tarnel.exe" build-windows/src/app/tarnel.exe
cp "$out/tarnel.exe" scripts/windows/config.ini "$out/package/"
(cd "$out/package" && zip -q -X "$out/tarnel-windows-x64.zip" tarnel.exe config.ini)
rm -rf "$out/package"
echo "$out/tarnel.exe"
echo "$out/tarnel-windows-x64.zip"
