// The poll's listing on the real stack through a udev monitor, with the testbed's uevents in the
// place of the udev daemon's: a tick lists the devices again after one came, went or came back,
// once the last listing is half a minute old, and while the monitor fails; at no other tick.
// (Without a watch every tick lists: the virtual platforms of the GUI suite have none.)

#include <unistd.h>

#include <filesystem>
#include <functional>

#include <optional>

#include "RealStack.h"
#include "platform/linux/LinuxPlatform.h"
#include "tests/support/WindowDriver.h"

namespace {

// The program's Linux platform, counting its listings. Its watch is the udev monitor, made even
// where no udev daemon runs: here the testbed sends the events.
class CountingLinuxPlatform final : public platform::Platform {
public:
    explicit CountingLinuxPlatform(int& listings) : count(listings) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override {
        ++count;
        return platform::linuxListInterfaces(cls, maxEntries);
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& path) override {
        return platform::linuxOpenUsbDevice(path);
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
        return platform::linuxOpenHidDevice(path);
    }
    std::unique_ptr<platform::DeviceWatch> watchDevices(platform::InterfaceClass cls) override {
        return platform::linuxWatchDevices(cls);
    }

private:
    int& count;
};

class ListingWatch : public RealStack {
protected:
    // From now on every read of the monitor's socket fails: a pipe takes its descriptor. umockdev
    // names the socket it stands in for after the descriptor; the window's monitor is the only one.
    void breakMonitor() {
        int broken = 0;
        for (const auto& entry : std::filesystem::directory_iterator(usb->root())) {
            const std::string name = entry.path().filename().string();
            int pipeEnds[2];
            if (name.starts_with("event") && ::pipe(pipeEnds) == 0) {
                ASSERT_GE(::dup2(pipeEnds[0], std::stoi(name.substr(5))), 0);
                ::close(pipeEnds[0]);
                ::close(pipeEnds[1]);
                ++broken;
            }
        }
        ASSERT_EQ(broken, 1);
    }

    int listings = 0;
    CountingLinuxPlatform counting{listings};
};

}  // namespace

TEST_F(ListingWatch, TicksListOnlyAfterAnEventAnErrorOrHalfAMinute) {
    const auto later = [this](uint64_t seconds) { clock.advanceUs(seconds * 1'000'000); };
    const struct {
        const char* what;
        std::function<void()> action;
        int listings;  // by the tick that follows
    } steps[] = {
        {"a quiet tick", [] {}, 0},
        {"a probe plugged in", [&] { plug(3); }, 1},
        {"a quiet tick", [] {}, 0},
        {"the probe re-enumerated", [&] { ASSERT_TRUE(usb->plugBack(path)); }, 1},
        {"the probe pulled out", [&] { usb->unplug(path); }, 1},
        {"29 s later", [&] { later(29); }, 0},
        {"30 s after the last listing", [&] { later(1); }, 1},
        {"a quiet tick", [] {}, 0},
        {"the monitor fails", [&] { breakMonitor(); }, 1},
        {"and keeps failing", [] {}, 1},
    };
    WindowDriver program{platform::Context{counting, clock}};
    EXPECT_EQ(listings, 1);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.action();
        const int before = listings;
        program.poll();
        EXPECT_EQ(listings - before, step.listings);
    }
}
