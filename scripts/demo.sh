#!/usr/bin/env bash
# Sets up, builds and runs slabrip on the bundled demo slab.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh slabrip demo
build/bin/slabrip --icc-dir build/examples/demo/ICC info build/examples/demo/40E42ACCBAD66E1E.RipSlab
