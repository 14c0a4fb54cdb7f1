#!/usr/bin/env bash
# Pictures the driver window on the demo slab into docs/screenshot.png
# (offscreen, no display needed). Builds slabrip-gui and the demo when needed.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot.png}"

[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja
ninja -C "$build" slabrip-gui hpldrlgl demo

demo="$build/examples/demo"
# A media settings file of its own, so the picture does not depend on the user's.
settings="$(mktemp -d)"
trap 'rm -rf "$settings"' EXIT
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$build/bin/slabrip-gui" \
  --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$settings/slabrip.ini" \
  --screenshot "$out" "$demo/40E42ACCBAD66E1E.RipSlab"
echo "Wrote $out"
