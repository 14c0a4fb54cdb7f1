#!/usr/bin/env bash
# slabrip print end to end on copies of the demo slab: test output with the
# host listening, a print file, a CUPS queue whose port is changed first, a
# print kept and sent again, and slabs that cannot print. Faults during a print: print_faults_test.sh.
set -euo pipefail
# shellcheck source=print_lib.sh
. "$(dirname "$0")/print_lib.sh"

# The "View XML" text of the demo.
"$slabrip" --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" \
  xml "$demo/40E42ACCBAD66E1E.RipSlab" --media-type-id "" >"$work/xml" || fail "xml failed"
[ "$(head -3 "$work/xml")" = "$(printf 'numPixelsInRow\t12602\nnumRows\t7087\n')" ] || fail "xml sizes: $(head -3 "$work/xml")"
grep -q '^JobInfoXML$' "$work/xml" && grep -q '^pageInfoXML$' "$work/xml" && grep -q '^rasterFormatXML$' "$work/xml" ||
  fail "xml documents missing: $(cat "$work/xml")"
grep -q '<PrinterModel>HP_Latex_570</PrinterModel>' "$work/xml" || fail "model missing from the ticket"
grep -q '<MediaTypeId>HP_RIP_CUSTOM_MEDIA</MediaTypeId>' "$work/xml" || fail "empty media type id not replaced"

# Media settings from the command line; the first media is applied when printing.
media() { "$slabrip" --media-settings "$work/media.ini" media "$@"; }
media add Canvas --value DryTemp=61.5 --value Vaccum=12 || fail "media add"
media add Banner || fail "media add Banner"
if media add canvas 2>"$work/err"; then fail "a listed name was added again"; fi
grep -q "The selected media name already exists!" "$work/err" || fail "duplicate media: $(cat "$work/err")"
[ "$(media list | tr '\n' ' ')" = "Canvas Banner " ] || fail "media list: $(media list)"
media update Banner --value HeatAirFlow=80 || fail "media update"
media show Banner | grep -q '^HeatAirFlow=80$' || fail "media show: $(media show Banner)"
media show Canvas | grep -q '^Vaccum=12$' || fail "vacuum not stored under its file key"
media delete Banner || fail "media delete"
[ "$(media list)" = "Canvas" ] || fail "media after delete: $(media list)"

# Test output, reported to the host.
slab=$(copy_demo test)
start_host
print "$slab" --test-output "$work/test.prn" --passes 7 --cutter >"$work/out" 2>"$work/err" ||
  fail "test output print failed: $(cat "$work/err")"
stop_host
grep -q "7087 of 7087 rows" "$work/out" || fail "summary: $(cat "$work/out")"
head -1 "$work/records" | grep -q '^kind=started status=4 slab=\$40E42ACCBAD66E1E rows=0/7087' ||
  fail "first record: $(cat "$work/records")"
tail -1 "$work/records" | grep -q '^kind=finished status=7 slab=\$40E42ACCBAD66E1E rows=7087/7087' ||
  fail "last record: $(cat "$work/records")"
"$prnview" "$work/test.prn" >"$work/view" || fail "prnview refused the test output"
grep -q '^Rows: 7087 of 7087$' "$work/view" || fail "rows: $(cat "$work/view")"
grep -q '^PASSES=7$' "$work/view" || fail "passes not in the job header"
grep -q '^CUTTER=ON$' "$work/view" || fail "cutter not in the job header"
grep -q '^MEDIANAME="\?Canvas"\?$' "$work/view" || fail "media name not in the job header"
grep -q '^DRYTEMP=61.5$' "$work/view" || fail "the media's values not in the job header"
[ "$(key "$slab" RipStatus)" = 7 ] || fail "status $(key "$slab" RipStatus) written"
[ "$(key "$slab" RipCurrRow)" = '$0000000000001BAF' ] || fail "RipCurrRow $(key "$slab" RipCurrRow)"
[ "$(key "$slab" SlabID)" = '$40E42ACCBAD66E1E' ] || fail "SlabID $(key "$slab" SlabID)"
[ "$(key "$slab" CurrPrnSize)" -gt 30000000 ] || fail "byte count $(key "$slab" CurrPrnSize)"

# A slab folder copied from Windows prints with no options at all: the
# folders beside it, its Windows print file beside it, nothing written elsewhere.
slab=$(copy_demo windows)
mkdir "$work/home" "$work/cwd"
bare() { (cd "$work/cwd" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u SLABRIP_MEDIA_SETTINGS HOME="$work/home" "$slabrip" "$@"); }
bare info "$slab" >"$work/out" || fail "info with no options: $(cat "$work/out")"
grep -q "^ICC folder: *$work/windows/ICC/ (from beside the slab)$" "$work/out" || fail "ICC folder: $(cat "$work/out")"
grep -q "^Drivers folder: *$work/windows/Drivers/ (from beside the slab)$" "$work/out" || fail "drivers folder"
grep -q "^Status: *1 (to print file $work/windows/40E42ACCBAD66E1E.prn, named C:.*PrintJobs.40E42ACCBAD66E1E.prn)$" \
  "$work/out" || fail "print file: $(grep Status "$work/out")"
