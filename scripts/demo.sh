#!/usr/bin/env bash
# Sets up, builds and runs slabrip on the bundled demo slab.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh slabrip demo
demo=build/examples/demo
out=build/demo-out
mkdir -p "$out"
build/bin/slabrip --icc-dir "$demo/ICC" info "$demo/40E42ACCBAD66E1E.RipSlab"
build/bin/slabrip --icc-dir "$demo/ICC" render "$demo/40E42ACCBAD66E1E.RipSlab" \
  --out "$out/slab.png" --spot-map "$out/spots.png" --inks "$out/inks.png"
echo "Rendered slab: $out/slab.png, spot map: $out/spots.png, ink proof: $out/inks.png"
