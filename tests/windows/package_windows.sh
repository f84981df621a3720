#!/usr/bin/env bash
# The Windows zip as a user unpacks it: into an empty folder, and its programs started from
# there under Wine, with no DLL or plugin from anywhere else. The command-line tool prints the
# catalogue (what it prints otherwise the Windows build's cli_tests hold). Where the window is
# built: it (the windows platform plugin, on a virtual X display) shows itself with the no-probe
# sentence and keeps its single-instance lock in the user's temporary folder; a second start
# leaves at once with status 0 and no second window; closing the window ends the program with
# status 0 (and releases the lock the next run's first start needs). The window's screenshot and
# the logs are kept in <build dir>/test-artifacts/windows-package/.
#   package_windows.sh WINE WINDRES BUILD_DIR SOURCE_DIR window|cli   exit 77: a tool is missing
set -euo pipefail
wine=$1 windres=$2 build=$(cd "$3" && pwd) programs=$5 # $4, the sources, is not read
tools=("$wine" "$windres" cpack)
# The screen is read back with OCR: what a user sees, not what the program says it shows.
[ "$programs" = cli ] || tools+=(xvfb-run xauth xdotool import convert tesseract)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not installed"; exit 77; }
done
if [ "$programs" = window ] && [ -z "${VX_ON_XVFB:-}" ]; then
    exec env VX_ON_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
artifacts=$build/test-artifacts/windows-package
rm -rf "$artifacts" && mkdir -p "$artifacts"
work=$(mktemp -d)
window_pid=""
# A window left running (the test failed) would turn the next run's first start away.
stop_window() {
    [ -n "$window_pid" ] || return 0
    kill "$window_pid" 2>/dev/null || true
    "$(dirname "$(command -v "$wine")")/wineserver" -k 2>/dev/null || true
}
trap 'stop_window; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    tail -n 20 "$artifacts"/*.log 2>/dev/null
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/pack" >"$artifacts/cpack.log" 2>&1 ||
    fail "cpack"
mkdir "$work/user"
(cd "$work/user" && cmake -E tar xf "$work"/pack/*.zip)
folder=$(echo "$work"/user/*)
cd "$folder"
expected=(velantrix-update-cli.exe velantrix-probes.inf README.txt)
[ "$programs" = cli ] ||
    expected+=(velantrix-update.exe platforms/qwindows.dll licenses/qt/LGPL-3.0-only.txt)
for file in "${expected[@]}"; do
    [ -f "$file" ] || fail "the zip has no $file"
done
# Each program's manifest and version resource, and the window's icon, as the resource compiler
# reads them back.
for program in *.exe; do
    "$windres" -J coff -O rc -i "$program" >"$artifacts/${program%.exe}.rc" 2>&1 ||
        fail "$program: its resources cannot be read"
    for text in Microsoft.Windows.Common-Controls PerMonitorV2 '<activeCodePage' '<longPathAware'; do
        grep -qF "$text" "$program" || fail "$program: no $text in its manifest"
    done
    grep -qF '"ProductVersion", "1.0.0"' "$artifacts/${program%.exe}.rc" ||
        fail "$program: no product version"
done
[ "$programs" = cli ] || grep -q 'RT_GROUP_ICON' "$artifacts/velantrix-update.rc" ||
    fail "velantrix-update.exe has no icon"

# Only what the folder holds and Windows itself: a DLL found elsewhere would hide one missing.
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM QT_QPA_PLATFORM_PLUGIN_PATH XDG_RUNTIME_DIR
export WINEDEBUG=-all,err+module
# The console's line ends are \r\n on Windows.
cli() { "$wine" ./velantrix-update-cli.exe "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
cli images >"$artifacts/cli.log" || fail "images exited $?"
grep -q "Velantrix Heron" "$artifacts/cli.log" || fail "images did not list the catalogue"
if [ "$programs" = cli ]; then
    echo "zip unpacked and the command-line tool started from it (no window in this build)"
    exit 0
fi

"$wine" ./velantrix-update.exe >"$artifacts/window.log" 2>&1 &
window_pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Velantrix Update$' | head -n 1) ||
    fail "the window did not show$(grep -h "not found" "$artifacts/window.log" | sed 's/^/: /')"
sleep 3 # the first poll, and the first picture settling
import -window "$window" "$artifacts/window.png"
# Read back off the screen, magnified for the OCR: the status line's sentence.
convert "$artifacts/window.png" -colorspace Gray -resize 400% "$work/magnified.png"
tesseract "$work/magnified.png" "$artifacts/window-text" >/dev/null 2>&1 || fail "tesseract"
tr -s ' \n' ' ' <"$artifacts/window-text.txt" |
    grep -qi "No devices connected, attach the Velantrix you wish to configure" ||
    fail "no no-probe sentence on the screen: $(cat "$artifacts/window-text.txt")"
lock=$(find "${WINEPREFIX:?}/drive_c/users" -path '*/Temp/velantrix-single-*.lock' | head -n 1)
[ -n "$lock" ] || fail "no single-instance lock in the user's temporary folder"

timeout 60 "$wine" ./velantrix-update.exe second >"$artifacts/second.log" 2>&1 ||
    fail "the second start exited $?"
[ "$(xdotool search --onlyvisible --name '^Velantrix Update$' | wc -l)" -eq 1 ] ||
    fail "a second window showed"

xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
status=0
timeout 30 tail --pid="$window_pid" -f /dev/null || fail "the window did not close"
wait "$window_pid" || status=$?
window_pid=""
[ "$status" -eq 0 ] || fail "closing the window ended the program with status $status"
echo "zip unpacked and both programs started; screenshot: $artifacts/window.png"
