#!/usr/bin/env bash
# rip-manager --watch on a folder of demo slabs: slabs print once each in the
# order they arrived (to print files and to the CUPS queue), a broken one is
# logged with slabrip's reason and kept as it was, a slab copied in slowly is
# taken only once it stopped changing, SIGTERM lets the slab printing finish,
# and after a SIGKILL mid-print the slab left at status 4 is reported, not
# printed again.
set -euo pipefail
# shellcheck source=print_lib.sh
. "$(dirname "$0")/print_lib.sh"

export XDG_STATE_HOME=$work/state
log=$work/state/slabrip/rip-manager.log
"$cups" start "$work/cups" "$capture" >/dev/null
# shellcheck disable=SC1091
. "$work/cups/server.env"
export CUPS_SERVER

spool=$(dirname "$(copy_demo spool)")
mv "$spool/40E42ACCBAD66E1E.RipSlab" "$work/template.RipSlab"
# A demo slab $work/NAME.RipSlab with its own id, printing to $work/NAME.prn,
# cut down to 640 x 240 printer pixels unless KIND is "full"; "queue" sends it
# to the CUPS queue.
make_slab() {
  local name=$1 id=$2 kind=${3:-} slab=$work/$1.RipSlab
  cp "$work/template.RipSlab" "$slab"
  set_key "$slab" SlabID "\$$id"
  set_key "$slab" PrnFilename "$work/$name.prn"
  if [ "$kind" != full ]; then
    for pair in RenderWidth=320 RenderHeight=120 RipWidth=640 RipHeight=240; do set_key "$slab" "${pair%=*}" "${pair#*=}"; done
  fi
  if [ "$kind" = queue ]; then
    set_key "$slab" RipStatus 2
    sed -i "s|^CurrWinPrn=.*\r\$|CurrWinPrn=$QUEUE\r|; s|^CurrPort=.*\r\$|CurrPort=$QUEUE_URI\r|" "$slab"
  fi
}
# Moves the slab NAME into the folder, AGE seconds old.
arrive() {
  touch -d "@$(($(date +%s) - $2))" "$work/$1.RipSlab"
  mv "$work/$1.RipSlab" "$spool/"
}
start_spooler() {
  "$ripmanager" --watch "$spool" --settle-ms 800 --rescan-ms 200 --icc-dir "$demo/ICC" \
    --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" >"$work/spooler.out" 2>&1 &
  spooler=$!
}
wait_log() {
  for _ in $(seq 300); do
    grep -q -- "$1" "$log" 2>/dev/null && return
    sleep 0.1
  done
  fail "no log line '$1': $(cat "$log" "$work/spooler.out")"
}
# The slab's events in the log, one word each: NAME:printing, NAME:printed, NAME:failed.
events() {
  sed -En 's#.*/([a-z0-9]*)\.RipSlab: (printing|printed|not printed).*#\1:\2#p' "$log" | sed 's/not printed/failed/' |
    tr '\n' ' '
}
status() { key "$spool/$1.RipSlab" RipStatus; }
# Holds the print that the spooler logs for slab $1 once it wrote status 4; its id in $held.
# The print runs in 10 ms steps until then, so a busy machine cannot let it finish first.
hold_print() {
  for _ in $(seq 3000); do
    held=$(sed -n "s|.*/$1\.RipSlab: printing .*(slabrip process \([0-9]*\)).*|\1|p" "$log" 2>/dev/null | tail -1)
    [ -n "$held" ] && kill -STOP "$held" && break
    sleep 0.01
  done
  [ -n "$held" ] || fail "no print of $1 started: $(cat "$log" "$work/spooler.out")"
  for _ in $(seq 3000); do
    [ "$(status "$1")" = 4 ] && break
    kill -CONT "$held"
    sleep 0.01
    kill -STOP "$held"
  done
  [ "$(status "$1")" = 4 ] || fail "the print of $1 did not reach status 4"
  # A stop signal lands a moment after kill returns.
  for _ in $(seq 200); do [ "$(awk '{print $3}' "/proc/$held/stat" 2>/dev/null)" = T ] && return; sleep 0.01; done
  fail "the print of $1 ended before it could be held"
}

