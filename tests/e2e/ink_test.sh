#!/usr/bin/env bash
# Ink use on the demo: the table and JSON report of a print, the estimate that
# makes the same printer data and writes nothing, and a report that cannot be
# written stopping the print before it begins.
set -euo pipefail
# shellcheck source=print_lib.sh
. "$(dirname "$0")/print_lib.sh"

slab=$(copy_demo ink)
print "$slab" --test-output "$work/ink.prn" --report "$work/print.json" >"$work/out" 2>"$work/err" ||
  fail "print failed: $(cat "$work/err")"
grep -q '^Light magenta ' "$work/out" && grep -q '^printed area 0.640 m²' "$work/out" ||
  fail "no ink table: $(cat "$work/out")"
jq -e '.slabId == "40E42ACCBAD66E1E" and .jobName == "Bakery window and mural" and .rows == 7087 and .printed
  and (.inks | map(.ink)) == ["Black", "Cyan", "Magenta", "Yellow", "Light cyan", "Light magenta"]
  and all(.inks[]; (.pixelsPerLevel | add) == 12602 * 7087 and .millilitres > 0)' "$work/print.json" >/dev/null ||
  fail "report: $(cat "$work/print.json")"
[ "$(jq .bytes "$work/print.json")" = "$(stat -c %s "$work/ink.prn")" ] || fail "report's bytes"

# The estimate counts the same drops and leaves the slab's folder as it was.
cp "$slab" "$work/slab-before"
ls -lA --time-style=full-iso "$work/ink" >"$work/files-before"
"$slabrip" --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" \
  estimate "$slab" --threads 1 --report "$work/estimate.json" >"$work/out" 2>"$work/err" ||
  fail "estimate failed: $(cat "$work/err")"
grep -q 'nothing was written$' "$work/out" && grep -q '^Black ' "$work/out" || fail "estimate: $(cat "$work/out")"
cmp -s "$slab" "$work/slab-before" || fail "the estimate changed the slab file"
ls -lA --time-style=full-iso "$work/ink" | cmp -s - "$work/files-before" || fail "the estimate wrote beside the slab"
for field in '[.inks[].pixelsPerLevel]' .bytes .rows; do
  [ "$(jq -c "$field" "$work/print.json")" = "$(jq -c "$field" "$work/estimate.json")" ] ||
    fail "estimate's $field differs from the print's"
done
jq -e '.estimate and .destination == "nowhere (estimate)"' "$work/estimate.json" >/dev/null || fail "estimate report"

# A report that cannot be written stops the print before anything is printed.
if print "$slab" --test-output "$work/never.prn" --report "$work/missing/r.json" >"$work/out" 2>"$work/err"; then
  fail "printed with a report that cannot be written"
fi
grep -q "$work/missing/r.json" "$work/err" || fail "report file not named: $(cat "$work/err")"
[ ! -e "$work/never.prn" ] && cmp -s "$slab" "$work/slab-before" || fail "printed although the report could not be written"
echo "ok"
