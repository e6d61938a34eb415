#!/usr/bin/env bash
# Renders a realistic 1000-page DOS printout to PDF with quernel-render and gives the same
# text to CUPS's texttopdf filter and to paps, in one run; prints times, output sizes, peak
# memory and the ratios. Usage: bench/render_bench.sh [PAGES]; it builds what it needs in
# build/bench (Release).
set -euo pipefail
pages=${1:-1000}
source "$(dirname "$0")/setup.sh"
bench_prepare quernel-render make_printout
"$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"

# measure NAME OUTPUT COMMAND...: wall seconds and peak resident MiB of one run
measure() {
    local name=$1 out=$2
    shift 2
    /usr/bin/time -f "%e %M" -o "$work/$name.time" "$@" >"$out" 2>"$work/$name.err" ||
        { echo "$name failed:"; cat "$work/$name.err"; exit 1; }
    read -r secs kib <"$work/$name.time"
    local size
    size=$(stat -c %s "$out")
    [ "$name" = quernel ] && size=$(stat -c %s "$work/quernel.pdf")
    awk -v n="$name" -v s="$secs" -v k="$kib" -v b="$size" -v p="$pages" \
        'BEGIN { printf "%-10s %8.2f s %8.1f MiB peak %9.2f KiB/page\n", n, s, k / 1024, b / 1024 / p }'
    eval "${name}_secs=$secs"
}

echo "$pages pages, $(stat -c %s "$work/printout.prn") bytes of printout"
measure quernel "$work/quernel.out" env QT_QPA_PLATFORM=offscreen \
    "$build/bin/quernel-render" "$work/printout.prn" -o "$work/quernel.pdf"
measure texttopdf "$work/texttopdf.pdf" /usr/lib/cups/filter/texttopdf 1 bench bench 1 "" \
    "$work/plain.txt"
measure paps "$work/paps.ps" paps "$work/plain.txt"
awk -v q="$quernel_secs" -v t="$texttopdf_secs" -v p="$paps_secs" \
    'BEGIN { printf "ratio quernel/texttopdf %.2f, quernel/paps %.2f\n", q / t, q / p }'
echo "pages in the quernel PDF: $(pdfinfo "$work/quernel.pdf" | awk '/^Pages/ {print $2}')"
