#!/usr/bin/env bash
# Runs every fuzz target of a build tree for SECONDS each, from its seed corpus.
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
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    "$work" "fuzz/corpus/${name#fuzz_}" 2>"$build/$name.log" || {
    tail -n 60 "$build/$name.log"
    exit 1
  }
  grep -E '^stat::number_of_executed_units' "$build/$name.log" || true
done
