#!/usr/bin/env bash
# One ink plane error-diffused to four levels by ImageMagick's Floyd-Steinberg,
# on the plane size bench_separation uses (37,800 pixels wide), for comparison
# with BM_DitherOneChannel. Needs ImageMagick (Debian package imagemagick).
# Usage: bench/imagemagick_compare.sh [ROWS]
set -euo pipefail
rows=${1:-400}
im=$(command -v convert-im6.q16 || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Debian's default policy refuses images over 16,000 pixels wide; this run's own policy allows the plane.
cat >"$work/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="memory" value="4GiB"/>
</policymap>
XML
export MAGICK_CONFIGURE_PATH="$work"

"$im" -size 37800x"$rows" gradient:white-black -attenuate 0.3 +noise Uniform -depth 16 "$work/plane.pgm"
# Reading and writing alone, so the dithering time can be told apart.
start=$(date +%s.%N); "$im" "$work/plane.pgm" -depth 8 "$work/copy.pgm"; copy=$(echo "$(date +%s.%N) - $start" | bc)
start=$(date +%s.%N); "$im" "$work/plane.pgm" -dither FloydSteinberg -posterize 4 -depth 8 "$work/out.pgm"
total=$(echo "$(date +%s.%N) - $start" | bc)
pixels=$((37800 * rows))
echo "ImageMagick $("$im" -version | head -1 | cut -d' ' -f3): Floyd-Steinberg to 4 levels"
echo "  whole command ${total}s, of which reading and writing ${copy}s"
echo "  dithering: $(echo "$pixels / ($total - $copy) / 1000000" | bc -l | cut -c1-6) M pixels/s"
