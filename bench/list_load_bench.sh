#!/usr/bin/env bash
# Start-up with a long monitored list: the time from starting `quernel --headless` to its line
# "Monitorowanie włączone", for stored lists of N single-file entries (default 10000 and
# 20000), and for a count far above the entries present (MonitoredFilesCNT=3000000 with 10
# entries). Each figure is the median of 3 runs. Usage: bench/list_load_bench.sh [N...]; it
# builds what it needs in build/bench (Release).
set -euo pipefail
source "$(dirname "$0")/common.sh" quernel
mkdir -p "$work/home/QUERNEL" "$work/program" "$work/config/Brackwood"

# settings COUNT ENTRIES: a settings file whose count is COUNT, with ENTRIES entries stored
settings() {
    awk -v count="$1" -v n="$2" -v dir="$work/spool" 'BEGIN {
        print "[General]"; print "AutoRun=0"; print "MonitoredFilesCNT=" count
        for (i = 0; i < n; i++) printf "MonitoredFile%d=%s/LPT%06d.PRN\n", i, dir, i
    }' >"$work/config/Brackwood/Quernel.conf"
}

# startup: seconds until monitoring is on, and the history lines written
startup() {
    local out="$work/out.txt" start end
    : >"$out"
    start=$(date +%s.%N)
    env HOME="$work/home" QUERNEL_CONFIG_HOME="$work/config" \
        QUERNEL_CONFIG_MACHINE="$work/machine" QUERNEL_PROGRAM_DIR="$work/program" \
        QUERNEL_PDF_DIR="$work/pdf" QUERNEL_STATE_HOME="$work/state" CUPS_SERVER="$work/no.sock" \
        QT_QPA_PLATFORM=offscreen "$build/bin/quernel" --headless >"$out" 2>&1 &
    local pid=$!
    until grep -q "Monitorowanie włączone" "$out"; do
        kill -0 "$pid" 2>/dev/null || { echo "quernel ended:"; cat "$out"; exit 1; }
        sleep 0.01
    done
    end=$(date +%s.%N)
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$work/state"
    awk -v s="$start" -v e="$end" -v l="$(wc -l <"$out")" 'BEGIN { printf "%.3f %d\n", e - s, l }'
}

# median3 CMD...: the median of three runs' first fields, and the last run's second field
median3() {
    local runs=()
    for _ in 1 2 3; do runs+=("$("$@")"); done
    printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p
}

sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10000 20000)
for n in "${sizes[@]}"; do
    settings "$n" "$n"
    read -r secs lines < <(median3 startup)
    printf '%8d entries:            %6.3f s to monitoring, %d history lines\n' "$n" "$secs" "$lines"
done
settings 3000000 10
read -r secs lines < <(median3 startup)
printf 'count 3000000, 10 entries: %6.3f s to monitoring, %d history lines\n' "$secs" "$lines"
