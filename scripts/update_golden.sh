#!/usr/bin/env bash
# Draws the demo documents again into tests/golden/, the pictures the golden
# tests compare with. Run it after a change that is meant to alter them, and
# look at every picture before committing it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh slabrip cmfwrite
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Keep in step with tests/render/golden_test.cpp.
for entry in sticker:40 hours:25 mural:12; do
  name=${entry%%:*}
  dpi=${entry##*:}
  build/bin/cmfwrite "$name" "$work/$name.cmf"
  build/bin/slabrip render-document "$work/$name.cmf" --dpi "$dpi" --out "tests/golden/$name.png"
done
