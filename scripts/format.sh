#!/usr/bin/env bash
# Lays out the C++ sources as .clang-format says; with --check, changes
# nothing and fails when a file is not laid out that way.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "format: ${#files[@]} files laid out as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
