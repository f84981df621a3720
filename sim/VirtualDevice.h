#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "sim/UsbFace.h"

namespace sim {

// What the bus reads from a device's descriptors.
struct DeviceDescriptor {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // empty: the device reports none
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
};

enum class AttachReason {
    PluggedIn,     // power-on: the device starts from scratch
    Reenumerated,  // the device came back by itself after leaving the bus
};

// A device leaving the bus in the middle of a transfer, by accident or on purpose.
enum class BusEvent { None, Unplugged, Reenumerating };

struct TransferOutcome {
    int result = -1;
    BusEvent event = BusEvent::None;
    uint32_t returnAfterMs = 0;  // Reenumerating: how long it stays away
};

// Anything that can sit on the virtual bus. An attachment is one stay on the bus, from
// enumeration until the device leaves; the bus numbers attachments and never reuses a number,
// and hands the device its clock with each one: a device keeps the time of the bus it is on.
// A handle passes the attachment it was opened on with every call, and every call for one that
// is no longer current fails. Thread-safe: the bus calls attached/detached with its own lock held
// (bus lock before device lock); handles call the rest without it.
class VirtualDevice {
public:
    virtual ~VirtualDevice() = default;

    virtual DeviceDescriptor descriptor() const = 0;

    virtual void attached(uint64_t attachment, AttachReason reason, platform::Clock& clock) = 0;
    virtual void detached() = 0;

    // False refuses the open (no permission, claimed by another program).
    virtual bool open(uint64_t attachment) = 0;
    // The errno a refused open or claim stands for: no permission, and another program's claim.
    virtual int openRefusalError() const { return EACCES; }
    virtual int claimRefusalError() const { return EBUSY; }
    virtual int interfaceOfEndpoint(uint64_t attachment, uint8_t endpoint) = 0;
    virtual bool claimInterface(uint64_t attachment, int handle, int interfaceNumber) = 0;
    // The handle is closing: whatever it claimed is free again.
    virtual void releaseInterfaces(uint64_t attachment, int handle) = 0;
    virtual TransferOutcome bulkTransfer(uint64_t attachment, uint8_t endpoint, void* data,
                                         int length, unsigned timeoutMs) = 0;
    virtual TransferOutcome controlTransfer(uint64_t attachment, const ControlSetup& setup,
                                            void* data, uint16_t length, unsigned timeoutMs) = 0;
};

// A device that only shows its descriptors (a hub, a mouse, another vendor's gadget). It can be
// opened but has nothing to talk to. Thread-safe.
class PassiveDevice final : public VirtualDevice {
public:
    explicit PassiveDevice(DeviceDescriptor descriptor);

    DeviceDescriptor descriptor() const override { return own; }
    void attached(uint64_t attachment, AttachReason reason, platform::Clock& clock) override;
    void detached() override;
    bool open(uint64_t attachment) override;
    int interfaceOfEndpoint(uint64_t, uint8_t) override { return -1; }
    bool claimInterface(uint64_t, int, int) override { return false; }
    void releaseInterfaces(uint64_t, int) override {}
    TransferOutcome bulkTransfer(uint64_t, uint8_t, void*, int, unsigned) override { return {}; }
    TransferOutcome controlTransfer(uint64_t, const ControlSetup&, void*, uint16_t,
                                    unsigned) override {
        return {};
    }

private:
    const DeviceDescriptor own;
    std::mutex mutex;
    uint64_t current = 0;
};

std::shared_ptr<PassiveDevice> makePassiveDevice(DeviceDescriptor descriptor);
// Two everyday neighbours of a probe.
std::shared_ptr<PassiveDevice> makeHub();
std::shared_ptr<PassiveDevice> makeMouse();

}  // namespace sim
