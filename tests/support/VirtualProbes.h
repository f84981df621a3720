#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
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
    // The catalogue row of the probes with `productId`, as the catalogue orders its rows.
    static const FirmwareImage& rowOf(uint16_t productId) {
        const std::pair<uint16_t, std::size_t> rows[] = {{3, 0}, {4, 1}, {16, 2}, {6, 3}, {5, 4}};
        for (const auto& [id, row] : rows)
            if (id == productId)
                return firmwareCatalogue.at(row);
        throw std::invalid_argument("no catalogue row for product id " + std::to_string(productId));
    }
    static bool holds(const sim::VirtualProbe& probe, const FirmwareImage& row) {
        return probe.flashCrc(row.address, row.size) == crc32(row.data, row.size);
    }
};
