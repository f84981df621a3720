#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "link/ProbeModels.h"
#include "loader/Crc32.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "tests/support/WindowDriver.h"

// The whole program against virtual probes on a virtual bus and clock.
struct VirtualProbes : ::testing::Test {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;

    // An image older than any in the catalogue, so that an update visibly changes it.
    static std::vector<uint8_t> olderImage() {
        return sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 10, .buildText = "old"});
    }
    std::shared_ptr<sim::VirtualProbe> plug(uint16_t productId, const std::string& serial,
                                            const std::vector<uint8_t>& installed = olderImage(),
                                            const std::string& port = "1-4") {
        auto probe = sim::makeProbe(productId, serial, installed);
        scope.bus().attach(probe, port);
        return probe;
    }
    static std::string pathOf(const std::string& port) {
        return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    }
    static const FirmwareImage& rowOf(uint16_t productId) {
        return firmwareCatalogue[findProbeModel(productId)->catalogueRow];
    }
    static bool holds(const sim::VirtualProbe& probe, const FirmwareImage& row) {
        return probe.flashCrc(row.address, row.size) == crc32(row.data, row.size);
    }
    static QString version(const std::string& description) {
        return QStringLiteral("<b>Version: </b>") + QString::fromLatin1(description.c_str());
    }
};
