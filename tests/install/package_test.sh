#!/usr/bin/env bash
# Installs Quernel as a user would, from a build folder: "cmake --install" into a prefix, and
# the Debian package of "cpack -G DEB" unpacked into a scratch root; then runs the installed
# programs on a printout. Usage: package_test.sh <build folder>
set -euo pipefail
build=$1
data=$(cd "$(dirname "$0")/../data" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A printout of a DOS program: ESC/P bold, Polish letters in code page 852, a form feed.
printf '\033@\033EFaktura nr 7/2024\033F\r\nZa\276\242\210\206 g\251\230l\245 ja\253\344\r\n\014' \
    > "$tmp/sample.prn"
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/home/.local/share" XDG_CONFIG_HOME="$tmp/home/.config"
export XDG_RUNTIME_DIR="$tmp/run" QUERNEL_CONFIG_HOME="$tmp/config"
export QUERNEL_CONFIG_MACHINE="$tmp/machine" CUPS_SERVER="$tmp/no-cups.sock"
unset QUERNEL_PROGRAM_DIR DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Renders the sample with an installed quernel-render and checks the text of the PDF.
render_check() {
    local bin=$1 out=$2
    "$bin/quernel-render" "$tmp/sample.prn" -o "$out" || fail "$bin/quernel-render"
    local text
    text=$(pdftotext "$out" -)
    grep -q "Faktura nr 7/2024" <<<"$text" || fail "no text in $out: $text"
    grep -q "Zażółć gęślą jaźń" <<<"$text" || fail "no Polish letters in $out: $text"
}

# Runs an installed CUPS filter as CUPS would on the sample, with its installed PPD, and
# checks the PDF on its standard output.
filter_check() {
    local filter=$1 ppd=$2 out=$3
    mkdir -p "$tmp/filter-tmp"
    PPD=$ppd TMPDIR=$tmp/filter-tmp "$filter" 7 anna sample 1 "" "$tmp/sample.prn" >"$out" ||
        fail "$filter"
    pdftotext "$out" - | grep -q "Zażółć gęślą jaźń" || fail "no Polish letters from $filter"
    # A queue with a background picture: the filter hands the job to the installed
    # quernel-render, which draws the picture under the text.
    cp "$ppd" "$tmp/picture.ppd"
    echo "*QuernelBackgroundPicture: \"$data/adobe_cmyk.jpg\"" >>"$tmp/picture.ppd"
    PPD=$tmp/picture.ppd TMPDIR=$tmp/filter-tmp "$filter" 8 anna sample 1 QuernelBackground=true \
        "$tmp/sample.prn" >"$out" || fail "$filter with a background picture"
    pdftotext "$out" - | grep -q "Faktura nr 7/2024" || fail "no text under the picture"
    [ "$(pdfimages -list "$out" | tail -n +3 | wc -l)" -ge 1 ] || fail "no background picture"
}

# 1. cmake --install into a prefix of our choosing.
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/quernel bin/quernel-render share/quernel/Seq/EPSON+HP.seq \
    share/quernel/CharMap/LatinII.cmap share/applications/quernel.desktop \
    share/icons/hicolor/scalable/apps/quernel.svg lib/systemd/user/quernel.service \
    lib/cups/filter/quernel-filter share/ppd/quernel/quernel.ppd share/cups/mime/quernel.types; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
grep -qx "ExecStart=$prefix/bin/quernel --headless" "$prefix/lib/systemd/user/quernel.service" ||
    fail "unit: $(cat "$prefix/lib/systemd/user/quernel.service")"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quernel.desktop" || fail "desktop entry"
fi
render_check "$prefix/bin" "$tmp/prefix.pdf"
# Outside /usr the queue's PPD names the filter by its path: CUPS looks only in its own folder.
grep -q "application/pdf 0 $prefix/lib/cups/filter/quernel-filter\"" \
    "$prefix/share/ppd/quernel/quernel.ppd" || fail "PPD: $(grep cupsFilter2 "$prefix/share/ppd/quernel/quernel.ppd")"
filter_check "$prefix/lib/cups/filter/quernel-filter" "$prefix/share/ppd/quernel/quernel.ppd" \
    "$tmp/prefix-filter.pdf"
# The installed program finds its tables through the data home, seeded from share/quernel.
"$prefix/bin/quernel" --headless >"$tmp/headless.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q "Monitorowanie włączone" "$tmp/headless.txt" && break
    sleep 0.1
done
kill -TERM "$pid"
wait "$pid" || fail "quernel --headless did not end cleanly: $(cat "$tmp/headless.txt")"
grep -q "Ustawione kody sterujące : EPSON+HP" "$tmp/headless.txt" ||
    fail "tables not found: $(cat "$tmp/headless.txt")"
[ -e "$XDG_DATA_HOME/quernel/Seq/EPSON+HP.seq" ] || fail "data home not seeded"
[ -e "$XDG_DATA_HOME/quernel/quernel.log" ] || fail "no log in the data home"

# 2. The Debian package, unpacked into a scratch root.
cpack -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" >"$tmp/cpack.txt" 2>&1 ||
    fail "cpack: $(cat "$tmp/cpack.txt")"
deb=$(ls "$tmp"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libcups2 libssl3 libzint \
    fonts-liberation2; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg -x "$deb" "$tmp/root"
grep -qx "ExecStart=/usr/bin/quernel --headless" "$tmp/root/usr/lib/systemd/user/quernel.service" ||
    fail "packaged unit: $(cat "$tmp/root/usr/lib/systemd/user/quernel.service")"
[ -e "$tmp/root/usr/share/applications/quernel.desktop" ] || fail "packaged desktop entry"
render_check "$tmp/root/usr/bin" "$tmp/package.pdf"
for f in lib/cups/filter/quernel-filter share/ppd/quernel/quernel.ppd share/cups/mime/quernel.types; do
    [ -e "$tmp/root/usr/$f" ] || fail "not packaged: $f"
done
grep -q "application/pdf 0 quernel-filter\"" "$tmp/root/usr/share/ppd/quernel/quernel.ppd" ||
    fail "packaged PPD: $(grep cupsFilter2 "$tmp/root/usr/share/ppd/quernel/quernel.ppd")"
filter_check "$tmp/root/usr/lib/cups/filter/quernel-filter" \
    "$tmp/root/usr/share/ppd/quernel/quernel.ppd" "$tmp/package-filter.pdf"
# "quernel --explain" hands the printout to the quernel-render beside it.
"$tmp/root/usr/bin/quernel" --explain "$tmp/sample.prn" | grep -q "Pogrubienie" ||
    fail "quernel --explain"
# Debian's checks of the package: no error and no warning.
if command -v lintian >/dev/null; then
    lintian "$deb" >"$tmp/lintian.txt" 2>&1 || true
    if grep -qE "^[EW]: " "$tmp/lintian.txt"; then fail "lintian: $(cat "$tmp/lintian.txt")"; fi
    [ -n "$(dpkg-deb -c "$deb" | grep ' ./usr/share/man/man1/quernel-render.1.gz$')" ] ||
        fail "no manual page for quernel-render"
else
    fail "lintian is not installed (tools/setup.sh installs it)"
fi
echo "package test passed: $(basename "$deb")"
