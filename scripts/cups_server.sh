#!/usr/bin/env bash
# Starts and stops a private CUPS server with a capture printer, for the tests and CI.
#
#   cups_server.sh start DIR [CAPTURE_PRINTER]
#   cups_server.sh stop DIR
#
# start: runs cupsd with its whole configuration, spool and logs inside DIR,
# listening on DIR/cups.sock and on a free loopback port (no web interface, no
# browsing), and a capture printer (tests/support/capture_printer, given as
# CAPTURE_PRINTER or $SLABRIP_CAPTURE_PRINTER) that appends every byte it
# receives to DIR/capture.bin, as a network printer's raw port would print it.
# Two raw queues:
#   slabrip-test      socket:// to the capture printer; the default destination
#   Old-Slabrip-Test  holds "slabrip-test" ignoring case and sorts before it;
#                     stopped and rejecting jobs, its device a second URI of
#                     the capture printer
# It prints KEY=VALUE lines, also written to DIR/server.env (a shell can source it):
#   CUPS_SERVER, CUPS_PORT, QUEUE, QUEUE_URI, OTHER_QUEUE, OTHER_QUEUE_URI, CAPTURE_FILE
# With SLABRIP_CUPS_OWNER set to a process id, the server stops itself once
# that process is gone, so a test program that crashes leaves no daemons behind.
# stop: stops cupsd and the capture printer and removes DIR.
set -euo pipefail

readonly queue=slabrip-test
readonly otherQueue=Old-Slabrip-Test

die() {
  echo "cups_server.sh: $*" >&2
  exit 1
}

# True while the process lives (a zombie left to a parent that does not reap counts as gone).
alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Stops the process whose id is in the file, politely first.
stop_pid_file() {
  local pidFile=$1 pid
  [ -s "$pidFile" ] || return 0
  pid=$(cat "$pidFile")
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$pidFile"
}

# Waits up to $2 tenths of a second for the command in the remaining arguments to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A loopback port nobody answers on, outside the kernel's ephemeral range.
free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 12000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# True when the scheduler behind the socket answers (lpstat -r exits 0 either way).
answers() {
  lpstat -h "$1" -r 2>/dev/null | grep -qx "scheduler is running"
}

write_config() {
  local dir=$1 port=$2 user group systemGroup
  if [ "$(id -u)" -eq 0 ]; then
    # cupsd refuses to run filters and backends as root.
    user=lp group=lp systemGroup=root
  else
    user=$(id -un) group=$(id -gn) systemGroup=$(id -gn)
  fi
  cat >"$dir/conf/cups-files.conf" <<EOF
ServerRoot $dir/conf
StateDir $dir/state
CacheDir $dir/cache
RequestRoot $dir/spool
TempDir $dir/spool/tmp
ServerKeychain $dir/conf/ssl
DataDir /usr/share/cups
ServerBin /usr/lib/cups
DocumentRoot /usr/share/cups/doc-root
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/conf/printcap
User $user
Group $group
SystemGroup $systemGroup
FileDevice No
EOF
  cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel debug
MaxLogSize 0
Listen $dir/cups.sock
Listen 127.0.0.1:$port
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
}

# Starts cupsd on a free port; false when it did not come up (the port may have been taken).
start_cupsd() {
  local dir=$1 port
  port=$(free_port) || die "no free loopback port"
  write_config "$dir" "$port"
  : >"$dir/log/error_log"
  /usr/sbin/cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
    </dev/null >"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  if wait_for 200 answers "$dir/cups.sock" && ! grep -q "Unable to open listen socket" "$dir/log/error_log"; then
    echo "$port" >"$dir/cups.port"
    return 0
  fi
  stop_pid_file "$dir/cupsd.pid"
  return 1
}

