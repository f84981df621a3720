#!/usr/bin/env bash
# The real program, unchanged, on a virtual X display with an emulated Osprey running older
# firmware: the window finds the probe through libudev, the Install button (pressed with its
# Alt+I shortcut) updates it through libusb, the probe restarts into its loader and comes back
# under a new device node on the way, and the rebuilt panel reads the new firmware back.
# Screenshots of the window before and after, and the emulator's report, are kept in
# <build dir>/test-artifacts/realstack-window/.
# Arguments: <build dir> <source dir>. Exit 77 when a tool it needs is missing.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

for tool in xvfb-run xauth xdotool import python3; do
    command -v "$tool" >/dev/null ||
        { echo "$tool not installed (packages xvfb, xauth, xdotool, imagemagick, python3)"; exit 77; }
done
emulator=$build/velantrix-probe-emulator
program=$build/velantrix-update
[ -x "$emulator" ] && [ -x "$program" ] || { echo "emulator or program not built"; exit 77; }

if [ -z "${VX_ON_XVFB:-}" ]; then
    exec env VX_ON_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
unset QT_QPA_PLATFORM  # the window goes to the virtual display, not offscreen

artifacts=$build/test-artifacts/realstack-window
rm -rf "$artifacts"
mkdir -p "$artifacts"
log=$artifacts/emulator.log
# A runtime folder of our own keeps the single-instance lock apart from other runs.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
launcher=""
# Ending the launcher ends the program (it passes the signal on) and then the testbed.
cleanup() {
    if [ -n "$launcher" ]; then
        kill "$launcher" 2>/dev/null || true
        wait "$launcher" 2>/dev/null || true
    fi
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

# Waits up to $1 tenths of a second for the emulator's report to hold $3 lines matching $2.
wait_for() {
    local tenths=$1 pattern=$2 count=${3:-1}
    for _ in $(seq "$tenths"); do
        [ "$(grep -c -- "$pattern" "$log" || true)" -ge "$count" ] && return 0
        sleep 0.1
    done
    echo "FAIL: no '$pattern' in the emulator's report"
    cat "$log"
    exit 1
}

"$emulator" --probe osprey:OS000001:3.0 -- "$program" >"$log" 2>&1 &
launcher=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Velantrix Update$' | head -n 1 ||
    true)
[ -n "$window" ] || { echo "FAIL: the window did not show"; cat "$log"; exit 1; }
wait_for 100 "loader information read (firmware 3.0 - Build: emulated)"
sleep 0.5  # let the first picture settle
import -window "$window" "$artifacts/before.png"

xdotool windowfocus --sync "$window" key --clearmodifiers alt+i
wait_for 600 "loader disconnected"
wait_for 50 "loader information read" 2
sleep 0.5
import -window "$window" "$artifacts/after.png"

expected=$(python3 - "$source/firmware/images/osprey.bin" <<'PY'
import struct, sys
header = open(sys.argv[1], "rb").read(64)
major, minor = struct.unpack_from("<HH", header, 20)
build = header[24:64].split(b"\0")[0].decode()
print(f"{major}.{minor} - {build}")
PY
)
failures=0
check() {
    grep -q -- "$1" "$log" || { echo "FAIL: expected '$1' in the emulator's report"; failures=$((failures + 1)); }
}
check "OS000001 left the bus"
check "OS000001 is on the bus at /dev/bus/usb/001/003"
check "the flash holds $expected"
check "loader information read (firmware $expected)"
[ -s "$artifacts/before.png" ] && [ -s "$artifacts/after.png" ] ||
    { echo "FAIL: screenshots missing"; failures=$((failures + 1)); }
cat "$log"
echo "screenshots: $artifacts/before.png $artifacts/after.png"
[ "$failures" -eq 0 ]
