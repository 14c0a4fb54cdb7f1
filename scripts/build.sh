#!/usr/bin/env bash
# Configures and builds the release tree in build/ (targets may be named).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DSLABRIP_WERROR=ON >/dev/null
cmake --build build ${1:+--target "$@"}
