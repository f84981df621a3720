#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/FaultScript.h"
#include "sim/LoaderWire.h"

namespace sim {

// One USB request as the probe saw it.
struct LoggedRequest {
    enum class Kind : uint8_t { Control, BulkOut, BulkIn };

    int index = 0;  // from 1, over every request since the trace was cleared
    Kind kind = Kind::BulkOut;
    uint8_t endpoint = 0;  // bulk transfers
    // Control transfers: the setup packet.
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t wIndex = 0;
    int length = 0;             // bytes asked for
    int result = -1;            // bytes moved, or -1
    std::vector<uint8_t> data;  // OUT: bytes sent; IN: bytes delivered; control: data stage
    uint64_t startUs = 0;       // virtual time at the start and at the end of the request
    uint64_t endUs = 0;
};

// One loader command as it reached the probe (after assembly, before any scripted fault).
struct LoggedCommand {
    Command command = Command::Connect;
    int occurrence = 0;  // from 1, per command
    uint32_t address = 0;
    uint32_t length = 0;
    std::optional<CommandFault> fault;  // the scripted fault that applied, if any
};

// What the probe keeps for tests and benchmarks: every request, every command and the
// per-command counts. Cleared together, so that script positions count from the same start.
struct ProbeTrace {
    std::vector<LoggedRequest> requests;
    std::vector<LoggedCommand> commands;
    std::array<int, 256> commandCounts{};  // by tag

    int count(Command command) const { return commandCounts[commandTag(command)]; }
    // One line per request, e.g. "#3 OUT 0x02 len 13 -> 13" or "#1 CTRL 40 00 0000 0001 -> 0".
    std::string text() const;
};

std::string describe(const LoggedRequest& request);

}  // namespace sim
