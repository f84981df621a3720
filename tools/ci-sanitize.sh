#!/usr/bin/env bash
# The whole test suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, in a
# build directory of its own. Any finding fails the run (CI calls this after the normal suite).
#
#   tools/ci-sanitize.sh [build-dir]        default: build-asan
#
# Leaks reported inside third-party libraries (Qt's platform plugins, fontconfig, glib) are
# suppressed by tools/lsan.supp; leaks in our own code are never suppressed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build-asan}
JOBS=${JOBS:-$(nproc)}

options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_SANITIZE=ON -DVX_WERROR=ON)
cmake -S . -B "$BUILD_DIR" "${options[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS"

export ASAN_OPTIONS="suppressions=$PWD/tools/asan.supp:detect_leaks=1:verify_asan_link_order=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
(cd "$BUILD_DIR" && ctest --output-on-failure -j"$JOBS")
