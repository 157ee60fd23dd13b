#!/usr/bin/env bash
# Builds and runs every test: the normal build, a bounded fuzzing run of the
# page bridge and the parsers, the whole suite again under AddressSanitizer
# and UndefinedBehaviorSanitizer, the threaded suites under ThreadSanitizer,
# then the Windows build's suites and tarnel.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=2
export GSETTINGS_BACKEND=memory

echo "== source layout =="
bash scripts/format.sh --check

echo "== normal build =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== fuzzing (60 s over the page bridge, config.ini, the info answer and file names) =="
bash scripts/fuzz.sh 60

echo "== sanitizer build =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARNEL_SANITIZE=ON -DTARNEL_BUILD_BENCHMARKS=OFF -DTARNEL_WERROR=ON
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== ThreadSanitizer on the threaded suites =="
bash scripts/tsan.sh

echo "== Windows build under Wine =="
bash scripts/windows/test.sh
