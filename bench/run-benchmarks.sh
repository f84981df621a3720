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

echo "Building in $build_dir (Release) ..." >&2
if ! (cd "$source_dir" && cmake --preset bench && cmake --build --preset bench -j"$(nproc)") \
    >"$work/build.log" 2>&1; then
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

# A made-up sysfs of `count` USB devices (none of them a probe), each with one interface.
testbed() {
    local count=$1 i
    for ((i = 0; i < count; i++)); do
        printf 'P: /devices/pci0000:00/0000:00:14.0/usb1/1-%d\n' $((i + 1))
        printf 'N: bus/usb/001/%03d\n' $((i + 2))
        printf 'E: DEVNAME=/dev/bus/usb/001/%03d\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n' $((i + 2))
        printf 'A: idVendor=0f0f\nA: idProduct=%04x\nA: serial=NB%06d\n' $((0x100 + i % 16)) "$i"
        printf 'A: manufacturer=Generic\nA: product=Storage\n\n'
        printf 'P: /devices/pci0000:00/0000:00:14.0/usb1/1-%d/1-%d:1.0\n' $((i + 1)) $((i + 1))
        printf 'E: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\nA: bInterfaceNumber=00\n\n'
    done
}

run core "$build_dir/bench/vx_bench_core"
run gui "$build_dir/bench/vx_bench_gui"
udev_results=()
if command -v umockdev-run >/dev/null; then
    for count in 1 10 127; do
        testbed "$count" >"$work/testbed-$count.umockdev"
        run "udev-$count" umockdev-run --device "$work/testbed-$count.umockdev" -- \
            "$build_dir/bench/vx_bench_gui" --benchmark_filter='^PollUdev$'
        udev_results+=("$count=udev-$count")
    done
else
    echo "umockdev-run not installed: no made-up sysfs listings" >&2
fi

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    cp "$work"/*.json "$work"/*.txt "$keep"/
fi

echo "Measuring start-up, then ${idle_seconds} s idle ..." >&2
python3 "$source_dir/bench/report.py" --results "$work" --build "$build_dir" \
    --idle-seconds "$idle_seconds" --startup-runs "$startup_runs" --udev "${udev_results[@]}"
