#!/usr/bin/env bash
# Sets up, builds and runs every test: the release tree (g++), once more with
# SLABRIP_NOSIMD=1 (the scalar reference kernels), the sanitizer tree (clang,
# AddressSanitizer + UndefinedBehaviorSanitizer), the threaded print under
# ThreadSanitizer and a timed run of every fuzz target. SLABRIP_FUZZ_SECONDS
# sets the fuzzing time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"
# Again with the scalar reference kernels in place of the SIMD ones: the same results.
SLABRIP_NOSIMD=1 ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DSLABRIP_WERROR=ON \
  -DSLABRIP_SANITIZE=ON -DSLABRIP_FUZZ=ON -DSLABRIP_BENCH=OFF >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j"$jobs"

# The threaded print pipeline under ThreadSanitizer: the driver's tests, which
# print on the default thread count, the demo printed on three threads and
# rendered on two.
cmake -S . -B build-tsan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DSLABRIP_WERROR=ON \
  -DSLABRIP_TSAN=ON -DSLABRIP_BENCH=OFF >/dev/null
cmake --build build-tsan --target driver_tests slabrip hpldrlgl demo
export TSAN_OPTIONS=halt_on_error=1
build-tsan/bin/driver_tests
demo=build-tsan/demo-print
rm -rf "$demo"
cp -r build-tsan/examples/demo "$demo"
for threads in 3 1; do
  build-tsan/bin/slabrip --media-settings "$demo/media.ini" print "$demo/40E42ACCBAD66E1E.RipSlab" \
    --test-output "$demo/threads-$threads.prn" --threads "$threads" >/dev/null
done
cmp "$demo/threads-3.prn" "$demo/threads-1.prn"
build-tsan/bin/slabrip render "$demo/40E42ACCBAD66E1E.RipSlab" --threads 2 --out "$demo/render.png" \
  --inks "$demo/inks.png" >/dev/null

scripts/fuzz.sh build-asan "${SLABRIP_FUZZ_SECONDS:-60}"
