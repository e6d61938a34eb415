#!/usr/bin/env bash
# tools/screenshots.sh OUT: pictures of every tab and dialog of Quernel's window, at 100 % and
# at 200 % scaling (OUT/100, OUT/200), drawn under Xvfb with a private configuration, program
# folder and home, and no printers but "Quernel PDF" (CUPS_SERVER points nowhere).
#
# The pictures come from quernel-screenshots, a small program of the test tree that builds the
# real main window over the real back ends the way start-up does and shows every dialog
# without waiting for a user.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUT" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)

if ! command -v xvfb-run >/dev/null || ! command -v xauth >/dev/null; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends xvfb xauth
fi

source "$root/tools/setup.sh"
QUERNEL_ROOT=$root
quernel_install_missing
build="$root/build/test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quernel-screenshots

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home/QUERNEL" "$tmp/program" "$tmp/runtime"
chmod 700 "$tmp/runtime"
# A few files to show in the lists.
printf 'Faktura nr 1\r\n\f' >"$tmp/home/QUERNEL/PRN2FILE.TXT"
touch "$tmp/home/QUERNEL/MAGAZYN.PRN"

for scale in 1 2; do
    env -i PATH="$PATH" LANG=C.UTF-8 HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime" \
        QUERNEL_CONFIG_HOME="$tmp/config" QUERNEL_CONFIG_MACHINE="$tmp/machine" \
        QUERNEL_PROGRAM_DIR="$tmp/program" QUERNEL_PDF_DIR="$tmp/pdf" \
        CUPS_SERVER="$tmp/no-cups.sock" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
        xvfb-run -a -s "-screen 0 2560x1600x24" \
        "$build/bin/quernel-screenshots" "$out/$((scale * 100))"
done
