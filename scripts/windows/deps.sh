#!/usr/bin/env bash
# Prepares the Windows cross build: installs the mingw-w64 toolchain, Wine and
# helpers when missing, then cross-builds static libcurl (Schannel, HTTP/HTTPS
# only) and GoogleTest into a cached prefix and stages the header-only
# libraries there. Each step is skipped when its stamp exists, so a second run
# does nothing and prints nothing.
#
# Usage: scripts/windows/deps.sh [prefix]   (default: build-windows/deps/prefix)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PREFIX="${1:-$ROOT/build-windows/deps/prefix}"
mkdir -p "$PREFIX"
PREFIX="$(cd "$PREFIX" && pwd)"
WORK="$(dirname "$PREFIX")/work"
HOST=x86_64-w64-mingw32
JOBS="${JOBS:-2}"

PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-tools wine wine64 dpkg-dev zip cmake make googletest nlohmann-json3-dev
          libcpp-httplib-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

CC=$HOST-gcc-posix
CXX=$HOST-g++-posix

# Sources from Debian's own source packages. apt-get source needs a deb-src
# entry: a private apt configuration in the work folder provides it without
# touching the machine's sources.
APT_DIR="$WORK/apt"
apt_opts=(-o "Dir::Etc::SourceList=$APT_DIR/sources.list" -o "Dir::Etc::SourceParts=$APT_DIR/parts"
          -o "Dir::State::Lists=$APT_DIR/lists" -o "Dir::Cache=$APT_DIR/cache"
          -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
prepare_private_apt() {
  [ -f "$APT_DIR/.ready" ] && return 0
  rm -rf "$APT_DIR" && mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/parts" "$APT_DIR/cache/archives/partial"
  src_list="$APT_DIR/sources.list"
  : > "$src_list"
  # One-line deb-src entries from the system's deb822 and one-line sources.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() { if (uris != "" && types ~ /deb/) for (i = 1; i <= ns; i++) print "deb-src " signed uris " " s[i] " " comps; uris=""; types=""; comps=""; signed=""; ns=0 }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { types=$0 }
      /^URIs:/ { uris=$2 }
      /^Suites:/ { ns=split(substr($0, 8), tmp, " "); for (i = 1; i <= ns; i++) s[i]=tmp[i] }
      /^Components:/ { comps=substr($0, 12) }
      /^Signed-By:/ { signed="[signed-by=" $2 "] " }
      END { flush() }' "$f" >> "$src_list"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >> "$src_list"
  fi
  apt-get "${apt_opts[@]}" update -qq >/dev/null
  touch "$APT_DIR/.ready"
}
# Unpacks source package $1 into folder $2.
fetch_source() {
  prepare_private_apt
  rm -rf "$2" && mkdir -p "$2"
  (cd "$2" && apt-get "${apt_opts[@]}" source -qq "$1" >/dev/null 2>&1)
}

# libcurl, static, with Schannel (the Windows TLS stack and certificate store).
if [ ! -f "$PREFIX/.curl-stamp" ]; then
  rm -rf "$WORK/curl" && mkdir -p "$WORK/curl"
  fetch_source curl "$WORK/curl/src"
  srcdir="$(find "$WORK/curl/src" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -n1)"
  mkdir -p "$WORK/curl/build"
  cmake -S "$srcdir" -B "$WORK/curl/build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DTARNEL_DEPS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF \
    -DCURL_USE_LIBPSL=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
    -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DENABLE_UNIX_SOCKETS=OFF -DCURL_DISABLE_LDAP=ON \
    -DHTTP_ONLY=ON -DCURL_DISABLE_ALTSVC=OFF -DENABLE_MANUAL=OFF \
    -DCMAKE_C_FLAGS="-D_WIN32_WINNT=0x0A00" >"$WORK/curl/configure.log" 2>&1 \
    || { cat "$WORK/curl/configure.log" >&2; exit 1; }
  cmake --build "$WORK/curl/build" -j"$JOBS" >"$WORK/curl/build.log" 2>&1 \
    || { tail -n 50 "$WORK/curl/build.log" >&2; exit 1; }
  cmake --install "$WORK/curl/build" >/dev/null
  touch "$PREFIX/.curl-stamp"
fi

# GoogleTest and GoogleMock from the sources Debian ships.
if [ ! -f "$PREFIX/.gtest-stamp" ]; then
  rm -rf "$WORK/gtest" && mkdir -p "$WORK/gtest"
  cmake -S /usr/src/googletest -B "$WORK/gtest" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DTARNEL_DEPS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >"$WORK/gtest-configure.log" 2>&1 \
    || { cat "$WORK/gtest-configure.log" >&2; exit 1; }
  cmake --build "$WORK/gtest" -j"$JOBS" >"$WORK/gtest-build.log" 2>&1 \
    || { tail -n 50 "$WORK/gtest-build.log" >&2; exit 1; }
  cmake --install "$WORK/gtest" >/dev/null
  touch "$PREFIX/.gtest-stamp"
fi

# Header-only libraries: copies of just their headers, since /usr/include
# itself holds glibc headers that must never reach a mingw compile.
if [ ! -f "$PREFIX/.headers-stamp" ]; then
  mkdir -p "$PREFIX/include"
  rm -rf "$PREFIX/include/nlohmann"
  cp -r /usr/include/nlohmann "$PREFIX/include/nlohmann"
  # nlohmann's CMake package files, so find_package(nlohmann_json) works.
  mkdir -p "$PREFIX/share/cmake"
  rm -rf "$PREFIX/share/cmake/nlohmann_json"
  cp -r /usr/share/cmake/nlohmann_json "$PREFIX/share/cmake/nlohmann_json"
  sed -i "s|/usr/include|$PREFIX/include|g" "$PREFIX"/share/cmake/nlohmann_json/*.cmake
  touch "$PREFIX/.headers-stamp"
fi

# cpp-httplib for the test servers. Debian's installed header holds only
# declarations (the code is in its shared library); the source package's
# httplib.h is the whole single-header library.
if [ ! -f "$PREFIX/.httplib-stamp" ]; then
  fetch_source cpp-httplib "$WORK/httplib"
  header="$(find "$WORK/httplib" -maxdepth 2 -name httplib.h | head -n1)"
  [ -n "$header" ] || { echo "deps.sh: no httplib.h in the cpp-httplib sources" >&2; exit 1; }
  mkdir -p "$PREFIX/include"
  cp "$header" "$PREFIX/include/httplib.h"
  touch "$PREFIX/.httplib-stamp"
fi
