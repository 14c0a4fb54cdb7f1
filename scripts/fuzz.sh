#!/usr/bin/env bash
# Runs every fuzz target of a build tree for SECONDS each, from its seed corpora
# (fuzz/corpus/NAME in the source, fuzz-seeds/NAME built by code in the tree),
# as many at once as there are cores.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2

run_one() {
  local build=$1 seconds=$2 target=$3
  local name
  name=$(basename "$target")
  local work="$build/fuzz-corpus/$name"
  mkdir -p "$work"
  local seeds=()
  for dir in "fuzz/corpus/${name#fuzz_}" "$build/fuzz-seeds/${name#fuzz_}"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  if ! "$target" -max_total_time="$seconds" -max_len=262144 -print_final_stats=1 \
    "$work" "${seeds[@]}" 2>"$build/$name.log"; then
    echo "== $name FAILED"
    tail -n 60 "$build/$name.log"
    return 1
  fi
  echo "== $name: $(grep -E '^stat::number_of_executed_units' "$build/$name.log" | awk '{print $2}') runs in ${seconds}s"
}
export -f run_one

ls "$build"/bin/fuzz_* | xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ "$build" "$seconds" {}