bare print "$slab" >/dev/null 2>"$work/err" || fail "print with no options: $(cat "$work/err")"
grep -q "printing to $work/windows/40E42ACCBAD66E1E.prn" "$work/err" || fail "mapping not said: $(cat "$work/err")"
[ "$(key "$slab" RipStatus)" = 7 ] || fail "status $(key "$slab" RipStatus) with no options"
[ "$(stat -c %s "$work/windows/40E42ACCBAD66E1E.prn")" -gt 30000000 ] || fail "no print file beside the slab"
[ -z "$(find "$work" -name '*\\*' -o -name '*:*')" ] || fail "a file named the Windows way: $(find "$work" -name '*\\*')"
[ -z "$(find "$work/cwd" "$work/home" -mindepth 1)" ] || fail "stray files: $(find "$work/cwd" "$work/home" -mindepth 1)"
# Without its profiles the job ticket is refused, not printed half-made.
mv "$work/windows/ICC" "$work/windows/profiles"
if bare xml "$slab" >"$work/out" 2>"$work/err"; then fail "xml without profiles exited 0"; fi
grep -q "$slab: no ICC folder: give --icc-dir" "$work/err" || fail "xml reason: $(cat "$work/err")"
# With profiles that do not fit, loading goes on, but there is no job ticket to show.
mkdir "$work/windows/ICC"
if bare xml "$slab" >"$work/out" 2>"$work/err"; then fail "xml without the slab's profile exited 0"; fi
grep -q "$slab: the slab cannot be printed" "$work/err" || fail "xml reason: $(cat "$work/err")"

# A print file (status 1) gets the same printer data.
slab=$(copy_demo file)
set_key "$slab" PrnFilename "$work/file.prn"
print "$slab" --passes 7 --cutter >/dev/null 2>"$work/err" || fail "file print failed: $(cat "$work/err")"
cmp -s "$work/test.prn" "$work/file.prn" || fail "the print file differs from the test output"

# A CUPS queue (status 2): the slab names the capture printer's port, so the
# queue, pointed elsewhere first, is moved to it before the job goes out.
"$cups" start "$work/cups" "$capture" >/dev/null
# shellcheck disable=SC1091
. "$work/cups/server.env"
export CUPS_SERVER
lpadmin -h "$CUPS_SERVER" -p "$QUEUE" -v socket://127.0.0.1:9
slab=$(copy_demo queue)
set_key "$slab" RipStatus 2
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=$QUEUE\r|; s|^CurrPort=.*\r\$|CurrPort=$QUEUE_URI\r|" "$slab"
print "$slab" --passes 7 --cutter >/dev/null 2>"$work/err" || fail "queue print failed: $(cat "$work/err")"
for _ in $(seq 200); do
  [ "$(stat -c %s "$CAPTURE_FILE" 2>/dev/null || echo 0)" -ge "$(stat -c %s "$work/test.prn")" ] && break
  sleep 0.1
done
cmp -s "$work/test.prn" "$CAPTURE_FILE" || fail "the printer received other bytes than the test output"
lpstat -h "$CUPS_SERVER" -v "$QUEUE" | grep -q "$QUEUE_URI" || fail "the queue's port was not changed"
[ "$(key "$slab" RipStatus)" = 7 ] || fail "queue status $(key "$slab" RipStatus)"

# A Windows printer name finds its queue with blanks as underscores, and
# `printers` says so; a name nothing matches goes to the default queue, said.
lpadmin -h "$CUPS_SERVER" -p Slabrip_Test -E -v "$QUEUE_URI"
slab=$(copy_demo windows-queue)
set_key "$slab" RipStatus 2
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=Slabrip Test\r|; s|^CurrPort=.*\r\$|CurrPort=$QUEUE_URI\r|" "$slab"
"$slabrip" printers "$slab" >"$work/out" || fail "printers: $(cat "$work/out")"
grep -q "^\* $QUEUE  device $QUEUE_URI  (default)$" "$work/out" || fail "default queue not listed: $(cat "$work/out")"
grep -q "prints to the queue Slabrip_Test: its printer \"Slabrip Test\" matches the queue as a CUPS queue name$" \
  "$work/out" || fail "printers: $(cat "$work/out")"
print "$slab" >/dev/null 2>"$work/err" || fail "Windows-named queue print: $(cat "$work/err")"
grep -q "default queue" "$work/err" && fail "went to the default queue: $(cat "$work/err")"
[ "$(lpstat -h "$CUPS_SERVER" -W all -o Slabrip_Test | wc -l)" = 1 ] || fail "no job on Slabrip_Test"
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=Nowhere 9000\r|" "$slab"
set_key "$slab" RipStatus 2
print "$slab" >/dev/null 2>"$work/err" || fail "default queue print: $(cat "$work/err")"
grep -q "no CUPS queue matches its printer \"Nowhere 9000\", so the default queue $QUEUE" "$work/err" ||
  fail "default queue not said: $(cat "$work/err")"

