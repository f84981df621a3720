#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/FaultScript.h"
#include "sim/FlashMemory.h"
#include "sim/FrameAssembler.h"
#include "sim/ProbeTrace.h"
#include "sim/ProbeVariants.h"
#include "sim/ReplyQueue.h"
#include "sim/ResidentLoader.h"
#include "sim/TimingModel.h"
#include "sim/UsbFace.h"
#include "sim/VirtualDevice.h"

namespace sim {

class FtdiBridge;

enum class ProbeMode {
    RunningFirmware,  // after power-on with a valid image in flash
    Loader,           // after power-on with no image, or once a connect reached the loader
};

// Answers instead of the loader, for fuzzing: gets every OUT transfer on the loader's pipe
// (filler included) and returns the bytes to queue as its reply (none for no reply). It runs
// with the probe's lock held and must not call back into the probe.
using Responder = std::function<std::vector<uint8_t>(std::span<const uint8_t> received)>;

// One emulated probe of any variant: its USB face (FTDI bridge, plain bulk pipes, or
// descriptors only), the resident loader behind it, its flash, a script of faults, an optional
// timing model and a trace of everything the host did. Create it with makeProbe
// (ProbeFactory.h) and attach it to a VirtualBus, whose clock it then runs on. Every member is
// thread-safe.
//
//     sim::VirtualClock clock;
//     sim::VirtualBus bus(clock);
//     auto probe = sim::makeProbe(6, "OS123456", image);
//     const std::string path = bus.attach(probe);
//     probe->on(sim::Command::Erase, 3).noReply();   // the third erase goes unanswered
//     probe->atRequest(40).unplug();                 // the cable comes out at request 40
//     ... run the program's code on platform::Context{bus, clock} against `path` ...
//     EXPECT_EQ(probe->commandCount(sim::Command::Write), 15);
//
// Script steps are used at once; they hold on to the probe.
class VirtualProbe final : public VirtualDevice, private ProbeLine {
public:
    VirtualProbe(const ProbeVariant& variant, std::string serial,
                 uint16_t vendorId = kVirtualProbeVendorId);
    ~VirtualProbe() override;

    const ProbeVariant& variant() const { return model; }

    // Memory. installImage erases the whole region and stores the image at its start, as the
    // factory would; the others look at or damage what the flash holds.
    void installImage(std::span<const uint8_t> image);
    std::vector<uint8_t> readFlash(uint32_t address, uint32_t length) const;
    std::optional<uint32_t> flashCrc(uint32_t address, uint32_t length) const;
    void corruptFlashByte(uint32_t address);

    // State.
    ProbeMode mode() const;
    bool loaderConnected() const;
    // Off the bus while unplugged or re-enumerating; a pending return shows once the bus is
    // next asked (listInterfaces, openUsbDevice, isPresent, nodeOf) at or after its time.
    bool isAttached() const;
    std::size_t pendingReplyBytes() const;
    // FTDI channel settings; nothing for a variant without the bridge.
    std::optional<uint8_t> latencyTimerMs(int channel) const;
    std::optional<uint16_t> bitMode(int channel) const;

    // Script. Positions count from 1 since the trace was last cleared.
    CommandStep on(Command command, int occurrence = 1);
    RequestStep atRequest(int index);
    // Refuses (stalls) vendor requests `request`, with any value or only `value`, `times` times
    // (every time when negative).
    void refuseVendorRequest(uint8_t request, std::optional<uint16_t> value = std::nullopt,
                             int times = -1);
    // Refuses to be opened or claimed `times` times, with `error` (an errno) as the reason.
    void refuseOpen(int times = 1, int error = EACCES);
    void refuseClaim(int times = 1, int error = EBUSY);
    // Fuzzing: a responder replaces the loader until it is reset with null; answerWithBytes
    // queues bytes for the host at once (a purge drops them like any reply).
    void answerWith(Responder responder);
    void answerWithBytes(std::vector<uint8_t> bytes);
    void clearScript();

    // Timing model; off (nothing) by default.
    void setTiming(std::optional<TimingModel> timing);

    // Trace.
    ProbeTrace trace() const;
    std::vector<LoggedRequest> requests() const;
    int commandCount(Command command) const;
    void clearTrace();

    // VirtualDevice.
    DeviceDescriptor descriptor() const override;
    void attached(uint64_t attachment, AttachReason reason, platform::Clock& clock) override;
    void detached() override;
    bool open(uint64_t attachment) override;
    int openRefusalError() const override;
    int claimRefusalError() const override;
    int interfaceOfEndpoint(uint64_t attachment, uint8_t endpoint) override;
    bool claimInterface(uint64_t attachment, int handle, int interfaceNumber) override;
    void releaseInterfaces(uint64_t attachment, int handle) override;
    TransferOutcome bulkTransfer(uint64_t attachment, uint8_t endpoint, void* data, int length,
                                 unsigned timeoutMs) override;
    TransferOutcome controlTransfer(uint64_t attachment, const ControlSetup& setup, void* data,
                                    uint16_t length, unsigned timeoutMs) override;

private:
    class Wait;

    // ProbeLine: the microcontroller behind the face.
    void receive(std::span<const uint8_t> bytes) override;
    void discardIncoming() override;
    ReplyQueue& replies() override { return outgoing; }

    // Now on the clock of the bus the probe was last plugged into; 0 before it ever was.
    uint64_t nowUs() const;
    void handle(LoaderRequest& request);
    void leaveBus(BusEvent event);
    bool isCurrent(uint64_t attachment) const { return attachment != 0 && attachment == current; }
    std::size_t beginRequest(LoggedRequest entry);
    void endRequest(std::size_t index, int result, std::vector<uint8_t> data);
    int applyRequestFault(RequestFault fault, Wait& wait);

    const ProbeVariant& model;
    const std::string serialNumber;
    const uint16_t vendor;

    // Guards everything below: the parts of the probe do not lock for themselves.
    mutable std::mutex mutex;
    FlashMemory flash;
    ResidentLoader loader;
    FrameAssembler assembler;
    ReplyQueue outgoing;
    std::unique_ptr<UsbFace> face;
    FtdiBridge* bridge = nullptr;  // face, when it is the bridge
    FaultScript script;
    ProbeTrace log;
    Responder responder;
    std::optional<TimingModel> timing;
    ProbeMode state = ProbeMode::Loader;
    platform::Clock* busClock = nullptr;
    uint64_t current = 0;       // attachment, 0 while off the bus
    std::map<int, int> claims;  // interface -> handle
    BusEvent leaving = BusEvent::None;
};

}  // namespace sim