# Three good slabs around a broken one naming a missing job file, arriving in
# another order than their names; one goes to the queue.
make_slab z 000000000000000A
make_slab m 000000000000000B
sed -i 's|^Job001=.*\r$|Job001=Gone.RipJob\r|' "$work/m.RipSlab"
cp "$work/m.RipSlab" "$work/broken.RipSlab"
make_slab a 000000000000000C queue
make_slab k 000000000000000D
arrive z 40 && arrive m 30 && arrive a 20 && arrive k 10
before=$(ls "$spool")
start_spooler
wait_log "k.RipSlab: printed"
[ "$(events)" = "z:printing z:printed m:printing m:failed a:printing a:printed k:printing k:printed " ] ||
  fail "order: $(events)"
grep -q "m.RipSlab: not printed (slabrip exit [1-9][0-9]*, RipStatus 1): .*Job001: job file not found: Gone.RipJob" "$log" ||
  fail "the broken slab's reason: $(cat "$log")"
cmp -s "$spool/m.RipSlab" "$work/broken.RipSlab" || fail "the broken slab was rewritten"
for name in z a k; do [ "$(status $name)" = 7 ] || fail "$name: status $(status $name)"; done
for name in z k; do
  [ "$(stat -c %s "$work/$name.prn")" = "$(key "$spool/$name.RipSlab" CurrPrnSize)" ] || fail "print file $name.prn"
done
for _ in $(seq 100); do cmp -s "$work/z.prn" "$CAPTURE_FILE" && break; sleep 0.1; done
cmp -s "$work/z.prn" "$CAPTURE_FILE" || fail "the queue got other bytes than the print files"
[ -z "$(comm -23 <(echo "$before") <(ls "$spool"))" ] || fail "files went from the folder: $(ls "$spool")"
kill -0 "$spooler" || fail "the spooler stopped: $(cat "$work/spooler.out")"

# A slab written in pieces slower than the rescans is taken once it stood still for the settle time.
make_slab slow 000000000000000E
head -c 1000 "$work/slow.RipSlab" >"$spool/slow.RipSlab"
for at in 1000 2000 3000; do
  sleep 0.4
  tail -c +$((at + 1)) "$work/slow.RipSlab" | head -c 1000 >>"$spool/slow.RipSlab"
done
sleep 0.4
grep -q "slow.RipSlab" "$log" && fail "a slab still being written was taken: $(cat "$log")"
wait_log "slow.RipSlab: printed"
cmp -s "$spool/slow.RipSlab" "$work/slow.RipSlab" && fail "the slow slab's status was not written"
[ "$(status slow)" = 7 ] && [ -s "$work/slow.prn" ] && [ "$(events | grep -o 'slow:printing' | wc -l)" = 1 ] ||
  fail "slow slab: $(cat "$log")"

# SIGTERM while a slab prints: it finishes, the spooler exits 0, the next one waits.
kill -TERM "$spooler"
wait "$spooler" || fail "the spooler exited $? on SIGTERM while idle"
make_slab p1 0000000000000010 full && arrive p1 6
make_slab p2 0000000000000011 && arrive p2 4
start_spooler
hold_print p1
kill -TERM "$spooler"
wait_log "SIGTERM: stopping once .*p1.RipSlab has printed"
kill -CONT "$held"
rc=0
wait "$spooler" || rc=$?
[ "$rc" = 0 ] && [ "$(status p1)" = 7 ] && [ "$(status p2)" = 1 ] ||
  fail "SIGTERM mid-print: exit $rc, p1 $(status p1), p2 $(status p2): $(cat "$log")"

# SIGKILL mid-print: the restarted spooler reports the slab left at 4 and prints the rest.
make_slab x 0000000000000012 full && arrive x 2
start_spooler
hold_print x
kill -KILL "$spooler" "$held"
wait "$spooler" 2>/dev/null || true
make_slab y 0000000000000013 && arrive y 0
start_spooler
wait_log "y.RipSlab: printed"
kill -TERM "$spooler"
wait "$spooler" || fail "the restarted spooler exited $?"
grep -q "x.RipSlab: was being printed when the spooler stopped; not printed again" "$log" ||
  fail "the interrupted slab was not reported: $(cat "$log")"
[ "$(status x)" = 4 ] && [ "$(status p2)" = 7 ] && [ "$(status y)" = 7 ] && [ "$(status m)" = 1 ] ||
  fail "after the restart: x $(status x), p2 $(status p2), y $(status y), m $(status m)"
[ "$(events)" = "z:printing z:printed m:printing m:failed a:printing a:printed k:printing k:printed \
slow:printing slow:printed p1:printing p1:printed p2:printing p2:printed x:printing y:printing y:printed " ] ||
  fail "each slab once, in order: $(events)"
echo "ok"
