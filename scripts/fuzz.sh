#!/usr/bin/env bash
# Runs every fuzz target of a build tree for SECONDS each, from its seed corpora
# (fuzz/corpus/NAME in the source, fuzz-seeds/NAME built by code in the tree).
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
for target in "$build"/bin/fuzz_*; do
  name=$(basename "$target")
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  echo "== $name: ${seconds}s"
  seeds=()
  for dir in "fuzz/corpus/${name#fuzz_}" "$build/fuzz-seeds/${name#fuzz_}"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  "$target" -max_total_time="$seconds" -max_len=262144 -print_final_stats=1 \
    "$work" "${seeds[@]}" 2>"$build/$name.log" || {
    tail -n 60 "$build/$name.log"
    exit 1
  }
  grep -E '^stat::number_of_executed_units' "$build/$name.log" || true
done
