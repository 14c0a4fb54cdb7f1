#!/usr/bin/env bash
# Prints generated 1000 x 500 mm slabs of four kinds of artwork (300 dpi
# render, 600 dpi print) on 1 and 2 threads, and gives per case the print
# time, printer pixels per second, the speed-up and the peak memory.
# --banner adds the mural tiled over a 3.2 m x 20 m banner (long: minutes;
# BANNER_LENGTH_MM sets another length).
# Usage: bench/print_kinds.sh [BUILD_DIR] [--banner] (with slabrip, bannerslab
# and the demo built in BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
banner=0
for arg in "$@"; do
  case "$arg" in
  --banner) banner=1 ;;
  *) build=$arg ;;
  esac
done
bin="$build/bin"
profile=$(sed -n 's/^SLABRIP_CMYK_PROFILE:FILEPATH=//p' "$build/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The printer descriptions name the printer models: the demo's 1.6 m printer, and a 3.2 m one for the banner.
drivers="$work/Drivers"
mkdir "$drivers"
cp "$build/examples/demo/Drivers/HP Latex 570.qlPrinter" "$drivers/" ||
  { echo "build the demo target first" >&2; exit 1; }
printf '[Driver]\r\nName=HP Latex 3600\r\nVendor=HP\r\n[HPDJ]\r\nHPPrinterID=HP_Latex_3600\r\n' \
  >"$drivers/HP Latex 3600.qlPrinter"

# One print: "seconds pixels-per-second peak-MiB".
print_once() {
  local slab=$1 threads=$2 out
  out=$(/usr/bin/time -f "peak %M" "$bin/slabrip" --media-settings "$work/media.ini" --icc-dir "$(dirname "$slab")" \
    --drivers-dir "$drivers" print "$slab" \
    --test-output "$work/out.prn" --threads "$threads" 2>&1 >"$work/summary"; cat "$work/summary")
  rm -f "$work/out.prn"
  local seconds rate peak
  seconds=$(grep -o 'in [0-9.]* s' <<<"$out" | awk '{print $2}')
  rate=$(grep -o '([0-9.]* M printer pixels/s)' <<<"$out" | tr -d '(' | awk '{print $1}')
  peak=$(grep -o '^peak [0-9]*' <<<"$out" | awk '{printf "%.0f", $2 / 1024}')
  echo "$seconds $rate $peak"
}

cases=("poster 1000 500 300 600" "photo 1000 500 300 600" "shapes 1000 500 300 600"
  "illustration 1000 500 300 600")
[ "$banner" = 1 ] && cases+=("mural 3200 ${BANNER_LENGTH_MM:-20000} 300 600")
printer_for() { if [ "$1" -gt 1600 ]; then echo "HP Latex 3600"; else echo "HP Latex 570"; fi; }
printf '%-13s %-12s %9s %9s %8s %9s %9s %8s %8s\n' kind size "1t s" "1t Mpx/s" "1t MiB" "2t s" "2t Mpx/s" "2t MiB" speed-up
for c in "${cases[@]}"; do
  read -r kind width length render dpi <<<"$c"
  dir="$work/$kind"
  mkdir -p "$dir"
  slab=$("$bin/bannerslab" "$dir" --profile "$profile" --kind "$kind" --width-mm "$width" --length-mm "$length" \
    --render-dpi "$render" --dpi "$dpi" --printer "$(printer_for "$width")")
  read -r s1 r1 m1 <<<"$(print_once "$slab" 1)"
  read -r s2 r2 m2 <<<"$(print_once "$slab" 2)"
  printf '%-13s %-12s %9s %9s %8s %9s %9s %8s %8.2f\n' "$kind" "${width}x${length}" "$s1" "$r1" "$m1" "$s2" "$r2" \
    "$m2" "$(awk -v a="$s1" -v b="$s2" 'BEGIN { print a / b }')"
done
