#!/usr/bin/env bash
# Throughput of a DOS printer queue: JOBS printouts of PAGES pages sent at once (lp, one after
# the other without waiting) to a DOS queue of a private CUPS scheduler, against the same text
# sent to a text queue whose filter is CUPS's texttopdf, each queue in front of the same kind
# of device (the capture backend). Prints the time from the first job sent until all arrived.
# Usage: bench/queue_throughput_bench.sh [JOBS [PAGES]]; builds what it needs (Release) in
# build/bench-queue.
set -euo pipefail
jobs=${1:-100}
pages=${2:-10}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench-queue"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUERNEL_BUILD_TESTS=ON \
    -DQUERNEL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target quernel-cups-harness quernel-filter quernel-make-ppd \
    make_printout >/dev/null
work=$(mktemp -d)
harness_pid=
cleanup() {
    [ -n "$harness_pid" ] && kill "$harness_pid" 2>/dev/null && wait "$harness_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"
"$build/app/quernel-make-ppd" "$root/data" quernel-filter "$work/dos.ppd"
# The text queue: text/plain goes through texttopdf (CUPS's own rule) to PDF, which the queue
# hands to its device as it is.
cat >"$work/text.ppd" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TEXTPDF.PPD"
*Manufacturer: "Bench"
*Product: "(Text to PDF)"
*ModelName: "Text to PDF"
*ShortNickName: "Text to PDF"
*NickName: "Text to PDF"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*cupsFilter2: "application/pdf application/pdf 0 -"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: ""
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
PPD

"$build/bin/quernel-cups-harness" --filter "$build/bin/quernel-filter" \
    --mime "$root/data/cups/quernel.types" >"$work/harness.txt" 2>&1 &
harness_pid=$!
for _ in $(seq 100); do
    grep -q "^# Ctrl-C" "$work/harness.txt" && break
    sleep 0.1
done
export CUPS_SERVER=$(sed -n 's/^export CUPS_SERVER=//p' "$work/harness.txt")
capture=$(sed -n 's/^# captured jobs: \(.*\)\/<queue>.*/\1/p' "$work/harness.txt")
[ -n "$CUPS_SERVER" ] || { cat "$work/harness.txt" >&2; exit 1; }
lpadmin -p dos -v quernel-capture:/dos -P "$work/dos.ppd" -E 2>/dev/null
lpadmin -p text -v quernel-capture:/text -P "$work/text.ppd" -E 2>/dev/null

# run QUEUE FILE: sends the jobs, waits for all to arrive; prints the seconds.
run() {
    local queue=$1 file=$2 start end
    start=$(date +%s%N)
    for _ in $(seq "$jobs"); do lp -d "$queue" "$file" >/dev/null; done
    while [ "$(ls "$capture/$queue" 2>/dev/null | grep -c '\.meta$')" -lt "$jobs" ]; do
        sleep 0.05
        if [ $((($(date +%s%N) - start) / 1000000000)) -gt 900 ]; then
            echo "$queue: only $(ls "$capture/$queue" | grep -c '\.meta$') of $jobs jobs" >&2
            exit 1
        fi
    done
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.2f\n", ns / 1e9 }'
}
dos=$(run dos "$work/printout.prn")
text=$(run text "$work/plain.txt")
first=$(ls "$capture/dos"/*.data | head -1)
pdfinfo "$first" | grep -q "^Pages: *$pages$" || { echo "the DOS queue's PDF is wrong" >&2; exit 1; }
echo "$jobs jobs of $pages pages sent at once, until all arrived:"
echo "  DOS queue (quernel-filter):  $dos s"
echo "  text queue (texttopdf):      $text s"
awk -v d="$dos" -v t="$text" 'BEGIN { printf "  ratio DOS/text: %.2f\n", d / t }'
