#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one on its own copy of its seed
# corpus (tests/fuzz/corpus/<target>/), the time budget split equally.
#   bash scripts/fuzz.sh [total seconds, default 60]
# Exits non-zero when any target finds a crash, a hang, a leak or a sanitizer
# report; the input that did it is kept in build-fuzz/fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
# Byte-wise text handling whatever the caller's locale (fuzzer output is not
# always valid UTF-8), and nothing ever waits on standard input.
export LC_ALL=C
exec </dev/null

total=${1:-60}
targets=(web_message config_ini info_answer file_name)
if ! [[ $total =~ ^[0-9]+$ ]] || ((total < ${#targets[@]})); then
  echo "usage: $0 [total seconds, at least ${#targets[@]}]" >&2
  exit 2
fi
each=$((total / ${#targets[@]}))

# Longest input each target gets: a page message and config.ini somewhat past
# their size limits (64 KiB), an info answer of a few tens of KB, a URL of a few KB.
declare -A max_len=([web_message]=70000 [config_ini]=70000 [info_answer]=40000 [file_name]=4096)
# The program's own expected refusal lines, dropped from the output.
declare -A refusals=([web_message]='^tarnel: (page message ignored|open_url refused)')

bash scripts/install-deps.sh
jobs=2
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_FUZZ=ON \
  -DTARNEL_SANITIZE=ON -DTARNEL_BUILD_GTK=OFF -DTARNEL_BUILD_BENCHMARKS=OFF
binaries=()
for name in "${targets[@]}"; do binaries+=("tarnel_${name}_fuzzer"); done
cmake --build build-fuzz -j"$jobs" --target "${binaries[@]}"

# Scratch space: corpus copies, logs and the config.ini target's temporary
# folder; in memory where /dev/shm is available, since that target syncs
# every file it writes.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  work=$(mktemp -d /dev/shm/tarnel-fuzz.XXXXXX)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT
findings=$PWD/build-fuzz/fuzz-findings
mkdir -p "$findings"

# Quiet but for findings and the final figures: no line per new input, no
# dictionary, none of the program's own refusals.
quiet() {
  local refused=${refusals[$1]:-}
  if [[ -n $refused ]]; then
    grep -a -v -E "$refused" || true
  else
    cat
  fi | sed '/^###### Recommended dictionary/,/^###### End of recommended dictionary/d'
}

failed=()
exec 3>&1
for name in "${targets[@]}"; do
  echo "== fuzzing $name ($each s) =="
  corpus=$work/corpus-$name
  mkdir "$corpus"
  cp -R "tests/fuzz/corpus/$name/." "$corpus/"
  log=$work/$name.log
  set +e
  TMPDIR=$work "./build-fuzz/tests/tarnel_${name}_fuzzer" -max_total_time="$each" -max_len="${max_len[$name]}" \
    -len_control=0 -timeout=10 -print_final_stats=1 -verbosity=0 -print_funcs=0 \
    -artifact_prefix="$findings/$name-" "$corpus" 2>&1 1>&3 | tee "$log" | quiet "$name" >&2
  status=${PIPESTATUS[0]}
  set -e
  # The coverage the run reached, read back from the corpus it grew (-runs=0
  # only replays it), and its longest input: length control is off, so
  # inputs far longer than the seeds show up early.
  if ((status == 0)); then
    set +e
    TMPDIR=$work "./build-fuzz/tests/tarnel_${name}_fuzzer" -runs=0 -max_len="${max_len[$name]}" \
      -artifact_prefix="$findings/$name-" "$corpus" >"$log.replay" 2>&1
    status=$?
    set -e
    if ((status != 0)); then quiet "$name" <"$log.replay" >&2; fi
    coverage=$(grep -a -o -E 'INITED cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log.replay" | sed 's/^INITED //') || true
    longest=$(find "$corpus" -type f -printf '%s\n' | sort -n | tail -n 1)
    echo "$name: ${coverage:-no coverage line}, longest input ${longest:-0} bytes"
    cat "$log.replay" >>"$log"
  fi
  # A report that did not end the run still counts.
  if ((status != 0)) || grep -a -q -E '^==[0-9]+==ERROR: |runtime error: |^SUMMARY: ' "$log"; then
    echo "fuzzing $name FAILED (exit $status); inputs kept in $findings/" >&2
    failed+=("$name")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
