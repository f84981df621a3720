#include "sim/VirtualProbe.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "firmware/FirmwareImageHeader.h"
#include "sim/BulkPipes.h"
#include "sim/FtdiBridge.h"
#include "sim/SimTime.h"

namespace sim {

namespace {

constexpr uint8_t kRequestTypeMask = 0x60;
constexpr uint8_t kVendorType = 0x40;

}  // namespace

// Lets a transfer wait without holding the probe's lock, bounded by the transfer's time-out.
class VirtualProbe::Wait final : public TransferWait {
public:
    Wait(VirtualProbe& owner, std::unique_lock<std::mutex>& held, uint64_t onAttachment,
         unsigned timeoutMs)
        : probe(owner), lock(held), attachment(onAttachment), clock(*owner.busClock) {
        if (timeoutMs > 0)
            deadline = sim::nowUs(clock) + uint64_t{timeoutMs} * 1000;
    }

    uint64_t nowUs() override { return sim::nowUs(clock); }

    bool waitUs(uint64_t us) override {
        bool cut = false;
        if (const std::optional<uint64_t> left = remainingUs(); left && us >= *left) {
            us = *left;
            cut = true;
        }
        if (us > 0) {
            lock.unlock();
            spendUs(clock, us);
            lock.lock();
        }
        return !cut && probe.isCurrent(attachment);
    }

    std::optional<uint64_t> remainingUs() override {
        if (!deadline)
            return std::nullopt;
        const uint64_t now = sim::nowUs(clock);
        return *deadline > now ? *deadline - now : 0;
    }

private:
    VirtualProbe& probe;
    std::unique_lock<std::mutex>& lock;
    const uint64_t attachment;
    platform::Clock& clock;
    std::optional<uint64_t> deadline;
};

VirtualProbe::VirtualProbe(const ProbeVariant& variant, std::string serial, uint16_t vendorId)
    : model(variant),
      serialNumber(std::move(serial)),
      vendor(vendorId),
      flash(variant.flashBase, variant.flashSize),
      loader(flash, variant.loaderMajor, variant.loaderMinor) {
    ProbeLine& line = *this;
    switch (variant.face) {
        case UsbFaceKind::FtdiBridge: {
            auto ftdi = std::make_unique<FtdiBridge>(line);
            bridge = ftdi.get();
            face = std::move(ftdi);
            break;
        }
        case UsbFaceKind::PlainBulk:
            face = std::make_unique<BulkPipes>(line);
            break;
        case UsbFaceKind::DescriptorOnly:
            face = makeDescriptorOnlyFace();
            break;
    }
}

VirtualProbe::~VirtualProbe() = default;

// ---- Memory and state ----

void VirtualProbe::installImage(std::span<const uint8_t> image) {
    std::lock_guard lock(mutex);
    if (image.size() > flash.size())
        throw std::invalid_argument("image larger than the probe's firmware region");
    flash.erase(flash.base(), flash.size());
    flash.load(flash.base(), image);
}

std::vector<uint8_t> VirtualProbe::readFlash(uint32_t address, uint32_t length) const {
    std::lock_guard lock(mutex);
    return flash.read(address, length);
}

std::optional<uint32_t> VirtualProbe::flashCrc(uint32_t address, uint32_t length) const {
    std::lock_guard lock(mutex);
    return flash.crc(address, length);
}

void VirtualProbe::corruptFlashByte(uint32_t address) {
    std::lock_guard lock(mutex);
    flash.corrupt(address);
}

ProbeMode VirtualProbe::mode() const {
    std::lock_guard lock(mutex);
    return state;
}

bool VirtualProbe::loaderConnected() const {
    std::lock_guard lock(mutex);
    return loader.connected();
}

bool VirtualProbe::isAttached() const {
    std::lock_guard lock(mutex);
    return current != 0;
}

std::size_t VirtualProbe::pendingReplyBytes() const {
    std::lock_guard lock(mutex);
    return outgoing.readyBytes(UINT64_MAX);
}

std::optional<uint8_t> VirtualProbe::latencyTimerMs(int channel) const {
    std::lock_guard lock(mutex);
    if (!bridge || channel < 0 || channel >= FtdiBridge::kChannels)
        return std::nullopt;
    return bridge->latencyMs(channel);
}

std::optional<uint16_t> VirtualProbe::bitMode(int channel) const {
    std::lock_guard lock(mutex);
    if (!bridge || channel < 0 || channel >= FtdiBridge::kChannels)
        return std::nullopt;
    return bridge->bitMode(channel);
}

// ---- Script, timing, trace ----

CommandStep VirtualProbe::on(Command command, int occurrence) {
    return CommandStep(
        [this](const CommandRule& rule) {
            std::lock_guard lock(mutex);
            script.add(rule);
        },
        command, occurrence);
}

RequestStep VirtualProbe::atRequest(int index) {
    return RequestStep(
        [this](const RequestRule& rule) {
            std::lock_guard lock(mutex);
            script.add(rule);
        },
        index);
}

void VirtualProbe::refuseVendorRequest(uint8_t request, std::optional<uint16_t> value, int times) {
    std::lock_guard lock(mutex);
    script.add(VendorRefusal{request, value, times});
}

void VirtualProbe::refuseOpen(int times, int error) {
    std::lock_guard lock(mutex);
    script.refuseOpens(times, error);
}

void VirtualProbe::refuseClaim(int times, int error) {
    std::lock_guard lock(mutex);
    script.refuseClaims(times, error);
}

int VirtualProbe::openRefusalError() const {
    std::lock_guard lock(mutex);
    return script.openRefusalError() != 0 ? script.openRefusalError()
                                          : VirtualDevice::openRefusalError();
}

int VirtualProbe::claimRefusalError() const {
    std::lock_guard lock(mutex);
    return script.claimRefusalError() != 0 ? script.claimRefusalError()
                                           : VirtualDevice::claimRefusalError();
}

void VirtualProbe::answerWith(Responder answer) {
    std::lock_guard lock(mutex);
    responder = std::move(answer);
}

void VirtualProbe::answerWithBytes(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex);
    outgoing.push(std::move(bytes), nowUs());
}

