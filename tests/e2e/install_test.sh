#!/usr/bin/env bash
# The installed tree and the Debian package print the demo byte for byte as the
# build tree does, with nothing of the build tree; every installed program
# answers --version; the desktop entry opens .RipSlab files.
set -euo pipefail
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
[ -f "$prefix/share/icons/hicolor/scalable/apps/slabrip-gui.svg" ] || fail "icon not installed"
[ -f "$prefix/share/doc/slabrip/printer-data.md" ] || fail "docs not installed"
# A double-click as a file manager does it: the file's type, then the program for it.
if type -P desktop-file-validate update-desktop-database update-mime-database gio >/dev/null; then
  desktop() { XDG_DATA_DIRS=$prefix/share XDG_DATA_HOME=$work/home XDG_CONFIG_HOME=$work/home PATH=$prefix/bin:$PATH "$@"; }
  desktop-file-validate "$prefix/share/applications/slabrip-gui.desktop" >"$work/out" || fail "$(cat "$work/out")"
  desktop update-mime-database "$prefix/share/mime" || fail "the MIME package does not load"
  desktop update-desktop-database "$prefix/share/applications" || fail "the desktop entry does not index"
  cp "$demo/40E42ACCBAD66E1E.RipSlab" "$work/SHEET.RIPSLAB"
  # Whole outputs, read after: grep -q would close the pipe on gio.
  desktop gio info -a standard::content-type "$work/SHEET.RIPSLAB" >"$work/out"
  grep -q ' application/x-ripslab$' "$work/out" || fail "a .RIPSLAB file is not application/x-ripslab: $(cat "$work/out")"
  desktop gio mime application/x-ripslab >"$work/out"
  grep -q '^Default application .*: slabrip-gui.desktop$' "$work/out" ||
    fail "slabrip-gui does not open application/x-ripslab: $(cat "$work/out")"
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
