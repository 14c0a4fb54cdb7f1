#!/usr/bin/env bash
# Sets up, builds and runs every test: the release tree (g++), the sanitizer
# tree (clang, AddressSanitizer + UndefinedBehaviorSanitizer) and a timed run
# of every fuzz target. SLABRIP_FUZZ_SECONDS sets the fuzzing time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DSLABRIP_WERROR=ON \
  -DSLABRIP_SANITIZE=ON -DSLABRIP_FUZZ=ON -DSLABRIP_BENCH=OFF >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j"$jobs"

scripts/fuzz.sh build-asan "${SLABRIP_FUZZ_SECONDS:-60}"
