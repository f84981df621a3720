#include "sim/FaultScript.h"

#include <utility>

namespace sim {

std::optional<CommandRule> FaultScript::commandFault(Command command, int occurrence) const {
    for (const CommandRule& rule : commandRules) {
        if (rule.command == command && occurrence >= rule.first &&
            occurrence - rule.first < rule.count)
            return rule;
    }
    return std::nullopt;
}

std::optional<RequestFault> FaultScript::requestFault(int index) const {
    for (const RequestRule& rule : requestRules) {
        if (rule.index == index)
            return rule.fault;
    }
    return std::nullopt;
}

bool FaultScript::takeVendorRefusal(uint8_t request, uint16_t value) {
    for (VendorRefusal& refusal : vendorRefusals) {
        if (refusal.request != request || (refusal.value && *refusal.value != value) ||
            refusal.remaining == 0)
            continue;
        if (refusal.remaining > 0)
            --refusal.remaining;
        return true;
    }
    return false;
}

bool FaultScript::takeOpenRefusal() {
    if (openRefusals <= 0)
        return false;
    --openRefusals;
    return true;
}

bool FaultScript::takeClaimRefusal() {
    if (claimRefusals <= 0)
        return false;
    --claimRefusals;
    return true;
}

CommandStep::CommandStep(Sink commandSink, Command scripted, int scriptedOccurrence)
    : sink(std::move(commandSink)), command(scripted), occurrence(scriptedOccurrence) {}

void CommandStep::add(CommandFault fault, uint32_t argument, int count) {
    sink({command, occurrence, count, fault, argument});
}

void CommandStep::noReply() {
    add(CommandFault::NoReply);
}
void CommandStep::shortReply(int bytes) {
    add(CommandFault::ShortReply, static_cast<uint32_t>(bytes));
}
void CommandStep::wrongTag(uint8_t tag) {
    add(CommandFault::WrongTag, tag);
}
void CommandStep::fail() {
    add(CommandFault::Fail);
}
void CommandStep::busy(int times) {
    add(CommandFault::Busy, 0, times);
}
void CommandStep::corruptWrite(uint32_t offset) {
    add(CommandFault::CorruptWrite, offset);
}
void CommandStep::unplug() {
    add(CommandFault::Unplug);
}

RequestStep::RequestStep(Sink requestSink, int scriptedIndex)
    : sink(std::move(requestSink)), index(scriptedIndex) {}

void RequestStep::fail() {
    sink({index, RequestFault::Fail});
}
void RequestStep::timeOut() {
    sink({index, RequestFault::TimeOut});
}
void RequestStep::unplug() {
    sink({index, RequestFault::Unplug});
}

}  // namespace sim
