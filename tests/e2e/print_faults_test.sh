#!/usr/bin/env bash
# slabrip print when things go wrong: a file-size limit at the last flush, a
# read-only print folder, a queue that refuses jobs, a CUPS server killed in
# the middle of a job, a host that never answers, SIGTERM during a print and
# a row the raster library refuses. Each must end in words that name the
# cause, a non-zero exit, the status in the slab and in the last progress
# record, and the operator's earlier print file intact. The demo also prints
# the same bytes whatever the band height and the thread count.
set -euo pipefail
# shellcheck source=print_lib.sh
. "$(dirname "$0")/print_lib.sh"

earlier="the earlier print"
# The demo cut down to 640 x 240 printer pixels: under 64 KiB of printer data,
# all of which the raster library hands over in its last flush.
small_demo() {
  local slab
  slab=$(copy_demo "$1")
  set_key "$slab" RenderWidth 320
  set_key "$slab" RenderHeight 120
  set_key "$slab" RipWidth 640
  set_key "$slab" RipHeight 240
  echo "$slab"
}
# Asserts the last progress record: its status and rows.
last_record() {
  tail -1 "$work/records" | grep -q "^kind=finished status=$1 .* rows=$2 " ||
    fail "last record, expected status $1 rows $2: $(cat "$work/records")"
}
# Asserts that a failed print said why, exited non-zero and kept the earlier file.
failed_with() {
  local rc=$1 cause=$2 file=$3
  [ "$rc" -ne 0 ] || fail "exit 0 although: $cause"
  grep -q "^error: .*$cause" "$work/err" || fail "cause '$cause' not said: $(cat "$work/err")"
  grep -q "Assertion failure" "$work/err" && fail "an assertion for a fault outside: $(cat "$work/err")"
  if [ -n "$file" ]; then
    [ "$(cat "$file")" = "$earlier" ] || fail "the earlier print file $file was replaced"
    [ -z "$(find "$(dirname "$file")" -name '*.tmp')" ] || fail "a temporary file was left beside $file"
  fi
}

# A small job records its exact size; under a file-size limit its last flush fails.
slab=$(small_demo small)
print "$slab" --test-output "$work/small.prn" >"$work/out" 2>"$work/err" || fail "small print: $(cat "$work/err")"
size=$(stat -c %s "$work/small.prn")
[ "$size" -lt 65536 ] || fail "the small job is $size bytes"
[ "$(key "$slab" CurrPrnSize)" = "$size" ] && [ "$(key "$slab" SentPrnSize)" = "$size" ] ||
  fail "counts $(key "$slab" CurrPrnSize)/$(key "$slab" SentPrnSize) for $size bytes"
grep -q " $size bytes of printer data" "$work/out" || fail "summary: $(cat "$work/out")"

slab=$(small_demo limited)
echo "$earlier" >"$work/limited.prn"
set_key "$slab" PrnFilename "$work/limited.prn"
start_host
rc=0
(ulimit -f $((size / 1024 - 1)) && print "$slab") >"$work/out" 2>"$work/err" || rc=$?
stop_host
failed_with "$rc" "$work/limited.prn: cannot write: File too large" "$work/limited.prn"
[ "$(key "$slab" RipStatus)" = 8 ] || fail "file-size limit: status $(key "$slab" RipStatus)"
last_record 8 239/240
grep -q "not printed: RipStatus 8" "$work/out" || fail "summary after the limit: $(cat "$work/out")"

# A print folder that cannot be written: nothing printed, the slab as it was.
slab=$(small_demo readonly)
mkdir "$work/locked"
echo "$earlier" >"$work/locked/job.prn"
set_key "$slab" PrnFilename "$work/locked/job.prn"
before=$(cat "$slab")
rc=0
cause=""
if [ "$(id -u)" != 0 ]; then
  chmod 555 "$work/locked"
  print "$slab" >"$work/out" 2>"$work/err" || rc=$?
  chmod 755 "$work/locked"
  cause="Permission denied"
elif unshare -m true 2>/dev/null; then  # permissions do not stop root: a read-only mount does
  unshare -m sh -c 'mount --bind -o ro "$0" "$0" && exec "$@"' "$work/locked" \
    "$slabrip" --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" \
    print "$slab" >"$work/out" 2>"$work/err" || rc=$?
  cause="Read-only file system"
