// The once-a-second poll on the GUI thread, with 1, 10 and 127 listed USB devices:
//  - on the virtual bus, which has no watch, so every tick lists: with one probe whose panel is
//    shown (the tick that keeps it) or with no probe at all (the tick of an idle program);
//  - on the machine's own libudev listing, listed at every tick;
//  - with no event on this machine's real udev monitor, the 127 devices listed once from the
//    virtual bus: a tick without an event reads no sysfs, only the monitor's socket.
// udev_testbed_bench.cpp has the monitor on made-up sysfs trees, with and without events.
#include <benchmark/benchmark.h>

#include <QLabel>
#include <string>

#include "bench/UdevProxyListing.h"
#include "bench/WatchedPlatform.h"
#include "bench/WindowRig.h"
#include "link/DeviceEnumeration.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "ui/VelantrixUpdaterWidget.h"

namespace {

// One bus has 126 device numbers; a 127th listed entry is one that cannot be read.
constexpr int busDeviceNumbers = 126;

std::shared_ptr<sim::VirtualDevice> neighbour(int index) {
    switch (index % 3) {
        case 0:
            return sim::makeHub();
        case 1:
            return sim::makeMouse();
        default:
            return sim::makePassiveDevice({0x0F0F, static_cast<uint16_t>(0x0100 + index % 16),
                                           "NB" + std::to_string(100000 + index), "Generic",
                                           "Storage"});
    }
}

void fillBus(sim::VirtualBus& bus, int listed, bool withProbe) {
    int count = 0;
    if (withProbe) {
        bus.attach(sim::makeProbe(6, "OS000001"));
        ++count;
    }
    for (int index = 0; count < listed && count < busDeviceNumbers; ++index, ++count)
        bus.attach(neighbour(index));
    for (; count < listed; ++count)
        bus.addUnreadableEntry();
}

// Entries of the platform listing, unreadable ones included.
std::size_t listedNow(platform::Platform& platform) {
    constexpr int maxEntries = 127;
    return platform.listInterfaces(platform::InterfaceClass::UsbDevice, maxEntries).size();
}

void pollTicks(benchmark::State& state, bench::WindowRig& rig, platform::Platform& listed) {
    for (auto _ : state)
        rig.poll();
    state.counters["listed"] = static_cast<double>(listedNow(listed));
    state.SetLabel(
        rig.window().findChild<QLabel*>(QStringLiteral("statusLabel"))->text().toStdString());
}

void PollVirtualBus(benchmark::State& state) {
    const auto listed = static_cast<int>(state.range(0));
    const bool withProbe = state.range(1) != 0;
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    fillBus(bus, listed, withProbe);
    bench::WindowRig rig({bus, clock});  // its first poll builds the probe's panel
    rig.poll();
    bench::WindowRig::settle();
    if (withProbe && !rig.window().findChild<VelantrixUpdaterWidget*>()) {
        state.SkipWithError("the probe's panel was not built");
        return;
    }
    pollTicks(state, rig, bus);
}
BENCHMARK(PollVirtualBus)
    ->ArgNames({"listed", "probe"})
    ->ArgsProduct({{1, 10, 127}, {1, 0}})
    ->Unit(benchmark::kMicrosecond);

void PollRealMonitor(benchmark::State& state) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    fillBus(bus, static_cast<int>(state.range(0)), state.range(1) != 0);
    bench::WatchedPlatform monitored(bus, true);
    bench::WindowRig rig({monitored, clock});
    rig.poll();
    bench::WindowRig::settle();
    pollTicks(state, rig, bus);
}
BENCHMARK(PollRealMonitor)
    ->ArgNames({"listed", "probe"})
    ->ArgsProduct({{127}, {1, 0}})
    ->Unit(benchmark::kMicrosecond);

void PollUdev(benchmark::State& state) {
    bench::WatchedPlatform unwatched(platform::systemPlatform(), false);
    bench::WindowRig rig({unwatched, platform::steadyClock()});
    rig.poll();
    bench::WindowRig::settle();
    pollTicks(state, rig, unwatched);
}
BENCHMARK(PollUdev)->Unit(benchmark::kMicrosecond);

// The listing alone, without the window: where a tick's time goes.
void EnumerateVirtualBus(benchmark::State& state) {
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    fillBus(bus, static_cast<int>(state.range(0)), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(enumerateUSBDevices({bus, clock}, 0, anyUsbId, anyUsbId));
    state.counters["listed"] = static_cast<double>(listedNow(bus));
}
BENCHMARK(EnumerateVirtualBus)->ArgName("listed")->Arg(1)->Arg(10)->Arg(127);

void EnumerateUdev(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(enumerateUSBDevices(0, anyUsbId, anyUsbId));
    state.counters["listed"] = static_cast<double>(listedNow(platform::systemPlatform()));
}
BENCHMARK(EnumerateUdev)->Unit(benchmark::kMicrosecond);

// The lister's libudev calls on this machine's tty devices: real sysfs, per device.
void UdevProxyTty(benchmark::State& state) {
    std::size_t devices = 0;
    for (auto _ : state)
        devices = bench::udevProxyListing("tty");
    if (devices == 0) {
        state.SkipWithError("n/a: this machine lists no tty devices");
        return;
    }
    state.counters["devices"] = static_cast<double>(devices);
}
BENCHMARK(UdevProxyTty)->Unit(benchmark::kMicrosecond);

}  // namespace
