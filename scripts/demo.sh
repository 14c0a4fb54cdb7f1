#!/usr/bin/env bash
# Sets up, builds and prints the bundled demo slab: the printer data goes to a
# .prn file (test output), prnview decodes it into one picture per ink and a
# proof, and a summary says how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh slabrip prnview hpldrlgl demo
out=build/demo-out
rm -rf "$out"
mkdir -p "$out"
# Printing writes the slab's status back: print a copy, keep the demo as built.
cp -r build/examples/demo "$out/slab"
demo="$out/slab"
# The slab's folder holds its ICC and Drivers folders, so no folder options are needed.
build/bin/slabrip --media-settings "$out/media.ini" print "$demo/40E42ACCBAD66E1E.RipSlab" --test-output "$out/demo.prn"
build/bin/prnview "$out/demo.prn" --out "$out/proof"
echo "Printer data: $out/demo.prn; proof: $out/proof/proof.png; planes: $out/proof/plane-*.png"
