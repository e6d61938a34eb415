#!/usr/bin/env bash
# Renders a printout of PAGES invoice pages (default 100), each with a 24-pin graphics band
# 8 inches wide and 60 lines of text, read as ESC/P, to PDF with quernel-render; prints the
# time, the peak memory, the size per page and the pictures the PDF holds. Goals: under 2 s
# and under 40 KiB a page for 100 pages. Usage: bench/commands_bench.sh [PAGES]; it builds
# what it needs in build/bench (Release).
set -euo pipefail
pages=${1:-100}
source "$(dirname "$0")/common.sh" quernel-render make_graphics_printout
"$build/bin/make_graphics_printout" "$pages" "$work/printout.prn"
for run in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time" env QT_QPA_PLATFORM=offscreen \
        "$build/bin/quernel-render" "$work/printout.prn" --commands escp -o "$work/out.pdf" \
        2>"$work/err" || { cat "$work/err"; exit 1; }
    read -r secs kib <"$work/time"
    awk -v r="$run" -v s="$secs" -v k="$kib" -v b="$(stat -c %s "$work/out.pdf")" -v p="$pages" \
        'BEGIN { printf "run %d: %6.2f s %7.1f MiB peak %7.2f KiB/page\n", r, s, k / 1024, b / 1024 / p }'
done
echo "$pages pages, $(stat -c %s "$work/printout.prn") bytes of printout;" \
    "PDF pages: $(pdfinfo "$work/out.pdf" | awk '/^Pages/ {print $2}');" \
    "pictures: $(pdfimages -list "$work/out.pdf" | awk 'NR > 2 && $3 == "stencil"' | wc -l)"
