#!/usr/bin/env bash
# The real program, unchanged, on a virtual X display with an emulated Osprey running older
# firmware: the window finds the probe through libudev, the install button (its Alt+I shortcut)
# updates it through libusb, the probe restarts into its loader under a new device node on the
# way, and the rebuilt panel reads the new firmware back. Screenshots before and after, and the
# emulator's report, are kept in <build dir>/test-artifacts/realstack-window/.
# Arguments: <build dir> <source dir>. Exit 77 when a tool it needs is missing
# or the emulator is not built.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xauth xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not installed"; exit 77; }
done
[ -x "$build/velantrix-probe-emulator" ] || { echo "SKIPPED: no probe emulator (umockdev)"; exit 77; }
[ -n "${VX_ON_XVFB:-}" ] || exec env VX_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
unset QT_QPA_PLATFORM  # the window goes to the virtual display
artifacts=$build/test-artifacts/realstack-window
rm -rf "$artifacts" && mkdir -p "$artifacts"
log=$artifacts/emulator.log
XDG_RUNTIME_DIR=$(mktemp -d)  # no single-instance lock of another run is met
export XDG_RUNTIME_DIR XDG_STATE_HOME=$XDG_RUNTIME_DIR  # nor the user's history of updates
"$build/velantrix-probe-emulator" --probe osprey:OS000001:3.0 -- "$build/velantrix-update" >"$log" 2>&1 &
launcher=$!
# Ending the launcher ends the program (it passes the signal on), then the testbed.
trap 'kill $launcher 2>/dev/null || true; wait $launcher 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT
fail() { echo "FAIL: $*" && cat "$log" && exit 1; }
# Waits up to $1 tenths of a second for ${3:-1} lines of the emulator's report to match $2.
wait_for() {
    for _ in $(seq "$1"); do
        [ "$(grep -c -- "$2" "$log")" -ge "${3:-1}" ] && return
        sleep 0.1
    done
    fail "no '$2' in the emulator's report"
}
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Velantrix Update$' | head -n 1) ||
    fail "the window did not show"
wait_for 100 "loader information read (firmware 3.0 - Build: emulated)"
sleep 0.5  # let the first picture settle
import -window "$window" "$artifacts/before.png"
xdotool windowfocus --sync "$window" key --clearmodifiers alt+i
wait_for 600 "loader disconnected"
wait_for 50 "loader information read" 2
sleep 0.5
import -window "$window" "$artifacts/after.png"
offered="3.1 - Build: 2024042402.56362"  # the Osprey image the program carries
for line in "OS000001 left the bus" "OS000001 is on the bus at /dev/bus/usb/001/003" \
    "the flash holds $offered" "loader information read (firmware $offered)"; do
    grep -q -- "$line" "$log" || fail "expected '$line' in the emulator's report"
done
echo "screenshots: $artifacts/before.png $artifacts/after.png"
