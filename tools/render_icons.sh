#!/usr/bin/env bash
# Renders data/icons/quernel.svg into the PNG sizes the desktop and the program use:
# data/icons/hicolor/<N>x<N>/apps/quernel.png. The PNGs are committed; run this after changing
# the SVG. Needs rsvg-convert (Debian package librsvg2-bin), installed when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v rsvg-convert >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends librsvg2-bin
fi
for n in 16 22 24 32 48 64 128 256; do
    out="$root/data/icons/hicolor/${n}x${n}/apps"
    mkdir -p "$out"
    rsvg-convert -w "$n" -h "$n" "$root/data/icons/quernel.svg" -o "$out/quernel.png"
done
echo "Rendered into $root/data/icons/hicolor"
