#!/usr/bin/env bash
# Builds the suites that start threads (ctest label `threads`, GTK left out)
# with ThreadSanitizer in build-tsan/ and runs them. Fails on any test failure
# and on any ThreadSanitizer report, also one from a child process.
# TARNEL_TSAN_JOBS sets the build's and ctest's parallelism (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C.UTF-8
exec </dev/null

jobs=${TARNEL_TSAN_JOBS:-2}
build=build-tsan

echo "== ThreadSanitizer build =="
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTARNEL_TSAN=ON -DTARNEL_BUILD_GTK=OFF \
  -DTARNEL_BUILD_BENCHMARKS=OFF -DTARNEL_WERROR=ON
cmake --build "$build" -j"$jobs"
echo "tsan: configure and build took ${SECONDS}s"

echo "== threaded suites under ThreadSanitizer =="
# Every report goes to a file of its own: a report in a process that still
# exits 0 (a child the test started) fails the run as well.
reports="$PWD/$build/tsan-reports"
rm -rf "$reports"
mkdir -p "$reports"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan-suppressions.txt:log_path=$reports/report"
status=0
started=$SECONDS
ctest --test-dir "$build" --output-on-failure --no-tests=error -L threads -j"$jobs" || status=$?

echo "tsan: the tests took $((SECONDS - started))s"
count=0
while IFS= read -r -d '' file; do
  echo "---- $file"
  cat "$file"
  count=$((count + 1))
done < <(find "$reports" -type f -print0 | sort -z)
if [ "$count" -gt 0 ]; then
  echo "tsan: $count process(es) wrote ThreadSanitizer reports" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit "$status"
