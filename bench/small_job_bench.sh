#!/usr/bin/env bash
# A small job, where start-up dominates: a generated printout of 10 pages rendered to PDF by
# quernel-render, and the same text given to CUPS's texttopdf filter, run alternately 31 times
# each. Prints the median wall time and the median CPU time (user + system) of both, and the
# ratios. Usage: bench/small_job_bench.sh [PAGES [RUNS]]; it builds what it needs in
# build/bench (Release).
set -euo pipefail
pages=${1:-10}
runs=${2:-31}
source "$(dirname "$0")/common.sh" quernel-render make_printout
"$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"

for _ in $(seq "$runs"); do
    measure quernel "$build/bin/quernel-render" "$work/printout.prn" -o "$work/quernel.pdf"
    measure texttopdf /usr/lib/cups/filter/texttopdf 1 bench bench 1 "" "$work/plain.txt"
done
echo "$pages pages, $runs runs each, medians:"
awk -v qw="$(median "$work/quernel.wall")" -v tw="$(median "$work/texttopdf.wall")" \
    -v qc="$(median "$work/quernel.cpu")" -v tc="$(median "$work/texttopdf.cpu")" 'BEGIN {
    printf "%-28s %8s %8s\n", "", "wall", "CPU"
    printf "%-28s %6.1f ms %6.1f ms\n", "quernel-render -o out.pdf", qw / 1000, qc / 1000
    printf "%-28s %6.1f ms %6.1f ms\n", "texttopdf", tw / 1000, tc / 1000
    printf "ratio quernel/texttopdf: wall %.2f, CPU %.2f\n", qw / tw, qc / tc }'
