# Shared by the benchmark scripts; sourced. bench_prepare TARGET...: builds the targets in
# build/bench (Release) and sets $build and $work (a temporary folder removed at the end).
bench_prepare() {
    root=$(cd "$(dirname "${BASH_SOURCE[1]}")/.." && pwd)
    build="$root/build/bench"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUERNEL_BUILD_TESTS=OFF \
        -DQUERNEL_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" -j2 --target "$@" >/dev/null
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}