void VirtualProbe::clearScript() {
    std::lock_guard lock(mutex);
    script.clear();
    responder = nullptr;
}

void VirtualProbe::setTiming(std::optional<TimingModel> figures) {
    std::lock_guard lock(mutex);
    timing = figures;
}

ProbeTrace VirtualProbe::trace() const {
    std::lock_guard lock(mutex);
    return log;
}

std::vector<LoggedRequest> VirtualProbe::requests() const {
    std::lock_guard lock(mutex);
    return log.requests;
}

int VirtualProbe::commandCount(Command command) const {
    std::lock_guard lock(mutex);
    return log.count(command);
}

void VirtualProbe::clearTrace() {
    std::lock_guard lock(mutex);
    log = ProbeTrace{};
}

// ---- Bus side ----

DeviceDescriptor VirtualProbe::descriptor() const {
    return {vendor, model.productId, serialNumber, kProbeManufacturer, model.product};
}

void VirtualProbe::attached(uint64_t attachment, AttachReason reason, platform::Clock& clock) {
    std::lock_guard lock(mutex);
    busClock = &clock;
    current = attachment;
    claims.clear();
    outgoing.clear();
    assembler.discard();
    loader.endSession();
    face->powerOn();
    if (reason == AttachReason::PluggedIn)
        state = flash.word(flash.base()) == firmwareImageMagic ? ProbeMode::RunningFirmware
                                                               : ProbeMode::Loader;
    else
        state = ProbeMode::Loader;
}

void VirtualProbe::detached() {
    std::lock_guard lock(mutex);
    current = 0;
    claims.clear();
}

bool VirtualProbe::open(uint64_t attachment) {
    std::lock_guard lock(mutex);
    return isCurrent(attachment) && !script.takeOpenRefusal();
}

int VirtualProbe::interfaceOfEndpoint(uint64_t attachment, uint8_t endpoint) {
    std::lock_guard lock(mutex);
    return isCurrent(attachment) ? face->interfaceOfEndpoint(endpoint) : -1;
}

