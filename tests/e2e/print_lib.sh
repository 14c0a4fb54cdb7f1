# Helpers of the print tests, sourced with the test's arguments (slabrip=,
# ripmanager=, demo=, cups=, ...). A CUPS server started in $work/cups is
# stopped at the end; the host listens there too.

# shellcheck source=e2e_lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.sh"
chmod 755 "$work"  # the CUPS backend runs as lp and reads its spool below here
cleanup() {
  [ -f "$work/cups/server.env" ] && "$cups" stop "$work/cups" >/dev/null 2>&1
  rm -rf "$work"
}
export XDG_RUNTIME_DIR=$work

# A fresh copy of the demo; prints its slab's path.
copy_demo() {
  cp -r "$demo" "$work/$1"
  echo "$work/$1/40E42ACCBAD66E1E.RipSlab"
}
# Replaces the value of a key in a CR LF slab file.
set_key() { sed -i "s|^$2=.*\r\$|$2=$3\r|" "$1"; }
key() { grep -a "^$2=" "$1" | tr -d '\r' | cut -d= -f2-; }
# slabrip print; in the background `print_bg` leaves slabrip's own id in $printing.
print() {
  "$slabrip" --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" print "$@"
}
print_bg() {
  local out=$1 err=$2
  shift 2
  "$slabrip" --icc-dir "$demo/ICC" --drivers-dir "$demo/Drivers" --media-settings "$work/media.ini" \
    print "$@" >"$out" 2>"$err" &
  printing=$!
}

# rip-manager listening for the next print, its records in $work/records
# (options: --no-reply, ...).
start_host() {
  rm -f "$work/records"
  "$ripmanager" --socket "$work/rip-manager" "$@" >"$work/records" 2>/dev/null &
  host=$!
  for _ in $(seq 100); do [ -S "$work/rip-manager" ] && return; sleep 0.05; done
  fail "rip-manager did not start"
}
stop_host() {
  kill "$host"
  wait "$host" || true
  rm -f "$work/rip-manager"
}
