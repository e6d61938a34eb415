#!/bin/sh
# PDF output against CUPS's texttopdf on the same text, in one run:
#   bench/pdf_vs_texttopdf.sh [BUILD_DIR] [PAGES] [ROUNDS]
# Runs, alternately ROUNDS times, each under /usr/bin/time for the wall time and peak memory:
#  - quernel_pdf_bench: PAGES pages of 80 x 66 characters of words drawn through
#    IPrinterPlatform into "Quernel PDF", one TextOut per character;
#  - quernel-render: the same text as a DOS printout (code page 852), read, laid out on an
#    80 x 66 grid and written to a PDF file;
#  - texttopdf on the same text as plain UTF-8;
# and prints the medians.
set -eu

build=${1:-build/release}
pages=${2:-1000}
rounds=${3:-5}
bench="$build/bench/quernel_pdf_bench"
render="$build/bin/quernel-render"
texttopdf=/usr/lib/cups/filter/texttopdf
[ -x "$bench" ] || { echo "no $bench: build the quernel_pdf_bench target" >&2; exit 1; }
[ -x "$render" ] || { echo "no $render: build the quernel-render target" >&2; exit 1; }
[ -x "$texttopdf" ] || { echo "no $texttopdf (cups-filters)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$bench" --pages "$pages" --dry --text "$work/text.txt" \
    --printout "$work/printout.prn" "$work" >/dev/null 2>&1

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for i in $(seq "$rounds"); do
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%e %M" -o "$work/q.time" \
        "$bench" --pages "$pages" "$work" >"$work/q.out" 2>/dev/null
    cat "$work/q.time" >>"$work/q.times"
    sed -n 's/^PDF: \([0-9.]*\) s.*/\1/p' "$work/q.out" >>"$work/q.draw"
    sed -n 's/.*, \([0-9.]*\) KiB per page.*/\1/p' "$work/q.out" >"$work/q.size"
    rm -f "$work"/*.pdf
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%e %M" -o "$work/r.time" \
        "$render" --grid 80,66 -o "$work/render.pdf" "$work/printout.prn" >/dev/null 2>&1
    cat "$work/r.time" >>"$work/r.times"
    /usr/bin/time -f "%e %M" -o "$work/t.time" \
        "$texttopdf" 1 user title 1 "" "$work/text.txt" >"$work/t.pdf" 2>/dev/null
    cat "$work/t.time" >>"$work/t.times"
done

q_time=$(cut -d' ' -f1 "$work/q.times" | median)
q_draw=$(median <"$work/q.draw")
q_mem=$(cut -d' ' -f2 "$work/q.times" | median)
r_time=$(cut -d' ' -f1 "$work/r.times" | median)
r_mem=$(cut -d' ' -f2 "$work/r.times" | median)
r_pages=$(pdfinfo "$work/render.pdf" 2>/dev/null | sed -n 's/^Pages: *//p')
r_size=$(stat -c %s "$work/render.pdf")
t_time=$(cut -d' ' -f1 "$work/t.times" | median)
t_mem=$(cut -d' ' -f2 "$work/t.times" | median)
t_pages=$(pdfinfo "$work/t.pdf" 2>/dev/null | sed -n 's/^Pages: *//p')
t_size=$(stat -c %s "$work/t.pdf")

echo "median of $rounds rounds, $pages pages of 80 x 66 characters"
printf 'quernel_pdf_bench  process %6.2f s  (drawing and writing %s s)  %s KiB/page  peak %s KiB\n' \
    "$q_time" "$q_draw" "$(cat "$work/q.size")" "$q_mem"
printf 'quernel-render     process %6.2f s  %s pages  %.2f KiB/page  peak %s KiB\n' \
    "$r_time" "$r_pages" "$(echo "$r_size / 1024 / $pages" | bc -l)" "$r_mem"
printf 'texttopdf          process %6.2f s  %s pages  %.2f KiB/page  peak %s KiB\n' \
    "$t_time" "$t_pages" "$(echo "$t_size / 1024 / $pages" | bc -l)" "$t_mem"
printf 'ratio to texttopdf: quernel-render %.2f; quernel_pdf_bench process %.2f, drawing and writing %.2f\n' \
    "$(echo "$r_time / $t_time" | bc -l)" "$(echo "$q_time / $t_time" | bc -l)" \
    "$(echo "$q_draw / $t_time" | bc -l)"
