#!/usr/bin/env bash
# slabrip info on the demo slab and on slabs that do not load.
set -euo pipefail
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

out=$("$slabrip" --icc-dir "$icc" info "$demo/40E42ACCBAD66E1E.RipSlab")
# Lines the page holds, as grep patterns.
while IFS= read -r pattern; do
  grep -q -- "$pattern" <<<"$out" || fail "no line matching $pattern in: $out"
done <<EOF
^Raster: *12602 x 7087 pixels$
^Render size: *6301 x 3544 pixels$
^Jobs (3):$
^Placements (8):$
tile: *2 of 2 x 2
transform \[535 20 0 1 -1 0\]
correction: enabled, table built
Profile: *Latex570_MPI3000_Gloss.icc (intent 1, ink limit 280 %)
Inks: *six
Colour tables: *built from $icc/Latex570_MPI3000_Gloss.icc
name: *Window sticker
colour 0: *Bakery Red|{0,100,85,10} (spot ink)
colour 1: *Chocolate$
colour 2: *Gold foil|{0,20,80,0} (spot ink)
gradients: *4, textures: 3
nodes: *1 groups, 1 shapes, 3 images, 0 other
cut path: *2 curves
EOF
[ "$(grep -c 'correction: off' <<<"$out")" = 2 ] || fail "two jobs without correction expected"
grep -q 'not loaded' <<<"$out" && fail "a demo document did not load: $out"

# A damaged document is reported with its reason, the rest of the slab still loads.
cp -r "$demo" "$work/demo"
head -c 3000 "$demo/Mural.cmf" >"$work/demo/Mural.cmf"
out=$("$slabrip" --icc-dir "$icc" info "$work/demo/40E42ACCBAD66E1E.RipSlab")
grep -q "not loaded: $work/demo/Mural.cmf: not a cmf document" <<<"$out" || fail "damaged document not reported: $out"

# Without the profile the tables are reported unusable, naming the file.
out=$("$slabrip" --icc-dir "$work" info "$demo/40E42ACCBAD66E1E.RipSlab")
grep -q "Colour tables: *not usable: ICC profile not found: Latex570_MPI3000_Gloss.icc" <<<"$out" || fail "missing profile not reported"

# A slab that does not load exits non-zero, naming the file.
if err=$("$slabrip" info "$work/none.RipSlab" 2>&1); then fail "missing slab loaded"; fi
grep -q '^Unable to open RIP File$' <<<"$err" || fail "message missing: $err"
grep -q "$work/none.RipSlab" <<<"$err" || fail "path missing: $err"

head -c 5000 /dev/urandom >"$work/garbage.RipSlab"
if "$slabrip" info "$work/garbage.RipSlab" >/dev/null 2>&1; then fail "garbage loaded"; fi
echo "ok"
