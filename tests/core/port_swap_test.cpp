// A device path names a USB port. When another device is plugged into the port while the probe
// is away, opening the path must refuse it instead of erasing and writing it.
#include <gtest/gtest.h>

#include "firmware/FirmwareImage.h"
#include "firmware/ProbeAssessment.h"
#include "firmware/UpdateProcedure.h"
#include "link/DeviceEnumeration.h"
#include "platform/HException.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

namespace {

struct PortSwap : ::testing::Test {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    const std::vector<uint8_t> oldImage = sim::buildFirmwareImage({.majorVersion = 1});
    std::shared_ptr<sim::VirtualProbe> probe = sim::makeProbe(6, "OS000001", oldImage);
    std::shared_ptr<sim::VirtualProbe> stranger = sim::makeProbe(6, "OS000002", oldImage);
    std::string path = scope.bus().attach(probe, "1-4");
    USBDeviceInfo listed = selectProbes(enumerateUSBDevices(0, anyUsbId, anyUsbId)).at(0);

    void plugStrangerIntoThePort() {
        scope.bus().remove(path);
        scope.bus().attach(stranger, "1-4");
    }

    static std::string failureOf(const std::function<void()>& work) {
        try {
            work();
        } catch (const HException& e) {
            return e.message();
        }
        return "no failure";
    }
};

}  // namespace

TEST_F(PortSwap, BetweenListingAndOpeningTheOtherDeviceIsNotOpened) {
    plugStrangerIntoThePort();
    EXPECT_EQ(failureOf([&] { openUpdateLink(listed); }), "Cannot open USB driver");
    EXPECT_TRUE(stranger->requests().empty());
}

TEST_F(PortSwap, DuringTheReopenLoopNothingIsWrittenToTheOtherDevice) {
    std::unique_ptr<HDataLink> link = openUpdateLink(listed);
    const FirmwareImage& row = *findFirmwareImage(listed);
    const auto swapOnFirstPause = [&](unsigned attempt, unsigned, uint32_t ms) {
        if (attempt == 1)
            plugStrangerIntoThePort();
        platform::currentClock().sleepMs(ms);
    };
    const std::string failure = failureOf([&] {
        installFirmware(link, listed, true, row,
                        standardPhases([](int, int, const char*, const char*) {}),
                        swapOnFirstPause);
    });
    EXPECT_EQ(failure, "Cannot open USB driver");
    EXPECT_TRUE(stranger->requests().empty());
    EXPECT_EQ(stranger->commandCount(sim::Command::Erase), 0);
}
