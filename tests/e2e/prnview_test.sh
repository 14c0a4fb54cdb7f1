#!/usr/bin/env bash
# prnview on sample jobs from prnsample, on a damaged one and on a missing file.
set -euo pipefail
# shellcheck source=e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

"$prnsample" "$work/job.prn" --width 37 --height 24
out=$("$prnview" "$work/job.prn" --out "$work/out")
grep -q '^JOB NAME=Sample poster$' <<<"$out" || fail "job name missing: $out"
grep -q '^PRINTERMODEL=HP Latex 570$' <<<"$out" || fail "printer model missing: $out"
grep -q '^Raster: 37 x 24 pixels, 600 dpi, PackBits$' <<<"$out" || fail "geometry missing: $out"
grep -q '^  6 lm light magenta: 600 x 600 dpi, 4 levels$' <<<"$out" || fail "sixth plane missing: $out"
grep -q '^Rows: 24 of 24$' <<<"$out" || fail "rows missing: $out"
for name in plane-1-K plane-2-C plane-3-M plane-4-Y plane-5-lc plane-6-lm proof; do
  [ "$(png_size "$work/out/$name.png")" = "37 x 24" ] || fail "$name.png missing or of the wrong size"
done
[ -z "$(find "$work/out" -name '*.tmp')" ] || fail "temporary files left behind"

# An aborted job: fewer rows, pictures still of the full height.
"$prnsample" "$work/aborted.prn" --width 37 --height 24 --rows 5
out=$("$prnview" "$work/aborted.prn" --out "$work/aborted")
grep -q '^Rows: 5 of 24$' <<<"$out" || fail "early end not reported: $out"
[ "$(png_size "$work/aborted/proof.png")" = "37 x 24" ] || fail "aborted proof of the wrong size"

# Cut short: non-zero exit, one line naming the file and the byte, no pictures.
size=$(stat -c %s "$work/job.prn")
head -c $((size - 40)) "$work/job.prn" >"$work/cut.prn"
if err=$("$prnview" "$work/cut.prn" --out "$work/cut" 2>&1 >/dev/null); then fail "cut job accepted"; fi
[ "$(wc -l <<<"$err")" = 1 ] || fail "more than one line: $err"
grep -q "^prnview: $work/cut.prn: data ends .* at byte $((size - 40))\$" <<<"$err" || fail "message: $err"
[ -z "$(ls -A "$work/cut" 2>/dev/null)" ] || fail "pictures written for a cut job"

if err=$("$prnview" "$work/none.prn" 2>&1); then fail "missing file accepted"; fi
grep -q "^prnview: $work/none.prn: cannot open: No such file or directory$" <<<"$err" || fail "missing file: $err"
echo "ok"
