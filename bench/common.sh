# Sourced by the benchmark scripts: builds the targets given (Release) in build/bench and makes
# a temporary folder `work`, removed at the end; sets `root` and `build`, and defines `median`,
# `children_cpu` and `measure`.
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

# The CPU time of this shell's finished children, in microseconds, from `times` written to a
# file (in a subshell it would count the subshell's children).
children_cpu() {
    awk 'NR == 2 {
        split($1, u, /[ms]/); split($2, s, /[ms]/)
        printf "%d\n", ((u[1] * 60 + u[2]) + (s[1] * 60 + s[2])) * 1000000 }' "$1"
}

# measure NAME COMMAND...: one run, its output in $work/NAME.out; appends its wall and CPU
# (user + system) microseconds to $work/NAME.wall and $work/NAME.cpu.
measure() {
    local name=$1
    shift
    local start end
    # Bash's own clock: a `date` process here would count in the CPU time (4 ms of it under load).
    times >"$work/times.before"
    start=${EPOCHREALTIME//[!0-9]/}
    "$@" >"$work/$name.out" 2>/dev/null
    end=${EPOCHREALTIME//[!0-9]/}
    times >"$work/times.after"
    echo $((end - start)) >>"$work/$name.wall"
    echo $(($(children_cpu "$work/times.after") - $(children_cpu "$work/times.before"))) \
        >>"$work/$name.cpu"
}
