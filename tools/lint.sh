#!/usr/bin/env bash
# Static checks on the project's own C++: formatting, cppcheck and clang-tidy (.clang-tidy), each
# finding an error. CI runs all three.
#   tools/lint.sh          all three
#   tools/lint.sh format   only the formatting check
#
# clang-tidy reads the compile commands and generated sources of the `dev` preset's build (`ci`
# when CI is set), and configures and builds it first if needed. It checks the program (app, ui,
# firmware, link, loader, platform, cli) and the virtual probe and emulator (sim, emulator) with
# their headers; tests, fuzz targets and benchmarks are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
mapfile -t sources < <(git ls-files '*.cpp' '*.h')

echo "== clang-format"
clang-format --dry-run -Werror "${sources[@]}"
[ "${1:-}" = format ] && exit 0

echo "== cppcheck"
start=$SECONDS
mapfile -t units < <(git ls-files '*.cpp' | grep -v -e '^tests/' -e '/tests/' -e '^fuzz/' -e '^bench/')
cppcheck --enable=warning,performance,portability --std=c++20 --quiet --error-exitcode=1 \
    --suppress=missingIncludeSystem -I . "${units[@]}"
echo "   $((SECONDS - start)) s"

echo "== clang-tidy"
start=$SECONDS
preset=dev build_dir=build
[ -n "${CI:-}" ] && preset=ci build_dir=build-ci
[ -f "$build_dir/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
if ! log=$(cmake --build --preset "$preset" -j"$JOBS" 2>&1); then
    echo "$log" >&2
    exit 1
fi
# The translation units of the build (so only the platform backend it compiles), by path.
mapfile -t units < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build_dir/compile_commands.json" |
    sed -e "s|^$PWD/||" -e "s|^$(pwd -P)/||" | grep -E '^(app|ui|firmware|link|loader|platform|cli|sim|emulator)/' |
    grep -v '/tests/' | sort -u)
[ ${#units[@]} -gt 0 ] || { echo "no sources in $build_dir/compile_commands.json" >&2; exit 1; }
status=0
printf '%s\n' "${units[@]}" | xargs -P"$JOBS" -n1 clang-tidy -p "$build_dir" --quiet \
    --warnings-as-errors='*' 2> >(grep -v -E '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' >&2) ||
    status=$?
[ "$status" -eq 0 ] || { echo "clang-tidy found problems" >&2; exit 1; }
echo "   ${#units[@]} translation units, $((SECONDS - start)) s"
echo "lint clean"
