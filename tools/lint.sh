#!/usr/bin/env bash
# Static checks on the project's own C++: formatting, clang-tidy and cppcheck.
#   tools/lint.sh          all three (clang-tidy needs a configured build/ for its compile commands)
#   tools/lint.sh format   only the formatting check (what CI runs)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
mapfile -t sources < <(git ls-files '*.cpp' '*.h')

echo "== clang-format"
clang-format --dry-run -Werror "${sources[@]}"
[ "${1:-}" = format ] && exit 0

echo "== cppcheck"
mapfile -t units < <(git ls-files '*.cpp' | grep -v -e '^tests/' -e '/tests/' -e '^fuzz/' -e '^bench/')
cppcheck --enable=warning,performance,portability --std=c++20 --quiet --error-exitcode=1 \
    --suppress=missingIncludeSystem -I . "${units[@]}"

echo "== clang-tidy"
[ -f "$BUILD_DIR/compile_commands.json" ] || { echo "configure $BUILD_DIR first" >&2; exit 1; }
# Only what this build compiles: the other system's platform backend is not in it.
mapfile -t units < <(for unit in "${units[@]}"; do
    grep -qF "/$unit\"" "$BUILD_DIR/compile_commands.json" && echo "$unit"; done)
printf '%s\n' "${units[@]}" | xargs -P"$(nproc)" -n8 clang-tidy -p "$BUILD_DIR" --quiet \
    --warnings-as-errors='*' 2>/dev/null
echo "lint clean"
