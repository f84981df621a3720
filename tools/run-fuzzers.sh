#!/usr/bin/env bash
# Builds the libFuzzer targets (every fuzz/fuzz_*.cpp) with the CMake preset `fuzz` (clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz/) and runs each over its seeds for
# a fixed number of inputs. Exits non-zero on the first target that crashes, leaks or breaks a
# check; the input that did it and the log are left in build-fuzz/findings/.
#
#   tools/run-fuzzers.sh [runs]                 default: 20000 runs
#   FUZZ_SECONDS=600 tools/run-fuzzers.sh 0     each target for ten minutes instead (runs 0: no limit)
#
# New inputs collect in build-fuzz/corpus/<target>/; the seeds in fuzz/corpus/ are only read.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-20000}
BUILD_DIR=build-fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"${JOBS:-$(nproc)}"
mkdir -p "$BUILD_DIR/findings"
limit=(-runs="$RUNS")
[ "$RUNS" = 0 ] && limit=()
[ -n "${FUZZ_SECONDS:-}" ] && limit+=(-max_total_time="$FUZZ_SECONDS")
for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    mkdir -p "$BUILD_DIR/corpus/$target" "fuzz/corpus/$target"
    echo "== $target"
    log="$BUILD_DIR/findings/$target.log"
    if ! ASAN_OPTIONS=detect_leaks=1 "$BUILD_DIR/fuzz/$target" "${limit[@]}" -seed=1 \
        -print_final_stats=1 -artifact_prefix="$BUILD_DIR/findings/$target-" \
        "$BUILD_DIR/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "$target failed; the input is in $BUILD_DIR/findings/" >&2
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)' "$log" || true
done
