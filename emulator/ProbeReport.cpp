#include "emulator/ProbeReport.h"

#include "firmware/FirmwareImageHeader.h"

namespace emulator {

namespace {

std::size_t slotOf(sim::Command command) {
    for (std::size_t i = 0; i < std::size(sim::kAllCommands); ++i) {
        if (sim::kAllCommands[i] == command)
            return i;
    }
    return 0;
}

std::string counted(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int ProbeSnapshot::count(sim::Command command) const {
    return commands[slotOf(command)];
}

std::string firmwareInFlash(const sim::VirtualProbe& probe) {
    const sim::ProbeVariant& variant = probe.variant();
    const std::vector<uint8_t> bytes =
        probe.readFlash(variant.flashBase, firmwareImageHeaderFixedSize);
    const std::optional<FirmwareImageHeader> header =
        parseFirmwareImageHeader(bytes.data(), bytes.size());
    if (!header || header->magic != firmwareImageMagic)
        return "no firmware";
    return versionDescription(*header);
}

ProbeSnapshot snapshotOf(const sim::VirtualProbe& probe, std::optional<std::string> node) {
    ProbeSnapshot snapshot;
    snapshot.node = std::move(node);
    for (const sim::Command command : sim::kAllCommands)
        snapshot.commands[slotOf(command)] = probe.commandCount(command);
    snapshot.firmware = firmwareInFlash(probe);
    return snapshot;
}

std::vector<std::string> probeEvents(const std::string& serial, const ProbeSnapshot& before,
                                     const ProbeSnapshot& after,
                                     const ProbeSnapshot& sessionStart) {
    std::vector<std::string> lines;
    if (before.node && before.node != after.node)
        lines.push_back(serial + " left the bus");
    if (after.node && before.node != after.node)
        lines.push_back(serial + " is on the bus at " + *after.node);
    auto grew = [&](sim::Command command) { return after.count(command) > before.count(command); };
    if (grew(sim::Command::Info))
        lines.push_back(serial + ": loader information read (firmware " + after.firmware + ")");
    if (grew(sim::Command::Connect))
        lines.push_back(serial + ": loader connected");
    if (grew(sim::Command::Disconnect)) {
        auto since = [&](sim::Command command) {
            return after.count(command) - sessionStart.count(command);
        };
        lines.push_back(serial + ": loader disconnected after " +
                        counted(since(sim::Command::Erase), "erase", "erases") + ", " +
                        counted(since(sim::Command::Write), "write", "writes") + " and " +
                        counted(since(sim::Command::Crc), "CRC check", "CRC checks") +
                        "; the flash holds " + after.firmware);
    }
    return lines;
}

}  // namespace emulator