start() {
  local dir=$1 capture=${2:-${SLABRIP_CAPTURE_PRINTER:-}}
  [ -n "$capture" ] || die "name the capture printer program (argument or SLABRIP_CAPTURE_PRINTER)"
  [ -x "$capture" ] || die "no capture printer program at $capture"
  [ -x /usr/sbin/cupsd ] || die "cupsd is not installed (package cups)"
  command -v lpadmin >/dev/null || die "lpadmin is not installed (package cups-client)"

  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  # A Unix socket path holds at most 107 bytes.
  [ ${#dir} -le 90 ] || die "folder path too long for a socket: $dir"
  mkdir -p "$dir/conf" "$dir/state" "$dir/cache" "$dir/spool/tmp" "$dir/log"
  # Under root the backends run as lp and open the spooled files under DIR themselves.
  chmod 0755 "$dir"
  local up=$dir
  while [ "$(id -u)" -eq 0 ] && [ "$up" != / ]; do
    up=$(dirname "$up")
    (($(stat -c %a "$up" | sed 's/^/8#/') & 1)) || die "$up does not let the user lp through: put DIR elsewhere"
  done
  # A start that fails halfway leaves no processes behind; DIR stays for its logs.
  startDir=$dir
  trap 'stop_pid_file "$startDir/cupsd.pid"; stop_pid_file "$startDir/capture.pid"' EXIT

  "$capture" 0 "$dir/capture.bin" "$dir/capture.port" </dev/null >"$dir/log/capture.log" 2>&1 &
  echo $! >"$dir/capture.pid"
  wait_for 100 test -s "$dir/capture.port" || die "the capture printer did not start: $(cat "$dir/log/capture.log")"
  local capturePort
  capturePort=$(cat "$dir/capture.port")

  local started=false
  for _ in 1 2 3; do
    if start_cupsd "$dir"; then
      started=true
      break
    fi
  done
  if ! $started; then
    tail -n 30 "$dir/log/error_log" "$dir/log/cupsd.out" >&2 || true
    die "cupsd did not start"
  fi

  local socket=$dir/cups.sock
  local queueUri=socket://127.0.0.1:$capturePort
  local otherUri=socket://localhost:$capturePort
  lpadmin -h "$socket" -p "$queue" -E -v "$queueUri" -m raw 2>/dev/null ||
    lpadmin -h "$socket" -p "$queue" -E -v "$queueUri"
  lpadmin -h "$socket" -d "$queue"
  lpadmin -h "$socket" -p "$otherQueue" -v "$otherUri"
  cupsdisable -h "$socket" "$otherQueue"
  cupsreject -h "$socket" "$otherQueue"

  {
    echo "CUPS_SERVER=$socket"
    echo "CUPS_PORT=$(cat "$dir/cups.port")"
    echo "QUEUE=$queue"
    echo "QUEUE_URI=$queueUri"
    echo "OTHER_QUEUE=$otherQueue"
    echo "OTHER_QUEUE_URI=$otherUri"
    echo "CAPTURE_FILE=$dir/capture.bin"
  } >"$dir/server.env"

  trap - EXIT
  local owner=${SLABRIP_CUPS_OWNER:-}
  if [ -n "$owner" ]; then
    (
      while alive "$owner"; do sleep 1; done
      stop "$dir"
    ) </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/watch.pid"
  fi
  cat "$dir/server.env"
}

stop() {
  local dir=$1
  [ -d "$dir" ] || return 0
  # The watcher itself calls stop when the owner is gone; it must not end itself halfway.
  if [ -s "$dir/watch.pid" ] && [ "$(cat "$dir/watch.pid")" != "$BASHPID" ]; then
    stop_pid_file "$dir/watch.pid"
  fi
  stop_pid_file "$dir/cupsd.pid"
  stop_pid_file "$dir/capture.pid"
  rm -rf "$dir"
}

[ $# -ge 2 ] || die "usage: cups_server.sh start DIR [CAPTURE_PRINTER] | stop DIR"
case $1 in
  start) start "$2" "${3:-}" ;;
  stop) stop "$2" ;;
  *) die "unknown command $1" ;;
esac
