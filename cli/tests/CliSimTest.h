#pragma once

// Runs the tool's commands in-process against virtual probes on a virtual bus and clock, so
// that pauses and time-outs cost nothing.

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "firmware/FirmwareImage.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

namespace clitest {

inline std::span<const uint8_t> catalogueImage(std::size_t row) {
    return {firmwareCatalogue[row].data, firmwareCatalogue[row].size};
}

class CliSimTest : public ::testing::Test {
protected:
    // Runs the tool with `args`; out() and err() then hold what it printed.
    int run(std::vector<std::string> args) {
        stdoutText.str({});
        stderrText.str({});
        return cli::runCli(args, console);
    }
    std::string out() const { return stdoutText.str(); }
    std::string err() const { return stderrText.str(); }

    std::shared_ptr<sim::VirtualProbe> attach(uint16_t productId, const std::string& serial,
                                              std::span<const uint8_t> installed = {}) {
        auto probe = sim::makeProbe(productId, serial, installed);
        busScope.bus().attach(probe);
        return probe;
    }

    sim::VirtualClockScope clockScope;
    sim::VirtualBusScope busScope;
    std::ostringstream stdoutText;
    std::ostringstream stderrText;
    cli::Console console{stdoutText, stderrText, false};
};

}  // namespace clitest