bool VirtualProbe::claimInterface(uint64_t attachment, int handle, int interfaceNumber) {
    std::lock_guard lock(mutex);
    if (!isCurrent(attachment) || !face->hasInterface(interfaceNumber) || script.takeClaimRefusal())
        return false;
    const auto [holder, inserted] = claims.try_emplace(interfaceNumber, handle);
    return inserted || holder->second == handle;
}

void VirtualProbe::releaseInterfaces(uint64_t attachment, int handle) {
    std::lock_guard lock(mutex);
    if (!isCurrent(attachment))
        return;
    std::erase_if(claims, [handle](const auto& claim) { return claim.second == handle; });
}

std::size_t VirtualProbe::beginRequest(LoggedRequest entry) {
    entry.index = static_cast<int>(log.requests.size()) + 1;
    entry.startUs = nowUs();
    log.requests.push_back(std::move(entry));
    return log.requests.size();
}

void VirtualProbe::endRequest(std::size_t index, int result, std::vector<uint8_t> data) {
    // The trace may have been cleared while the request waited.
    if (index == 0 || index > log.requests.size() ||
        log.requests[index - 1].index != static_cast<int>(index))
        return;
    LoggedRequest& entry = log.requests[index - 1];
    entry.result = result;
    entry.endUs = nowUs();
    if (!data.empty())
        entry.data = std::move(data);
}

int VirtualProbe::applyRequestFault(RequestFault fault, Wait& wait) {
    switch (fault) {
        case RequestFault::Fail:
            break;
        case RequestFault::TimeOut:
            if (const std::optional<uint64_t> left = wait.remainingUs())
                wait.waitUs(*left);
            break;
        case RequestFault::Unplug:
            leaveBus(BusEvent::Unplugged);
            break;
    }
    return -1;
}

TransferOutcome VirtualProbe::bulkTransfer(uint64_t attachment, uint8_t endpoint, void* data,
                                           int length, unsigned timeoutMs) {
    std::unique_lock lock(mutex);
    if (!isCurrent(attachment) || length < 0 || (length > 0 && !data))
        return {};
    const bool in = (endpoint & 0x80) != 0;
    const std::span<uint8_t> bytes(static_cast<uint8_t*>(data), static_cast<std::size_t>(length));
    LoggedRequest entry;
    entry.kind = in ? LoggedRequest::Kind::BulkIn : LoggedRequest::Kind::BulkOut;
    entry.endpoint = endpoint;
    entry.length = length;
    if (!in)
        entry.data.assign(bytes.begin(), bytes.end());
    const std::size_t index = beginRequest(std::move(entry));
    leaving = BusEvent::None;
    Wait wait(*this, lock, attachment, timeoutMs);

    int result = -1;
    std::vector<uint8_t> delivered;
    if (const auto fault = script.requestFault(static_cast<int>(index))) {
        result = applyRequestFault(*fault, wait);
    } else if (in) {
        result = face->bulkIn(endpoint, bytes, wait, timing.has_value());
        if (result > 0 && timing &&
            !wait.waitUs(bulkTransferUs(*timing, static_cast<uint64_t>(result))))
            result = -1;
        if (result > 0)
            delivered.assign(bytes.begin(), bytes.begin() + result);
    } else if (!timing || wait.waitUs(bulkTransferUs(*timing, bytes.size()))) {
        result = face->bulkOut(endpoint, bytes);
    }
    if (leaving == BusEvent::Unplugged)
        result = -1;
    endRequest(index, result, std::move(delivered));
    const BusEvent event = std::exchange(leaving, BusEvent::None);
    return {result, event, event == BusEvent::Reenumerating ? kReenumerationDelayMs : 0};
}

