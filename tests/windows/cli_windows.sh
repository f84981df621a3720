#!/usr/bin/env bash
# velantrix-update-cli.exe as a user runs it on Windows (under Wine in a cross-build):
#   cli_windows.sh WINE|"" EXE SOURCE_DIR
set -uo pipefail
wine=$1 exe=$2 source=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
# The console's line ends are \r\n on Windows.
run() { ${wine:+"$wine"} "$exe" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The catalogue itself the command-line suite checks; here, that the program prints it.
images=$(run images) || fail "images exited $?"
grep -q "Velantrix Heron" <<<"$images" || fail "images printed: $images"

# Nothing attached: the sentence, and exit status 3, as on Linux.
list=$(run list)
status=$?
[ "$status" -eq 3 ] || fail "list exited $status"
grep -qF "No devices connected, attach the Velantrix you wish to configure." <<<"$list" ||
    fail "list printed: $list"

notes=$(run notes heron) || fail "notes exited $?"
[ "$notes" = "$(tr -d '\r' <"$source/firmware/notes/heron.txt")" ] || fail "notes heron: $notes"
echo "velantrix-update-cli.exe: images, list and notes as expected"