# Printed once with --keep and sent again: the printer gets the kept bytes
# both times. A failed print, a keep file that cannot be made, a cut copy and
# queues that refuse or do not exist send nothing and replace no file.
captured() {
  for _ in $(seq 200); do
    [ -z "$(lpstat -h "$CUPS_SERVER" -o)" ] && [ "$(stat -c %s "$CAPTURE_FILE")" -eq "$1" ] && return
    sleep 0.1
  done
  fail "the printer received $(stat -c %s "$CAPTURE_FILE") bytes in all, not $1"
}
for _ in $(seq 200); do [ -z "$(lpstat -h "$CUPS_SERVER" -o)" ] && break; sleep 0.1; done
base=$(stat -c %s "$CAPTURE_FILE")
slab=$(copy_demo keep)
set_key "$slab" RipStatus 2
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=$QUEUE\r|; s|^CurrPort=.*\r\$|CurrPort=$QUEUE_URI\r|" "$slab"
print "$slab" --keep "$work/kept.prn" >"$work/out" 2>"$work/err" || fail "print --keep: $(cat "$work/err")"
grep -q "printed to queue $QUEUE, kept in $work/kept.prn$" "$work/out" || fail "--keep summary: $(cat "$work/out")"
size=$(stat -c %s "$work/kept.prn")
captured $((base + size))
cmp -s "$work/kept.prn" <(tail -c "$size" "$CAPTURE_FILE") || fail "the kept file differs from what the printer got"
cp "$work/kept.prn" "$work/earlier.prn"
set_key "$slab" RipStatus 2
if (export SLABRIP_HPLDRLGL_FAIL_ROW=100 && print "$slab" --keep "$work/kept.prn") >/dev/null 2>&1; then
  fail "a failed print exited 0"
fi
cmp -s "$work/kept.prn" "$work/earlier.prn" || fail "a failed print replaced the kept file"
[ -z "$(find "$work" -maxdepth 1 -name '*.tmp')" ] || fail "a temporary file was left beside the kept file"
echo "the earlier print" >"$work/old.prn"
if print "$slab" --test-output "$work/old.prn" --keep "$work/missing/kept.prn" >/dev/null 2>"$work/err"; then
  fail "printed with a keep file that cannot be made"
fi
grep -q "^error: $work/missing/kept.prn: cannot create .*: No such file or directory$" "$work/err" ||
  fail "keep file not named: $(cat "$work/err")"
[ "$(cat "$work/old.prn")" = "the earlier print" ] || fail "the print file was replaced although nothing printed"
send() { "$slabrip" send "$@" >"$work/out" 2>"$work/err"; }
head -c $((size - 100)) "$work/kept.prn" >"$work/cut.prn"
send "$work/cut.prn" && fail "a cut copy was sent"
grep -q "^error: $work/cut.prn: not complete printer data: .* at byte $((size - 100))$" "$work/err" ||
  fail "cut copy: $(cat "$work/err")"
send "$work/kept.prn" --queue "$OTHER_QUEUE" && fail "sent to a queue that rejects jobs"
grep -q "^error: the CUPS queue $OTHER_QUEUE refused the job: .*not accepting jobs" "$work/err" ||
  fail "rejecting queue: $(cat "$work/err")"
send "$work/kept.prn" --queue Nowhere && fail "sent to a queue that does not exist"
grep -q "^error: no queue of the CUPS server .* matches Nowhere " "$work/err" || fail "no queue: $(cat "$work/err")"
send "$work/kept.prn" || fail "send: $(cat "$work/err")"
grep -q "^$work/kept.prn: $size bytes of printer data sent to queue $QUEUE in " "$work/out" ||
  fail "send summary: $(cat "$work/out")"
captured $((base + 2 * size))
cmp -s "$work/kept.prn" <(tail -c "$size" "$CAPTURE_FILE") || fail "the printer got other bytes when sent again"

# A queue that is down: a clear error, nothing reported as printed.
"$cups" stop "$work/cups" >/dev/null
slab=$(copy_demo down)
set_key "$slab" RipStatus 2
if print "$slab" >/dev/null 2>"$work/err"; then fail "printed with the server down"; fi
grep -q "^error: " "$work/err" || fail "no reason given: $(cat "$work/err")"
[ "$(key "$slab" RipStatus)" = 2 ] || fail "status changed without a print"

# Nothing to print to, and a slab that does not exist.
slab=$(copy_demo none)
set_key "$slab" RipStatus 5
if print "$slab" >/dev/null 2>"$work/err"; then fail "status 5 printed"; fi
grep -q "RipStatus is 5" "$work/err" || fail "status 5: $(cat "$work/err")"
[ "$(key "$slab" RipStatus)" = 5 ] || fail "status 5 was rewritten"
if print "$work/missing.RipSlab" >/dev/null 2>"$work/err"; then fail "a missing slab printed"; fi
grep -q "missing.RipSlab" "$work/err" || fail "missing slab not named"
echo "ok"
