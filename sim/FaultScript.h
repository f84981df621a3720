#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "sim/LoaderWire.h"

namespace sim {

// What the probe does instead of answering a command normally.
enum class CommandFault {
    NoReply,       // ignores the command: nothing carried out, nothing answered
    ShortReply,    // carries it out, sends only the first `argument` bytes of the reply
    WrongTag,      // carries it out, the reply starts with the tag `argument`
    Fail,          // refuses it: nothing carried out, status 0
    Busy,          // nothing carried out, status 0xFF (busy)
    CorruptWrite,  // write only: stores data byte `argument` with its bits flipped, reports success
    Unplug,        // leaves the bus as the command arrives; the transfer carrying it fails
};

// A fault for the occurrences [first, first + count) of one command, counted from 1 since the
// probe's trace was last cleared.
struct CommandRule {
    Command command = Command::Connect;
    int first = 1;
    int count = 1;
    CommandFault fault = CommandFault::NoReply;
    uint32_t argument = 0;
};

// What happens to one USB request (control or bulk transfer) instead of its normal course.
enum class RequestFault {
    Fail,     // fails at once (stall): -1
    TimeOut,  // never completes: takes the caller's whole time-out, then -1
    Unplug,   // the probe leaves the bus during it: -1, and every later call on the handle fails
};

struct RequestRule {
    int index = 1;  // counted from 1 over every request the probe saw since the trace was cleared
    RequestFault fault = RequestFault::Fail;
};

struct VendorRefusal {
    uint8_t request = 0;
    std::optional<uint16_t> value;  // any value when absent
    int remaining = -1;             // refusals left; negative: refuse every time
};

// The probe's script of misbehaviour. Rules are looked up in the order they were added; the
// first that matches applies.
class FaultScript {
public:
    void add(const CommandRule& rule) { commandRules.push_back(rule); }
    void add(const RequestRule& rule) { requestRules.push_back(rule); }
    void add(const VendorRefusal& refusal) { vendorRefusals.push_back(refusal); }
    // Refusals answer `error` (an errno) as the reason.
    void refuseOpens(int count, int error) {
        openRefusals += count;
        openError = error;
    }
    void refuseClaims(int count, int error) {
        claimRefusals += count;
        claimError = error;
    }
    int openRefusalError() const { return openError; }
    int claimRefusalError() const { return claimError; }
    void clear() { *this = FaultScript{}; }

    std::optional<CommandRule> commandFault(Command command, int occurrence) const;
    std::optional<RequestFault> requestFault(int index) const;
    // These use up one refusal when they answer true.
    bool takeVendorRefusal(uint8_t request, uint16_t value);
    bool takeOpenRefusal();
    bool takeClaimRefusal();

private:
    std::vector<CommandRule> commandRules;
    std::vector<RequestRule> requestRules;
    std::vector<VendorRefusal> vendorRefusals;
    int openRefusals = 0;
    int claimRefusals = 0;
    int openError = 0;
    int claimError = 0;
};

// Scripts one command occurrence: `probe.on(Command::Erase, 3).noReply()` reads "on the third
// erase the probe does not answer".
class CommandStep {
public:
    using Sink = std::function<void(const CommandRule&)>;
    CommandStep(Sink sink, Command command, int occurrence);

    void noReply();
    void shortReply(int bytes);
    void wrongTag(uint8_t tag);
    void fail();
    void busy(int times = 1);  // this occurrence and the next times-1
    void corruptWrite(uint32_t offset);
    void unplug();

private:
    void add(CommandFault fault, uint32_t argument = 0, int count = 1);
    Sink sink;
    Command command;
    int occurrence;
};

// Scripts one USB request: `probe.atRequest(12).unplug()`.
class RequestStep {
public:
    using Sink = std::function<void(const RequestRule&)>;
    RequestStep(Sink sink, int index);

    void fail();
    void timeOut();
    void unplug();

private:
    Sink sink;
    int index;
};

}  // namespace sim
