#!/usr/bin/env bash
# Compares the time per page of an earlier quernel-render (a folder with its binary and shipped
# data) with the current Release build, on the same printouts and options: the graphics
# printout of commands_bench.sh read as ESC/P (100 pages), and the text printout of
# render_bench.sh (1000 pages) with the table alone and read as ESC/P. RUNS runs of each,
# before and now alternating; medians of wall and CPU time per page.
# Usage: bench/before_after_bench.sh BEFORE_DIR [RUNS]; it builds what it needs in build/bench.
set -euo pipefail
before=$(cd "${1:?the folder of the earlier quernel-render}" && pwd)
runs=${2:-7}
source "$(dirname "$0")/common.sh" quernel-render make_printout make_graphics_printout
"$build/bin/make_graphics_printout" 100 "$work/graphics.prn"
"$build/bin/make_printout" 1000 "$work/text.prn" "$work/plain.txt"
export QT_QPA_PLATFORM=offscreen

# compare NAME PAGES PRINTOUT OPTIONS...
compare() {
    local name=$1 pages=$2 printout=$3
    shift 3
    for ((i = 0; i < runs; i++)); do
        measure "$name.before" "$before/quernel-render" "$printout" "$@" -o "$work/before.pdf"
        measure "$name.now" "$build/bin/quernel-render" "$printout" "$@" -o "$work/now.pdf"
    done
    awk -v n="$name" -v p="$pages" -v bw="$(median "$work/$name.before.wall")" \
        -v bc="$(median "$work/$name.before.cpu")" -v nw="$(median "$work/$name.now.wall")" \
        -v nc="$(median "$work/$name.now.cpu")" 'BEGIN {
        printf "%-16s wall %6.3f -> %6.3f ms/page (%+.1f %%)   CPU %6.3f -> %6.3f ms/page (%+.1f %%)\n",
            n, bw / 1000 / p, nw / 1000 / p, (nw / bw - 1) * 100,
            bc / 1000 / p, nc / 1000 / p, (nc / bc - 1) * 100 }'
}

echo "$runs runs each, medians; before: $before"
compare graphics-escp 100 "$work/graphics.prn" --commands escp
compare text-table 1000 "$work/text.prn"
compare text-escp 1000 "$work/text.prn" --commands escp
