#include "emulator/EmulatorOptions.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "sim/ProbeVariants.h"

namespace emulator {

namespace {

using Kind = FaultOption::Kind;

// How a command fault is written after COMMAND:N: and whether it takes a number.
enum class Argument { None, Optional, Required };

struct CommandFaultWord {
    const char* word;
    sim::CommandFault fault;
    Argument argument;
    uint32_t defaultArgument;
};

constexpr CommandFaultWord kCommandFaults[] = {
    {"noreply", sim::CommandFault::NoReply, Argument::None, 0},
    {"fail", sim::CommandFault::Fail, Argument::None, 0},
    {"busy", sim::CommandFault::Busy, Argument::Optional, 1},
    {"shortreply", sim::CommandFault::ShortReply, Argument::Required, 0},
    {"wrongtag", sim::CommandFault::WrongTag, Argument::Required, 0},
    {"corruptwrite", sim::CommandFault::CorruptWrite, Argument::Required, 0},
    {"unplug", sim::CommandFault::Unplug, Argument::None, 0},
};

struct RequestFaultWord {
    const char* word;
    sim::RequestFault fault;
};

constexpr RequestFaultWord kRequestFaults[] = {
    {"fail", sim::RequestFault::Fail},
    {"timeout", sim::RequestFault::TimeOut},
    {"unplug", sim::RequestFault::Unplug},
};

// Serial numbers made up for probes given without one start with these letters.
struct SerialPrefix {
    uint16_t productId;
    const char* prefix;
};

constexpr SerialPrefix kSerialPrefixes[] = {
    {3, "HR"}, {4, "WR"}, {5, "EG"}, {6, "OS"}, {16, "KS"},
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

[[noreturn]] void reject(const std::string& what) {
    throw std::invalid_argument(what);
}

// A whole decimal number in [minimum, maximum].
uint32_t number(const std::string& text, uint32_t minimum, uint32_t maximum, const char* what) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < minimum || value > maximum)
        reject(std::string("not a valid ") + what + ": \"" + text + "\"");
    return value;
}

const sim::ProbeVariant& variantOf(const std::string& word) {
    for (const sim::ProbeVariant& variant : sim::probeVariants()) {
        if (word == variantName(variant) || word == std::to_string(variant.productId))
            return variant;
    }
    reject("unknown probe variant \"" + word + "\"");
}

std::optional<FirmwareVersion> firmwareOf(const std::string& word) {
    if (word.empty())
        return FirmwareVersion{1, 0};
    if (word == "none")
        return std::nullopt;
    const std::vector<std::string> parts = split(word, '.');
    if (parts.size() != 2)
        reject("a firmware version is MAJOR.MINOR or none, not \"" + word + "\"");
    return FirmwareVersion{static_cast<uint16_t>(number(parts[0], 0, 0xFFFF, "major version")),
                           static_cast<uint16_t>(number(parts[1], 0, 0xFFFF, "minor version"))};
}

std::string madeUpSerial(uint16_t productId, std::size_t probeNumber) {
    const char* prefix = "VX";
    for (const SerialPrefix& row : kSerialPrefixes) {
        if (row.productId == productId)
            prefix = row.prefix;
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, "%s%06zu", prefix, probeNumber);
    return serial;
}

ProbeOption probeOf(const std::string& value, std::size_t probeNumber) {
    const std::vector<std::string> parts = split(value, ':');
    if (parts.size() > 3)
        reject("--probe takes VARIANT[:SERIAL[:FIRMWARE]], not \"" + value + "\"");
    ProbeOption probe;
    probe.productId = variantOf(parts[0]).productId;
    probe.serial = parts.size() > 1 && !parts[1].empty()
                       ? parts[1]
                       : madeUpSerial(probe.productId, probeNumber);
    probe.firmware = firmwareOf(parts.size() > 2 ? parts[2] : std::string());
    return probe;
}

// The errnos a refused open or claim may answer, by name.
constexpr std::array<std::pair<std::string_view, int>, 5> kRefusalErrors{{
    {"EACCES", EACCES},
    {"EPERM", EPERM},
    {"EBUSY", EBUSY},
    {"ENODEV", ENODEV},
    {"ENOENT", ENOENT},
}};

int refusalErrorOf(const std::string& name) {
    for (const auto& [word, error] : kRefusalErrors) {
        if (name == word)
            return error;
    }
    reject("unknown errno \"" + name + "\" (EACCES, EPERM, EBUSY, ENODEV or ENOENT)");
}

FaultOption refusalOf(Kind kind, const std::vector<std::string>& parts) {
    if (parts.size() > 3)
        reject("--fault " + parts[0] + " takes at most a count and an errno");
    FaultOption fault;
    fault.kind = kind;
    fault.position = parts.size() >= 2 ? static_cast<int>(number(parts[1], 1, 1000, "count")) : 1;
    fault.argument = static_cast<uint32_t>(parts.size() == 3          ? refusalErrorOf(parts[2])
                                           : kind == Kind::RefuseOpen ? EACCES
                                                                      : EBUSY);
    return fault;
}

FaultOption requestFaultOf(const std::vector<std::string>& parts) {
    if (parts.size() != 3)
        reject("--fault request takes request:N:fail|timeout|unplug");
    FaultOption fault;
    fault.kind = Kind::Request;
    fault.position = static_cast<int>(number(parts[1], 1, 1'000'000, "request number"));
    for (const RequestFaultWord& row : kRequestFaults) {
        if (parts[2] == row.word) {
            fault.requestFault = row.fault;
            return fault;
        }
    }
    reject("unknown request fault \"" + parts[2] + "\"");
}

FaultOption commandFaultOf(sim::Command command, const std::vector<std::string>& parts) {
    if (parts.size() < 3 || parts.size() > 4)
        reject("--fault " + parts[0] + " takes " + parts[0] + ":N:FAULT[:ARGUMENT]");
    FaultOption fault;
    fault.kind = Kind::Command;
    fault.command = command;
    fault.position = static_cast<int>(number(parts[1], 1, 1'000'000, "command occurrence"));
    for (const CommandFaultWord& row : kCommandFaults) {
        if (parts[2] != row.word)
            continue;
        fault.commandFault = row.fault;
        fault.argument = row.defaultArgument;
        const bool given = parts.size() == 4;
        if ((row.argument == Argument::None && given) ||
            (row.argument == Argument::Required && !given))
            reject(std::string("the fault ") + row.word +
                   (given ? " takes no argument" : " needs an argument"));
        if (given)
            fault.argument = number(parts[3], 0, 0xFFFF, "fault argument");
        return fault;
    }
    reject("unknown command fault \"" + parts[2] + "\"");
}

FaultOption faultOf(const std::string& value) {
    const std::vector<std::string> parts = split(value, ':');
    if (parts[0] == "open")
        return refusalOf(Kind::RefuseOpen, parts);
    if (parts[0] == "claim")
        return refusalOf(Kind::RefuseClaim, parts);
    if (parts[0] == "request")
        return requestFaultOf(parts);
    for (const sim::Command command : sim::kAllCommands) {
        if (parts[0] == sim::commandName(command))
            return commandFaultOf(command, parts);
    }
    reject("unknown fault \"" + value + "\"");
}

}  // namespace

