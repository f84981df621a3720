#!/usr/bin/env bash
# The whole test suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, built
# with the CMake preset `asan` in build-asan/. Any finding fails the run (CI calls this after the
# normal suite). The sanitizers' options are the `asan` test preset's.
#
# Leaks reported inside third-party libraries (Qt's platform plugins, fontconfig, glib) are
# suppressed by tools/lsan.supp; leaks in our own code are never suppressed.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}

cmake --preset asan >/dev/null
cmake --build --preset asan -j"$JOBS"
ctest --preset asan --no-tests=error -j"$JOBS"
