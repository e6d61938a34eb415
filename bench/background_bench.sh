#!/usr/bin/env bash
# The cost of a background picture: an A4 picture at 300 dpi, as a JPEG and as a PNG (made by
# the benchmark), under a 10-page printout. JOBS jobs (default 5) run in one process as the
# monitoring program runs them (one printer platform, one picture loader), without a picture,
# with the JPEG and with the PNG; then quernel-render runs RUNS times (default 3) for each.
# Prints the medians, the PDF sizes and the pictures the PDFs hold.
# Usage: bench/background_bench.sh [JOBS [RUNS]]; it builds what it needs in build/bench
# (Release).
set -euo pipefail
jobs=${1:-5}
runs=${2:-3}
source "$(dirname "$0")/common.sh" quernel-render make_printout make_picture background_bench
export QT_QPA_PLATFORM=offscreen
"$build/bin/make_printout" 10 "$work/printout.prn" "$work/plain.txt"
"$build/bin/make_picture" "$work/picture.jpg" "$work/picture.png"
echo "10 pages; pictures 2480 x 3508: JPEG $(stat -c %s "$work/picture.jpg") B," \
    "PNG $(stat -c %s "$work/picture.png") B"

# in_process NAME [PICTURE]: JOBS jobs in one process
in_process() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    "$build/bin/background_bench" "$work/printout.prn" "$jobs" "$work/$name" "$@" \
        >"$work/$name.times" 2>"$work/$name.err" || { cat "$work/$name.err"; exit 1; }
    printf "%-5s %d jobs in one process: median %6.3f s a job, first %6.3f s, %9d B a PDF\n" \
        "$name" "$jobs" "$(awk '{print $3}' "$work/$name.times" | median)" \
        "$(awk 'NR == 1 {print $3}' "$work/$name.times")" \
        "$(stat -c %s "$work/$name/job$jobs.pdf")"
}

# one_shot NAME [PICTURE]: quernel-render RUNS times
one_shot() {
    local name=$1
    shift
    local picture=()
    [ $# -gt 0 ] && picture=(--background "$1")
    : >"$work/$name.runs"
    for _ in $(seq "$runs"); do
        /usr/bin/time -f "%e %M" -o "$work/$name.time" "$build/bin/quernel-render" \
            "$work/printout.prn" "${picture[@]}" -o "$work/$name.pdf" 2>"$work/$name.err" ||
            { cat "$work/$name.err"; exit 1; }
        cat "$work/$name.time" >>"$work/$name.runs"
    done
    printf "%-5s quernel-render, median of %d: %6.2f s, %6.1f MiB peak, %9d B\n" "$name" "$runs" \
        "$(awk '{print $1}' "$work/$name.runs" | median)" \
        "$(awk '{print $2 / 1024}' "$work/$name.runs" | median)" "$(stat -c %s "$work/$name.pdf")"
}

in_process none
in_process jpeg "$work/picture.jpg"
in_process png "$work/picture.png"
one_shot none
one_shot jpeg "$work/picture.jpg"
one_shot png "$work/picture.png"
for name in jpeg png; do
    # pdfimages -list: page num type width height color comp bpc enc interp object ...
    pdfimages -list "$work/$name.pdf" | awk -v n="$name" 'NR > 2 {
            uses++; objects[$11] = $4 "x" $5 " " $6 " " $9 " " $15 }
        END { printf "%-5s PDF: %d uses of %d stored picture(s):", n, uses, length(objects)
              for (o in objects) printf " %s", objects[o]; print "" }'
done
