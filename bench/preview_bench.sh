#!/usr/bin/env bash
# The preview of "Ostatnie wydruki" on a long printout (default 1000 pages): the time until
# its first page shows (goal: within 0.5 s), the page count and the last page; RUNS runs each
# (default 9), medians and largest.
# Usage: bench/preview_bench.sh [PAGES [RUNS]]; it builds what it needs in build/bench (Release).
set -euo pipefail
pages=${1:-1000}
runs=${2:-9}
source "$(dirname "$0")/common.sh" make_printout preview_bench quernel_data
export QT_QPA_PLATFORM=offscreen
"$build/bin/make_printout" "$pages" "$work/printout.prn" "$work/plain.txt"
QUERNEL_PROGRAM_DIR="$work/program" "$build/bin/preview_bench" "$work/printout.prn" "$runs"
