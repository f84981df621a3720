// A device path names a USB port. When another device is plugged into the port while the probe
// is away, opening the path must refuse it instead of erasing and writing it. The reopen loop
// opens through the same function as the first open, so one test holds both.
#include <gtest/gtest.h>

#include "firmware/ProbeAssessment.h"
#include "firmware/UpdateProcedure.h"
#include "link/DeviceEnumeration.h"
#include "tests/support/Failure.h"
#include "tests/support/VirtualProbes.h"

namespace {

struct PortSwap : VirtualProbes {
    std::shared_ptr<sim::VirtualProbe> probe = plug(6, "OS000001");
    std::shared_ptr<sim::VirtualProbe> stranger = sim::makeProbe(6, "OS000002", olderImage());
    USBDeviceInfo listed = selectProbes(enumerateUSBDevices(context, 0, anyUsbId, anyUsbId)).at(0);
};

}  // namespace

TEST_F(PortSwap, DuringTheReopenLoopNothingIsWrittenToTheOtherDevice) {
    std::unique_ptr<HDataLink> link = openUpdateLink(context, listed);
    const FirmwareImage& row = *findFirmwareImage(listed);
    const auto swapOnFirstPause = [&](unsigned attempt, unsigned, uint32_t ms) {
        if (attempt == 1) {  // the stranger takes the probe's port
            bus.remove(pathOf("1-1"));
            bus.attach(stranger, "1-1");
        }
        clock.sleepMs(ms);
    };
    const std::string failure = failureOf([&] {
        installFirmware(context, link, listed, true, row,
                        standardPhases([](int, int, const char*, const char*) {}),
                        swapOnFirstPause);
    });
    EXPECT_EQ(failure, "Cannot open USB driver");
    EXPECT_TRUE(stranger->requests().empty());
}
