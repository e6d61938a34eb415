#!/usr/bin/env bash
# Peak memory of quernel-render --explain on printouts of nothing but form feeds (one item per
# byte), at several sizes: the explanation is written as it is found, so the peak should grow
# with the input alone (the input is held in memory), not with the number of items.
# Usage: bench/explain_bench.sh [MB...] (default 5 50); builds what it needs in build/bench.
set -euo pipefail
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(5 50)
source "$(dirname "$0")/common.sh" quernel-render
for mb in "${sizes[@]}"; do
    head -c $((mb * 1000000)) /dev/zero | tr '\0' '\f' >"$work/ff.prn"
    /usr/bin/time -f "%e %M" -o "$work/time" "$build/bin/quernel-render" --explain \
        "$work/ff.prn" >"$work/out.txt"
    read -r secs kib <"$work/time"
    awk -v mb="$mb" -v s="$secs" -v k="$kib" -v l="$(wc -l <"$work/out.txt")" \
        'BEGIN { printf "%4d MB of form feeds: %7.2f s, %8.1f MiB peak, %d lines\n", mb, s, k / 1024, l }'
done
