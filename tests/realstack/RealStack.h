#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/EmulatedUsb.h"
#include "platform/Context.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualClock.h"

// The program's own Linux platform (libudev, libusb, the kernel's usbdevfs interface) against
// virtual probes published in a umockdev testbed of the test's own. The program's waits run on
// a virtual clock, each sleep bringing the testbed up to date, and so do the probes; libusb's
// time-outs run in real time, so tests that wait for one keep it short. `context` is the
// program's system platform with that clock.
struct RealStack : ::testing::Test {
    sim::VirtualClock clock{[this] { usb->settle(); }};
    std::unique_ptr<emulator::EmulatedUsb> usb = std::make_unique<emulator::EmulatedUsb>(clock);
    platform::Context context{platform::systemPlatform(), clock};

    void SetUp() override {
        ASSERT_TRUE(emulator::EmulatedUsb::inMockEnvironment())
            << "umockdev's preload library is not active in this process";
    }
    std::string path;  // of the probe plugged in last
    // A probe running firmware "1.0 - Build: emulated", plugged in.
    std::shared_ptr<sim::VirtualProbe> plug(uint16_t productId) {
        auto probe = sim::makeProbe(productId, "SN000001",
                                    sim::buildFirmwareImage({.buildText = "Build: emulated"}));
        path = usb->attach(probe);
        return probe;
    }
};
