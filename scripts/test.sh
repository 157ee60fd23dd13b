#!/usr/bin/env bash
# Builds and runs every test: the normal build, a bounded fuzzing run of the
# page bridge, the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build's suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=2
export GSETTINGS_BACKEND=memory

echo "== normal build =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== fuzzing the page bridge (60 s) =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_FUZZ=ON \
  -DTARNEL_SANITIZE=ON -DTARNEL_BUILD_GTK=OFF -DTARNEL_BUILD_BENCHMARKS=OFF
cmake --build build-fuzz --target tarnel_web_message_fuzzer -j"$jobs"
corpus=$(mktemp -d)
cp tests/fuzz/corpus/* "$corpus"/
# Quiet but for findings and the final figures: no line per new input, no
# dictionary, none of the program's own refusals.
./build-fuzz/tests/tarnel_web_message_fuzzer -max_total_time=60 -max_len=70000 -len_control=0 -print_final_stats=1 \
  -verbosity=0 -print_funcs=0 "$corpus" \
  2> >(grep -v -E '^tarnel: (page message ignored|open_url refused)' |
       sed '/^###### Recommended dictionary/,/^###### End of recommended dictionary/d' >&2)
rm -rf "$corpus"

echo "== sanitizer build =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTARNEL_SANITIZE=ON -DTARNEL_BUILD_BENCHMARKS=OFF -DTARNEL_WERROR=ON
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Windows build under Wine =="
bash scripts/windows/test.sh