TransferOutcome VirtualProbe::controlTransfer(uint64_t attachment, const ControlSetup& setup,
                                              void* data, uint16_t length, unsigned timeoutMs) {
    std::unique_lock lock(mutex);
    if (!isCurrent(attachment) || (length > 0 && !data))
        return {};
    const std::span<uint8_t> stage(static_cast<uint8_t*>(data), length);
    const bool in = (setup.requestType & 0x80) != 0;
    LoggedRequest entry;
    entry.kind = LoggedRequest::Kind::Control;
    entry.requestType = setup.requestType;
    entry.request = setup.request;
    entry.value = setup.value;
    entry.wIndex = setup.index;
    entry.length = length;
    if (!in)
        entry.data.assign(stage.begin(), stage.end());
    const std::size_t index = beginRequest(std::move(entry));
    leaving = BusEvent::None;
    Wait wait(*this, lock, attachment, timeoutMs);

    int result = -1;
    std::vector<uint8_t> delivered;
    const bool vendorRequest = (setup.requestType & kRequestTypeMask) == kVendorType;
    if (const auto fault = script.requestFault(static_cast<int>(index))) {
        result = applyRequestFault(*fault, wait);
    } else if (vendorRequest && script.takeVendorRefusal(setup.request, setup.value)) {
        result = -1;
    } else if (!timing || wait.waitUs(timing->controlTransferUs)) {
        result = face->control(setup, stage);
        if (in && result > 0)
            delivered.assign(stage.begin(), stage.begin() + result);
    }
    if (leaving == BusEvent::Unplugged)
        result = -1;
    endRequest(index, result, std::move(delivered));
    const BusEvent event = std::exchange(leaving, BusEvent::None);
    return {result, event, event == BusEvent::Reenumerating ? kReenumerationDelayMs : 0};
}

uint64_t VirtualProbe::nowUs() const {
    return busClock ? sim::nowUs(*busClock) : 0;
}

void VirtualProbe::leaveBus(BusEvent event) {
    leaving = event;
    current = 0;
    claims.clear();
}

// ---- The microcontroller behind the face ----

void VirtualProbe::receive(std::span<const uint8_t> bytes) {
    if (responder) {
        outgoing.push(responder(bytes), nowUs());
        return;
    }
    for (LoaderRequest& request : assembler.feed(bytes)) {
        handle(request);
        if (leaving != BusEvent::None) {
            assembler.discard();
            return;
        }
    }
}

void VirtualProbe::discardIncoming() {
    assembler.discard();
}

void VirtualProbe::handle(LoaderRequest& request) {
    const uint64_t now = nowUs();
    if (request.malformed) {
        outgoing.push(loader.execute(request).bytes, now);
        return;
    }
    const Command command = request.command();
    const int occurrence = ++log.commandCounts[request.tag];
    const std::optional<CommandRule> rule = script.commandFault(command, occurrence);
    log.commands.push_back({command, occurrence, request.address, request.length,
                            rule ? std::optional(rule->fault) : std::nullopt});
    const uint32_t argument = rule ? rule->argument : 0;
    if (rule) {
        switch (rule->fault) {
            case CommandFault::NoReply:
                return;
            case CommandFault::Fail:
                outgoing.push(ResidentLoader::statusReply(request.tag, kStatusFailed), now);
                return;
            case CommandFault::Busy:
                outgoing.push(ResidentLoader::statusReply(request.tag, kStatusBusy), now);
                return;
            case CommandFault::Unplug:
                leaveBus(BusEvent::Unplugged);
                return;
            case CommandFault::CorruptWrite:
                if (argument < request.data.size())
                    request.data[argument] ^= 0xFF;
                break;
            case CommandFault::ShortReply:
            case CommandFault::WrongTag:
                break;
        }
    }
    if (command == Command::Connect && state == ProbeMode::RunningFirmware) {
        // The firmware hands over to the loader. Variants that must re-enumerate for that
        // restart without answering and come back as a new device on the same port.
        state = ProbeMode::Loader;
        if (model.reopenAfterConnect) {
            leaveBus(BusEvent::Reenumerating);
            return;
        }
    }
    LoaderReply reply = loader.execute(request);
    if (rule && rule->fault == CommandFault::ShortReply)
        reply.bytes.resize(std::min<std::size_t>(argument, reply.bytes.size()));
    if (rule && rule->fault == CommandFault::WrongTag && !reply.bytes.empty())
        reply.bytes[0] = static_cast<uint8_t>(argument);
    outgoing.push(std::move(reply.bytes), now + (timing ? loaderWorkUs(*timing, reply.work) : 0));
}

}  // namespace sim
