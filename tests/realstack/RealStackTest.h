#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/EmulatedUsb.h"
#include "platform/linux/LinuxPlatform.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualClock.h"

namespace realstack {

// Firmware that a test probe starts with: older than anything in the catalogue.
inline const sim::ImageSpec kOldFirmware{
    .majorVersion = 1, .minorVersion = 0, .buildText = "Build: emulated", .payloadSize = 4096};
inline constexpr const char* kOldFirmwareText = "1.0 - Build: emulated";

// Every test gets a testbed of its own and virtual time for the program's own waits; the
// program's platform stays the real Linux one. libusb's time-outs run in real time, so tests
// that wait for one keep them short. Skips where umockdev's preload library is not active.
class RealStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        usb = std::make_unique<emulator::EmulatedUsb>();
        if (!emulator::EmulatedUsb::inMockEnvironment())
            GTEST_SKIP() << "umockdev's preload library is not active in this process";
        ASSERT_NE(dynamic_cast<platform::LinuxPlatform*>(&platform::currentPlatform()), nullptr)
            << "these tests run on the program's own platform";
        clock = std::make_unique<sim::VirtualClockScope>([this] { usb->settle(); });
    }

    void TearDown() override { clock.reset(); }

    // A probe of catalogue variant `productId`, running the old firmware (or only its loader
    // when `withFirmware` is false), plugged in; answers its sysfs path through `path`.
    std::shared_ptr<sim::VirtualProbe> plugIn(uint16_t productId, const std::string& serial,
                                              std::string& path, bool withFirmware = true) {
        const std::vector<uint8_t> image =
            withFirmware ? sim::buildFirmwareImage(kOldFirmware) : std::vector<uint8_t>{};
        auto probe = sim::makeProbe(productId, serial, image);
        path = usb->attach(probe);
        return probe;
    }

    std::unique_ptr<emulator::EmulatedUsb> usb;
    std::unique_ptr<sim::VirtualClockScope> clock;
};

}  // namespace realstack