else
  echo "read-only print folder: not tried (root without mount namespaces)"
fi
if [ -n "$cause" ]; then
  failed_with "$rc" "$work/locked/job.prn: .*$cause" "$work/locked/job.prn"
  [ "$(cat "$slab")" = "$before" ] || fail "the slab was rewritten although nothing printed"
  grep -q "nothing was printed" "$work/err" || fail "read-only: $(cat "$work/err")"
fi

# A queue that does not accept jobs: said with its name, no earlier figures shown.
"$cups" start "$work/cups" "$capture" >/dev/null
# shellcheck disable=SC1091
. "$work/cups/server.env"
export CUPS_SERVER
slab=$(small_demo refused)
set_key "$slab" RipStatus 2
set_key "$slab" CurrPrnSize 34734080
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=$OTHER_QUEUE\r|; s|^CurrPort=.*\r\$|CurrPort=$OTHER_QUEUE_URI\r|" "$slab"
rc=0
print "$slab" >"$work/out" 2>"$work/err" || rc=$?
failed_with "$rc" "queue $OTHER_QUEUE .*not accepting jobs" ""
[ ! -s "$work/out" ] || fail "a summary for a refused job: $(cat "$work/out")"
[ "$(key "$slab" RipStatus)" = 2 ] && [ "$(key "$slab" CurrPrnSize)" = 34734080 ] || fail "refused job rewrote the slab"

# The CUPS server dies in the middle of a job: the print is held while it goes.
slab=$(copy_demo lost)
set_key "$slab" RipStatus 2
sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=$QUEUE\r|; s|^CurrPort=.*\r\$|CurrPort=$QUEUE_URI\r|" "$slab"
start_host
print_bg "$work/out" "$work/err" "$slab"
for _ in $(seq 200); do grep -q "^kind=started" "$work/records" && break; sleep 0.02; done
kill -STOP "$printing"
kill -KILL "$(cat "$work/cups/cupsd.pid")"
kill -CONT "$printing"
rc=0
wait "$printing" || rc=$?
stop_host
failed_with "$rc" "the CUPS queue $QUEUE" ""
[ "$(key "$slab" RipStatus)" = 8 ] || fail "lost server: status $(key "$slab" RipStatus)"
tail -1 "$work/records" | grep -q "^kind=finished status=8 " || fail "lost server: $(cat "$work/records")"
"$cups" stop "$work/cups" >/dev/null

# A host that never answers is not waited for: the print ends with its records
# sent, the last one with every byte; the time beside a print with no host.
slab=$(copy_demo nohost)
start=$(date +%s%N)
print "$slab" --test-output "$work/nohost.prn" >/dev/null 2>"$work/err" || fail "print without host: $(cat "$work/err")"
alone=$((($(date +%s%N) - start) / 1000000))
slab=$(copy_demo silent)
start_host --no-reply
start=$(date +%s%N)
print "$slab" --test-output "$work/silent.prn" >/dev/null 2>"$work/err" || fail "silent host: $(cat "$work/err")"
silent=$((($(date +%s%N) - start) / 1000000))
stop_host
echo "print time: $alone ms without a host, $silent ms with a silent one"
size=$(stat -c %s "$work/silent.prn")
head -1 "$work/records" | grep -q "^kind=started status=4 " || fail "silent host, first: $(cat "$work/records")"
last_record 7 7087/7087
tail -1 "$work/records" | grep -q " bytes=$size sent=$size$" || fail "silent host, counts: $(cat "$work/records")"
cmp -s "$work/nohost.prn" "$work/silent.prn" || fail "a silent host changed the printer data"

# The same bytes whatever the band height and the number of threads (by
# default as many as there are cores).
for rows in 16 97; do
  for threads in 1 3; do
    slab=$(copy_demo "band$rows-$threads")
    print "$slab" --test-output "$work/band.prn" --band-rows "$rows" --threads "$threads" >/dev/null 2>"$work/err" ||
      fail "band rows $rows, $threads threads: $(cat "$work/err")"
    cmp -s "$work/nohost.prn" "$work/band.prn" || fail "$rows-row bands on $threads threads print other bytes"
  done
