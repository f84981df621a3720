// The poll through a udev monitor on made-up sysfs trees of 1, 10 and 127 USB devices (none of
// them a probe): umockdev's testbed holds the devices and sends the uevents in the udev daemon's
// place. A tick with no event hands out the last listing; a tick after an event (a "change" of
// the first device, sent outside the timed part) lists afresh.
#include <benchmark/benchmark.h>
#include <umockdev.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/WatchedPlatform.h"
#include "bench/WindowRig.h"
#include "platform/Platform.h"

namespace {

const std::string controller = "/devices/pci0000:00/0000:00:14.0/usb1/";

// Each device with one interface, as a umockdev-record description.
std::string madeUpDevices(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char device[512];
        std::snprintf(device, sizeof device,
                      "P: %s1-%d\nN: bus/usb/001/%03d\nE: DEVNAME=/dev/bus/usb/001/%03d\n"
                      "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: idVendor=0f0f\n"
                      "A: idProduct=%04x\nA: serial=NB%06d\nA: manufacturer=Generic\n"
                      "A: product=Storage\n\nP: %s1-%d/1-%d:1.0\nE: DEVTYPE=usb_interface\n"
                      "E: SUBSYSTEM=usb\nA: bInterfaceNumber=00\n\n",
                      controller.c_str(), i + 1, i + 2, i + 2, 0x100 + i % 16, i,
                      controller.c_str(), i + 1, i + 1);
        text += device;
    }
    return text;
}

struct TestbedRelease {
    void operator()(UMockdevTestbed* testbed) const { g_object_unref(testbed); }
};

void PollUdevTestbed(benchmark::State& state) {
    const std::unique_ptr<UMockdevTestbed, TestbedRelease> testbed(umockdev_testbed_new());
    if (!umockdev_in_mock_environment()) {
        state.SkipWithError("n/a: umockdev's preload library is not active in this process");
        return;
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(
            testbed.get(), madeUpDevices(static_cast<int>(state.range(0))).c_str(), &error)) {
        g_clear_error(&error);
        state.SkipWithError("cannot make the testbed");
        return;
    }
    const bool event = state.range(1) != 0;
    const std::string changing = "/sys" + controller + "1-1";
    bench::WatchedPlatform monitored(platform::systemPlatform(), true);
    bench::WindowRig rig({monitored, platform::steadyClock()});
    rig.poll();
    bench::WindowRig::settle();
    for (auto _ : state) {
        if (event) {
            state.PauseTiming();
            umockdev_testbed_uevent(testbed.get(), changing.c_str(), "change");
            state.ResumeTiming();
        }
        rig.poll();
    }
    state.counters["listed"] = static_cast<double>(
        monitored.listInterfaces(platform::InterfaceClass::UsbDevice, 127).size());
}
BENCHMARK(PollUdevTestbed)
    ->ArgNames({"listed", "event"})
    ->ArgsProduct({{1, 10, 127}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
