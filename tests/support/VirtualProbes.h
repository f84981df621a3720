#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "link/ProbeModels.h"
#include "loader/Crc32.h"
#include "platform/Context.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

// The program against virtual probes on a virtual bus and clock: `context` is what the test hands
// to the code it drives.
struct VirtualProbes : ::testing::Test {
    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    platform::Context context{bus, clock};

    // An image older than any in the catalogue, so that an update visibly changes it.
    static std::vector<uint8_t> olderImage() {
        return sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 10, .buildText = "old"});
    }
    // A probe plugged into `port`, by default the first free one ("1-1" on an empty bus).
    std::shared_ptr<sim::VirtualProbe> plug(uint16_t productId, const std::string& serial,
                                            const std::vector<uint8_t>& installed = olderImage(),
                                            const std::string& port = {}) {
        auto probe = sim::makeProbe(productId, serial, installed);
        bus.attach(probe, port);
        return probe;
    }
    static std::string pathOf(const std::string& port) {
        return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    }
    static const FirmwareImage& rowOf(uint16_t productId) {
        const ProbeModel* model = findProbeModel(productId);
        return firmwareCatalogue.at(model ? model->catalogueRow : firmwareCatalogue.size());
    }
    static bool holds(const sim::VirtualProbe& probe, const FirmwareImage& row) {
        return probe.flashCrc(row.address, row.size) == crc32(row.data, row.size);
    }
};