std::string variantName(const sim::ProbeVariant& variant) {
    const ProbeModel* model = findProbeModel(variant.productId);
    std::string name(model ? shortVariantName(*model) : std::string_view(variant.product));
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

EmulatorOptions parseEmulatorOptions(std::span<const std::string> arguments) {
    EmulatorOptions options;
    std::size_t i = 0;
    auto valueOf = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= arguments.size())
            reject(option + " needs a value");
        return arguments[++i];
    };
    for (; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--") {
            ++i;
            break;
        }
        if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--probe") {
            options.probes.push_back(probeOf(valueOf(word), options.probes.size() + 1));
        } else if (word == "--fault") {
            const std::string& value = valueOf(word);
            if (options.probes.empty())
                reject("--fault " + value + " comes before any --probe");
            options.probes.back().faults.push_back(faultOf(value));
        } else if (word.starts_with("-")) {
            reject("unknown option " + word);
        } else {
            break;
        }
    }
    options.command.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
    if (!options.help && options.command.empty())
        reject("no program to run");
    return options;
}

std::string emulatorUsage() {
    std::string variants;
    for (const sim::ProbeVariant& variant : sim::probeVariants())
        variants += " " + variantName(variant) + " (" + std::to_string(variant.productId) + ")";
    return "Usage: velantrix-probe-emulator [--probe PROBE [--fault FAULT]...]... [--] PROGRAM "
           "[ARGUMENT...]\n"
           "Runs PROGRAM with emulated Velantrix probes attached, reached through its own\n"
           "libudev and libusb calls (umockdev), without hardware.\n"
           "\n"
           "  --probe VARIANT[:SERIAL[:FIRMWARE]]\n"
           "        plugs in a probe. VARIANT:" +
           variants +
           ".\n"
           "        SERIAL is made up when left out. FIRMWARE is MAJOR.MINOR (default 1.0)\n"
           "        or none for a probe that holds only its loader.\n"
           "  --fault FAULT   scripts misbehaviour into the probe named before it:\n"
           "        COMMAND:N:noreply|fail|unplug    the Nth COMMAND (connect, disconnect,\n"
           "                                         write, erase, crc, info)\n"
           "        COMMAND:N:busy[:TIMES]  COMMAND:N:shortreply:BYTES\n"
           "        COMMAND:N:wrongtag:TAG  write:N:corruptwrite:OFFSET\n"
           "        request:N:fail|timeout|unplug     the Nth USB request\n"
           "        open[:TIMES[:ERRNO]]  claim[:TIMES[:ERRNO]]\n"
           "                          refuses opening (EACCES) or claiming (EBUSY), or\n"
           "                          with ERRNO: EACCES, EPERM, EBUSY, ENODEV, ENOENT\n"
           "  --help\n"
           "\n"
           "Example: velantrix-probe-emulator --probe osprey:OS000001:3.0 --fault erase:3:noreply"
           " -- ./build/velantrix-update\n";
}

