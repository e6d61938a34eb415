# Sourced by the benchmark scripts: builds the targets given (Release) in build/bench and makes
# a temporary folder `work`, removed at the end; sets `root` and `build`, and defines `median`.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUERNEL_BUILD_TESTS=OFF \
    -DQUERNEL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target "$@" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# median [FILE]: the median of the first fields of the lines of FILE (or of the input).
median() { sort -n "$@" | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
