#!/bin/bash
# Runs the libudev lister against a made-up sysfs (umockdev testbed): two probes, a USB interface
# that must not be listed as a device, a device whose ids can't be read, and hidraw nodes on and
# off the USB bus.
# Arguments: <build dir> <source dir>
set -euo pipefail
build_dir=$1

command -v umockdev-run >/dev/null || { echo "umockdev-run not installed"; exit 77; }
tests=$build_dir/tests/core_tests
[ -x "$tests" ] || { echo "core_tests not built"; exit 77; }

testbed=$(mktemp)
trap 'rm -f "$testbed"' EXIT
cat >"$testbed" <<'DEVICES'
P: /devices/pci0000:00/0000:00:14.0/usb1/1-2
N: bus/usb/001/002
E: DEVNAME=/dev/bus/usb/001/002
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
A: idVendor=1a2b
A: idProduct=0006
A: serial=1234abCD
H: manufacturer=436166C3A9
A: product=Osprey probe

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0
E: DEVTYPE=usb_interface
E: SUBSYSTEM=usb
A: bInterfaceNumber=00

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1A2B:0006.0001/hidraw/hidraw0
N: hidraw0
E: DEVNAME=/dev/hidraw0
E: SUBSYSTEM=hidraw

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3.1
N: bus/usb/001/003
E: DEVNAME=/dev/bus/usb/001/003
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
A: idVendor=1A2B
A: idProduct=0010

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
A: idProduct=0003

P: /devices/platform/i2c-hid/0018:04F3:3087.0002/hidraw/hidraw1
N: hidraw1
E: DEVNAME=/dev/hidraw1
E: SUBSYSTEM=hidraw
DEVICES

exec umockdev-run --device "$testbed" -- "$tests" --gtest_filter='LinuxListingTestbed.*' \
    --gtest_brief=1
