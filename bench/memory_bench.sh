#!/usr/bin/env bash
# Peak memory of quernel-render on the rendering benchmark's printout at several lengths
# (default 10 100 1000 10000 pages): pages go to the file as they end, so the peak less the
# printout (which is held whole, mapped) should not grow with the pages.
# Usage: bench/memory_bench.sh [PAGES...]; it builds what it needs in build/bench (Release).
set -euo pipefail
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10 100 1000 10000)
source "$(dirname "$0")/common.sh" quernel-render make_printout
for pages in "${sizes[@]}"; do
    "$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"
    /usr/bin/time -f "%e %M" -o "$work/time" env QT_QPA_PLATFORM=offscreen \
        "$build/bin/quernel-render" "$work/printout.prn" -o "$work/out.pdf" 2>"$work/err" ||
        { cat "$work/err"; exit 1; }
    read -r secs kib <"$work/time"
    awk -v p="$pages" -v s="$secs" -v k="$kib" -v input="$(stat -c %s "$work/printout.prn")" \
        -v out="$(stat -c %s "$work/out.pdf")" 'BEGIN {
            printf "%6d pages: %7.2f s, input %6.1f MiB, peak %6.1f MiB, peak - input %5.1f MiB, %5.2f KiB/page\n",
                p, s, input / 1048576, k / 1024, k / 1024 - input / 1048576, out / 1024 / p }'
done
