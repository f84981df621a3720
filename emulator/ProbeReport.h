#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sim/VirtualProbe.h"

namespace emulator {

// What the launcher tells about a probe: where it is on the bus, what its loader was asked,
// and what the flash holds.
struct ProbeSnapshot {
    std::optional<std::string> node;  // "/dev/bus/usb/001/002" while published
    std::array<int, 6> commands{};    // counts in the order of sim::kAllCommands
    std::string firmware;             // "2.16 - Build: ..." or "no firmware"

    int count(sim::Command command) const;
};

ProbeSnapshot snapshotOf(const sim::VirtualProbe& probe, std::optional<std::string> node);

// The version description of the image at the start of the probe's firmware region, or
// "no firmware" when no image header is there.
std::string firmwareInFlash(const sim::VirtualProbe& probe);

// One line per thing worth telling between two snapshots: the probe leaving and coming back,
// its loader connected, asked for its information, and disconnected with the erases, writes and
// CRC checks since `sessionStart` (the snapshot at the last connect).
std::vector<std::string> probeEvents(const std::string& serial, const ProbeSnapshot& before,
                                     const ProbeSnapshot& after, const ProbeSnapshot& sessionStart);

}  // namespace emulator
