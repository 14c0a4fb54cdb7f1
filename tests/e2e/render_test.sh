#!/usr/bin/env bash
# slabrip render on the demo slab: the rendered slab, its spot map and ink proof.
set -euo pipefail
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

slab="$demo/40E42ACCBAD66E1E.RipSlab"
render() { # THREADS PREFIX
  "$slabrip" --icc-dir "$icc" render "$slab" --threads "$1" --out "$work/$2slab.png" --spot-map "$work/$2spots.png" \
    --inks "$work/$2inks.png" --preview "$work/$2preview.jpg" >"$work/log" || fail "render failed: $(cat "$work/log")"
}
render 3 ""
# One thread draws and writes in turn; the files are the same byte for byte.
render 1 one-
for f in slab.png spots.png inks.png preview.jpg; do cmp "$work/$f" "$work/one-$f" || fail "$f differs on one thread"; done
for f in slab spots inks; do
  [ "$(png_size "$work/$f.png")" = "6301 x 3544" ] || fail "$f.png is $(png_size "$work/$f.png")"
done
# The preview is a JPEG at most 1000 pixels long: 6301 / 7 = 901 wide.
[ "$(od -An -tx1 -N3 "$work/preview.jpg" | tr -d ' ')" = "ffd8ff" ] || fail "preview is not a JPEG"
# The spot map holds the sticker's spot inks and the marks: not one flat colour.
[ "$(stat -c %s "$work/spots.png")" -gt 2000 ] || fail "spot map is empty"

# Without the profile nothing is written and the profile is named.
if err=$("$slabrip" --icc-dir "$work" render "$slab" --out "$work/none.png" 2>&1); then fail "rendered without profile"; fi
grep -q "Latex570_MPI3000_Gloss.icc" <<<"$err" || fail "profile not named: $err"
[ ! -e "$work/none.png" ] || fail "a picture was left behind"
[ -z "$(find "$work" -name '*.tmp*')" ] || fail "temporary files left: $(ls "$work")"
echo "ok"
