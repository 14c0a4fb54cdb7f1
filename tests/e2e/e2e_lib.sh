# What every end-to-end test starts with, sourced with the test's arguments:
# each NAME=VALUE argument sets $NAME; $work is a fresh folder removed at the
# end (KEEP=1 keeps it), `fail` ends the test with its words.

for arg in "$@"; do
  [[ $arg == [a-z]*=* ]] || { echo "FAIL: argument $arg is not NAME=VALUE"; exit 1; }
  declare "${arg%%=*}=${arg#*=}"
done

work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
[ -n "${KEEP:-}" ] && trap - EXIT

fail() { echo "FAIL: $*"; exit 1; }

# Width and height of a PNG from its IHDR chunk.
png_size() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%d x %d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
