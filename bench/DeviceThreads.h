#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace bench {

// Another platform whose opened USB devices each work on a thread of their own, so that the
// benchmark can tell the host's CPU from the virtual devices'. A virtual probe otherwise runs
// inline on the host thread that calls it, its modelled wire time (real sleeps) included; here
// the calling thread hands every call of the device over to the device's thread and blocks until
// it is done, as a real USB stack blocks the host in the kernel while the device works: one
// hand-over and one wake-up per transfer. The device threads add up their own CPU time, which
// deviceCpuNs() answers; the process's CPU less that is the host's. Opening itself runs on the
// caller's thread (on the virtual bus it is a look-up), and so do listing, HID devices and
// watches, which pass through unchanged.
//
// Threads: every member may be called from several threads at once, as the Platform contract
// asks (each open makes its own device and thread; the total is atomic). A device it hands out
// is used by one thread at a time, as any UsbDevice; callers that overlap on one device anyway
// take their turns. Must outlive every device it opened, as must the platform it wraps.
class DeviceThreads final : public platform::Platform {
public:
    explicit DeviceThreads(platform::Platform& wrapped) : inner(wrapped) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override {
        return inner.listInterfaces(cls, maxEntries);
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& path) override;
    std::unique_ptr<platform::UsbDevice> tryOpenUsbDevice(const std::string& path,
                                                          platform::OpenFailure& failure) override;
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
        return inner.openHidDevice(path);
    }
    std::unique_ptr<platform::DeviceWatch> watchDevices(platform::InterfaceClass cls) override {
        return inner.watchDevices(cls);
    }

    // CPU time the device threads have used so far, in nanoseconds: each thread adds its share
    // at the end of every call it ran and when it ends, so once a device is destroyed all of its
    // thread's time is in.
    int64_t deviceCpuNs() const { return cpuNs.load(std::memory_order_relaxed); }
    // Calls handed over to device threads so far (transfers, mostly: each a wake-up of the
    // device and one of the caller).
    int64_t handOvers() const { return jobs.load(std::memory_order_relaxed); }
    // Devices opened and not yet destroyed: while any is, deviceCpuNs() may still grow.
    int openDevices() const { return open.load(std::memory_order_acquire); }

    // What a device shares with the platform that opened it.
    struct Totals {
        std::atomic<int64_t>& cpuNs;
        std::atomic<int64_t>& jobs;
        std::atomic<int>& open;
    };

private:
    std::unique_ptr<platform::UsbDevice> onItsThread(std::unique_ptr<platform::UsbDevice> device);

    platform::Platform& inner;
    std::atomic<int64_t> cpuNs{0};
    std::atomic<int64_t> jobs{0};
    std::atomic<int> open{0};
};

}  // namespace bench
