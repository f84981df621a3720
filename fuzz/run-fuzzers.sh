#!/usr/bin/env bash
# Builds the libFuzzer targets with the CMake preset `fuzz` (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer on, in build-fuzz/) and runs each one over its seed corpus for a
# fixed number of inputs. Exits non-zero on the first target that crashes, leaks or breaks one of
# its checks; the input that did it is left in build-fuzz/findings/.
#
#   fuzz/run-fuzzers.sh [runs]                 default: 20000 runs
#   FUZZ_SECONDS=600 fuzz/run-fuzzers.sh 0     each target for ten minutes instead (runs 0: no limit)
#
# New interesting inputs collect in build-fuzz/corpus/<target>/ and are kept between runs; the
# seeds in fuzz/corpus/<target>/ are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-20000}
BUILD_DIR=build-fuzz
JOBS=${JOBS:-$(nproc)}
TARGETS=(fuzz_ftdi_framing fuzz_loader_replies fuzz_instance_id fuzz_utf16 fuzz_update)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$JOBS"

mkdir -p "$BUILD_DIR/findings"
limit=(-runs="$RUNS")
[ "$RUNS" = 0 ] && limit=()
[ -n "${FUZZ_SECONDS:-}" ] && limit+=(-max_total_time="$FUZZ_SECONDS")
for target in "${TARGETS[@]}"; do
    mkdir -p "$BUILD_DIR/corpus/$target"
    echo "== $target"
    log="$BUILD_DIR/findings/$target.log"
    start=$(date +%s)
    set +e
    ASAN_OPTIONS=detect_leaks=1 "$BUILD_DIR/fuzz/$target" "${limit[@]}" -seed=1 -print_final_stats=1 \
        -artifact_prefix="$BUILD_DIR/findings/$target-" \
        "$BUILD_DIR/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    set -e
    grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$log" || true
    echo "   $(($(date +%s) - start)) s"
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$log" >&2
        echo "$target failed (exit $status); the input is in $BUILD_DIR/findings/" >&2
        exit "$status"
    fi
done
