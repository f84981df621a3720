#!/usr/bin/env bash
# Runs the README's emulator examples as a reader would type them (with the build folder under
# test in place of ./build): every command-line example must succeed; a window example, which
# would run until closed, must name a program that exists and options the emulator accepts (it
# runs `true` in the window's place). Arguments: <build dir> <source dir>.
set -euo pipefail
build=$(cd "$1" && pwd)
# The updates the examples run are recorded: into a state folder of the script's own.
XDG_STATE_HOME=$(mktemp -d)
export XDG_STATE_HOME
trap 'rm -rf "$XDG_STATE_HOME"' EXIT
cd "$2"
mapfile -t examples < <(grep -E '^    \./build/velantrix-probe-emulator ' README.md)
[ ${#examples[@]} -gt 0 ] || { echo "no emulator examples found in README.md"; exit 1; }
for example in "${examples[@]}"; do
    command=${example//.\/build\//$build/}
    echo "== ${example# *}"
    if [[ $example == *" -- ./build/velantrix-update" ]]; then
        [ -x "$build/velantrix-update" ] || { echo "no $build/velantrix-update"; exit 1; }
        command="${command% -- *} -- true"
    fi
    bash -c "$command" </dev/null
done