done
# And a generated photo slab, its picture drawn in strips across the bands.
mkdir "$work/photo"
slab=$("$bannerslab" "$work/photo" --profile "$profile" --kind photo --width-mm 300 --length-mm 150 \
  --render-dpi 150 --dpi 300)
for threads in 1 3; do
  "$slabrip" --icc-dir "$work/photo" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" print "$slab" \
    --test-output "$work/photo-$threads.prn" --threads "$threads" --band-rows $((threads * 40)) >/dev/null 2>"$work/err" ||
    fail "photo slab on $threads threads: $(cat "$work/err")"
done
cmp -s "$work/photo-1.prn" "$work/photo-3.prn" || fail "the photo slab prints other bytes on 3 threads"

# SIGTERM in the middle of the print: status 8, said, the earlier file kept
# (a script's background jobs ignore SIGINT).
slab=$(copy_demo abort)
echo "$earlier" >"$work/abort.prn"
set_key "$slab" PrnFilename "$work/abort.prn"
start_host
print_bg "$work/out" "$work/err" "$slab"
for _ in $(seq 200); do grep -q "^kind=started" "$work/records" && break; sleep 0.02; done
kill -TERM "$printing"
rc=0
wait "$printing" || rc=$?
stop_host
[ "$rc" -ne 0 ] || fail "an aborted print exited 0"
grep -q "^Aborted.$" "$work/err" || fail "abort not said: $(cat "$work/err")"
[ "$(cat "$work/abort.prn")" = "$earlier" ] || fail "the aborted print replaced the earlier one"
[ "$(key "$slab" RipStatus)" = 8 ] || fail "abort wrote status $(key "$slab" RipStatus)"
tail -1 "$work/records" | grep -q "^kind=finished status=8 " || fail "abort: $(cat "$work/records")"

# A job file gone: info and print name it, print refuses without --force and
# then prints the rest; a name in another case is still found.
slab=$(small_demo preflight)
rm "$(dirname "$slab")/Opening hours.RipJob"
mv "$(dirname "$slab")/Mural tile 2.RipJob" "$(dirname "$slab")/MURAL TILE 2.RIPJOB"
"$slabrip" --icc-dir "$demo/ICC" info "$slab" >"$work/out" 2>&1 || fail "info: $(cat "$work/out")"
grep -q "^  Job001: job file not found" "$work/out" || fail "info does not list the missing job: $(cat "$work/out")"
grep -q "Job002" "$work/out" && fail "a job in another case not found: $(cat "$work/out")"
before=$(cat "$slab")
rc=0
print "$slab" --test-output "$work/preflight.prn" >"$work/out" 2>"$work/err" || rc=$?
[ "$rc" -ne 0 ] || fail "printed a slab missing a job without --force"
grep -q "Job001: job file not found" "$work/err" && grep -q -- "--force" "$work/err" || fail "refusal: $(cat "$work/err")"
[ ! -e "$work/preflight.prn" ] && [ "$(cat "$slab")" = "$before" ] || fail "a refused print wrote something"
print "$slab" --test-output "$work/preflight.prn" --force >"$work/out" 2>"$work/err" || fail "--force: $(cat "$work/err")"
[ "$(key "$slab" RipStatus)" = 7 ] || fail "forced print: status $(key "$slab" RipStatus)"
grep -q "printed to .* without what the 2 problems above leave out (--force)" "$work/out" ||
  fail "a forced print did not say what it left out: $(cat "$work/out")"

# A row the raster library refuses stops the print there.
slab=$(small_demo row)
echo "$earlier" >"$work/row.prn"
set_key "$slab" PrnFilename "$work/row.prn"
start_host
rc=0
(export SLABRIP_HPLDRLGL_FAIL_ROW=100 && print "$slab") >"$work/out" 2>"$work/err" || rc=$?
stop_host
failed_with "$rc" "$slab: printing stopped at printer row 100 of 240: .*General error" "$work/row.prn"
[ "$(key "$slab" RipStatus)" = 8 ] || fail "refused row: status $(key "$slab" RipStatus)"
[ "$(key "$slab" RipCurrRow)" = '$0000000000000063' ] || fail "refused row: RipCurrRow $(key "$slab" RipCurrRow)"
last_record 8 99/240
echo "ok"
