#!/usr/bin/env bash
# Builds the benchmarks with the CMake preset `bench` (Release, in build-bench/), runs them,
# measures the program as a process (start-up, 30 s idle, peak memory) and prints one table with
# every figure beside its target. Takes a few minutes; no display and no hardware needed.
#
#   bench/run-benchmarks.sh [--quick] [--idle-seconds N] [--keep DIR]
#
#   --quick         one short repetition of each benchmark, 5 s idle: checks the script, not the
#                   figures
#   --keep          also keep the raw Google Benchmark JSON and console output in DIR
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$source_dir/build-bench
repetitions=3
min_time=0.3
idle_seconds=30
startup_runs=10
keep=""

while [ $# -gt 0 ]; do
    case $1 in
    --quick) repetitions=1 min_time=0.01 idle_seconds=5 startup_runs=3 ;;
    --idle-seconds) idle_seconds=$2; shift ;;
    --keep) keep=$2; shift ;;
    *) echo "usage: $0 [--quick] [--idle-seconds N] [--keep DIR]" >&2; exit 2 ;;
    esac
    shift
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The poll on made-up sysfs trees needs umockdev (the build leaves it out without it).
targets=(vx_bench_core vx_bench_gui vx_bench_many vx_bench_startup velantrix-update)
if pkg-config --exists umockdev-1.0; then
    targets+=(vx_bench_udev)
else
    echo "umockdev not installed: no made-up sysfs listings" >&2
fi

echo "Building in $build_dir (Release) ..." >&2
if ! (cd "$source_dir" && cmake --preset bench &&
    cmake --build --preset bench -j"$(nproc)" --target "${targets[@]}") >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen

# run NAME COMMAND...: the benchmark arguments go last, so COMMAND may be a wrapper.
run() {
    local name=$1
    shift
    echo "Running $name ..." >&2
    if ! "$@" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
        --benchmark_min_time="$min_time" --benchmark_out="$work/$name.json" \
        --benchmark_out_format=json >"$work/$name.txt" 2>&1; then
        cat "$work/$name.txt" >&2
        exit 1
    fi
}

run core "$build_dir/bench/vx_bench_core"
run gui "$build_dir/bench/vx_bench_gui"
run many "$build_dir/bench/vx_bench_many"
if [ -x "$build_dir/bench/vx_bench_udev" ]; then
    run udev "$build_dir/bench/vx_bench_udev"
fi

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp "$work"/*.json "$work"/*.txt "$keep"/
fi

echo "Measuring start-up, then ${idle_seconds} s idle ..." >&2
python3 "$source_dir/bench/report.py" --results "$work" --build "$build_dir" \
    --idle-seconds "$idle_seconds" --startup-runs "$startup_runs"
