#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tarnel need.
# Runs apt-get only when something is missing, so repeated calls are cheap.
# glib-networking gives GIO the proxy resolvers that follow the desktop's
# settings and the proxy environment variables (GIO alone always goes direct).
# llvm brings llvm-symbolizer, which names the functions in sanitizer and
# fuzzer reports; clang-format checks the layout of the sources.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ca-certificates
  libcurl4-openssl-dev nlohmann-json3-dev libcpp-httplib-dev libssl-dev
  libgtest-dev libgmock-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev glib-networking
  xvfb xauth x11-utils xdotool imagemagick openssl curl fonts-wqy-microhei openbox
  libxtst-dev dbus-daemon
  clang libclang-rt-14-dev llvm clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
