#!/usr/bin/env bash
# The CUPS filter's cost per job, where start-up dominates: a generated 10-page printout
# rendered by quernel-filter (as CUPS runs it, with the queue's PPD, from a file) and the same
# text given to CUPS's texttopdf filter, run alternately RUNS times each; quernel-render on the
# printout for comparison. Prints the median wall and CPU times and the ratios.
# Usage: bench/filter_startup_bench.sh [PAGES [RUNS]]; builds what it needs in build/bench.
set -euo pipefail
pages=${1:-10}
runs=${2:-31}
source "$(dirname "$0")/common.sh" quernel-filter quernel-render quernel-make-ppd make_printout
"$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"
"$build/app/quernel-make-ppd" "$root/data" quernel-filter "$work/queue.ppd"
mkdir -p "$work/tmp"
export TMPDIR="$work/tmp" PPD="$work/queue.ppd"

for _ in $(seq "$runs"); do
    measure filter "$build/bin/quernel-filter" 1 bench bench 1 "" "$work/printout.prn"
    measure texttopdf /usr/lib/cups/filter/texttopdf 1 bench bench 1 "" "$work/plain.txt"
    measure render env QT_QPA_PLATFORM=offscreen "$build/bin/quernel-render" "$work/printout.prn" \
        -o "$work/render.pdf"
done
grep -q "^%PDF" "$work/filter.out" || { echo "quernel-filter made no PDF" >&2; exit 1; }
echo "$pages pages, $runs runs each, medians:"
awk -v fw="$(median "$work/filter.wall")" -v tw="$(median "$work/texttopdf.wall")" \
    -v rw="$(median "$work/render.wall")" -v fc="$(median "$work/filter.cpu")" \
    -v tc="$(median "$work/texttopdf.cpu")" -v rc="$(median "$work/render.cpu")" 'BEGIN {
    printf "%-30s %8s %8s\n", "", "wall", "CPU"
    printf "%-30s %6.1f ms %6.1f ms\n", "quernel-filter (CUPS filter)", fw / 1000, fc / 1000
    printf "%-30s %6.1f ms %6.1f ms\n", "texttopdf", tw / 1000, tc / 1000
    printf "%-30s %6.1f ms %6.1f ms\n", "quernel-render -o out.pdf", rw / 1000, rc / 1000
    printf "ratio quernel-filter/texttopdf: wall %.2f, CPU %.2f\n", fw / tw, fc / tc }'
