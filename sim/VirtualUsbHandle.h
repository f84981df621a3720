#pragma once

#include <memory>

#include "platform/Platform.h"
#include "sim/BusState.h"
#include "sim/VirtualDevice.h"

namespace sim {

// An open virtual device, bound to the attachment it was opened on. Once the device leaves the
// bus (unplugged, or re-enumerated as a new attachment) every call fails; none crashes or blocks
// for long. Closing releases what the handle claimed. One thread at a time, as every UsbDevice
// (the device behind it locks for itself).
class VirtualUsbHandle final : public platform::UsbDevice {
public:
    VirtualUsbHandle(std::shared_ptr<VirtualDevice> device, uint64_t attachment,
                     std::weak_ptr<BusState> bus, int handleId);
    ~VirtualUsbHandle() override;

    std::optional<platform::UsbIdentity> identity() override;
    int interfaceOfEndpoint(uint8_t endpoint) override;
    bool claimInterface(int interfaceNumber) override;
    platform::OpenFailure claimFailure() const override;
    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override;
    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override;

private:
    int report(const TransferOutcome& outcome);

    std::shared_ptr<VirtualDevice> device;
    uint64_t attachment;
    std::weak_ptr<BusState> bus;
    int handle;
};

}  // namespace sim
