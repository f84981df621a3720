#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/FaultScript.h"
#include "sim/LoaderWire.h"
#include "sim/VirtualProbe.h"

namespace emulator {

// One piece of misbehaviour from the command line, for the probe named before it.
struct FaultOption {
    enum class Kind { Command, Request, RefuseOpen, RefuseClaim };
    Kind kind = Kind::Command;
    sim::Command command = sim::Command::Connect;  // Command
    int position = 1;  // occurrence (Command), request index (Request), times (refusals)
    sim::CommandFault commandFault = sim::CommandFault::NoReply;
    sim::RequestFault requestFault = sim::RequestFault::Fail;
    uint32_t argument = 0;  // bytes, tag, offset, busy replies or the refusal errno, as it takes

    bool operator==(const FaultOption&) const = default;
};

struct FirmwareVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    bool operator==(const FirmwareVersion&) const = default;
};

struct ProbeOption {
    uint16_t productId = 0;
    std::string serial;
    std::optional<FirmwareVersion> firmware;  // none: the flash holds no image, only the loader
    std::vector<FaultOption> faults;
};

struct EmulatorOptions {
    std::vector<ProbeOption> probes;
    std::vector<std::string> command;  // the program to run and its arguments
    bool help = false;
};

// Reads the launcher's command line (without the program name):
//   --probe VARIANT[:SERIAL[:FIRMWARE]]   VARIANT a probe model's short name in lower case
//                                         ("heron") or its product id; SERIAL made up when
//                                         empty; FIRMWARE MAJOR.MINOR (default 1.0) or
//                                         "none"
//   --fault FAULT                         for the probe before it (see emulatorUsage)
//   --help
//   [--] PROGRAM [ARGUMENT...]            everything from the first word that is no option on
// Throws std::invalid_argument with a message for the user.
EmulatorOptions parseEmulatorOptions(std::span<const std::string> arguments);

std::string emulatorUsage();

// Scripts `fault` into `probe`.
void applyFault(const FaultOption& fault, sim::VirtualProbe& probe);

// "heron" for the Velantrix Heron: the model's short name in lower case.
std::string variantName(const sim::ProbeVariant& variant);

}  // namespace emulator