void applyFault(const FaultOption& fault, sim::VirtualProbe& probe) {
    switch (fault.kind) {
        case Kind::RefuseOpen:
            probe.refuseOpen(fault.position, static_cast<int>(fault.argument));
            return;
        case Kind::RefuseClaim:
            probe.refuseClaim(fault.position, static_cast<int>(fault.argument));
            return;
        case Kind::Request: {
            sim::RequestStep step = probe.atRequest(fault.position);
            switch (fault.requestFault) {
                case sim::RequestFault::Fail:
                    step.fail();
                    return;
                case sim::RequestFault::TimeOut:
                    step.timeOut();
                    return;
                case sim::RequestFault::Unplug:
                    step.unplug();
                    return;
            }
            return;
        }
        case Kind::Command:
            break;
    }
    sim::CommandStep step = probe.on(fault.command, fault.position);
    switch (fault.commandFault) {
        case sim::CommandFault::NoReply:
            step.noReply();
            return;
        case sim::CommandFault::ShortReply:
            step.shortReply(static_cast<int>(fault.argument));
            return;
        case sim::CommandFault::WrongTag:
            step.wrongTag(static_cast<uint8_t>(fault.argument));
            return;
        case sim::CommandFault::Fail:
            step.fail();
            return;
        case sim::CommandFault::Busy:
            step.busy(static_cast<int>(fault.argument));
            return;
        case sim::CommandFault::CorruptWrite:
            step.corruptWrite(fault.argument);
            return;
        case sim::CommandFault::Unplug:
            step.unplug();
            return;
    }
}

}  // namespace emulator
