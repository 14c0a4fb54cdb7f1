#!/usr/bin/env bash
# The installed tree and the Debian package print the demo byte for byte as the
# build tree does, with nothing of the build tree; every installed program
# answers --version; the desktop entry opens .RipSlab files.
set -euo pipefail
cmake=$1
cpack=$2
build=$3
version=$4
slabrip=$5
demo=$6
# shellcheck source=print_lib.sh
. "$(dirname "$0")/print_lib.sh"

# Prints a fresh copy of the demo named $2 with the slabrip at $1 into $work/$2.prn.
print_copy() {
  local slab
  slab=$(copy_demo "$2")
  "$1" --icc-dir "$work/$2/ICC" --drivers-dir "$work/$2/Drivers" --media-settings "$work/media.ini" \
    print "$slab" --test-output "$work/$2.prn" >/dev/null 2>"$work/err" || fail "$1 did not print: $(cat "$work/err")"
  [ "$(key "$slab" RipStatus)" = 7 ] || fail "$1 wrote status $(key "$slab" RipStatus)"
}
print_copy "$slabrip" build

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
print_copy "$prefix/bin/slabrip" installed
cmp -s "$work/build.prn" "$work/installed.prn" || fail "the installed slabrip printed other bytes"
for program in slabrip slabrip-gui rip-manager prnview qiccwrite; do
  [ "$("$prefix/bin/$program" --version)" = "$program (slabrip) $version" ] || fail "$program --version"
done
programs=$(dirname "$(readlink -f "$prefix/bin/slabrip")")
[[ $programs == "$prefix"/* ]] || fail "bin/slabrip points outside the prefix, to $programs"
paths=$(readelf -d "$programs"/* 2>/dev/null | grep 'R\(UN\)\?PATH' || true)
[ -z "$paths" ] || fail "installed files keep library paths: $paths"
desktop=$prefix/share/applications/slabrip-gui.desktop
[ -f "$prefix/share/icons/hicolor/scalable/apps/slabrip-gui.svg" ] || fail "icon not installed"
[ -f "$prefix/share/doc/slabrip/printer-data.md" ] || fail "docs not installed"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "$desktop invalid"; fi
# What a file manager asks on a double-click: the file's type and who opens it.
if command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
  update-mime-database "$prefix/share/mime" || fail "the MIME package does not load"
  touch "$work/Sheet.RIPSLAB"
  export XDG_DATA_DIRS=$prefix/share XDG_DATA_HOME=$work/home XDG_CONFIG_HOME=$work/home
  gio info -a standard::content-type "$work/Sheet.RIPSLAB" | grep -q 'content-type: application/x-ripslab$' ||
    fail "a .RIPSLAB file is not application/x-ripslab"
  gio mime application/x-ripslab | grep -A1 '^Recommended' | grep -q 'slabrip-gui.desktop' ||
    fail "slabrip-gui does not open application/x-ripslab: $(gio mime application/x-ripslab)"
fi

"$cpack" --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" || fail "cpack: $(cat "$work/cpack.log")"
deb=$work/deb/slabrip_${version}_$(dpkg --print-architecture).deb
dpkg-deb -I "$deb" >"$work/control" || fail "no package $deb: $(ls "$work/deb")"
grep -q '^ Package: slabrip$' "$work/control" && grep -q "^ Version: $version\$" "$work/control" &&
  grep -q '^ Depends: .*libqt6widgets6' "$work/control" && grep -q '^ Recommends: cups$' "$work/control" ||
  fail "package control: $(cat "$work/control")"
dpkg-deb -x "$deb" "$work/root"
print_copy "$work/root/usr/bin/slabrip" packaged
cmp -s "$work/build.prn" "$work/packaged.prn" || fail "the packaged slabrip printed other bytes"
echo "ok"
