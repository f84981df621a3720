#include "sim/VirtualUsbHandle.h"

#include <utility>

namespace sim {

VirtualUsbHandle::VirtualUsbHandle(std::shared_ptr<VirtualDevice> opened, uint64_t onAttachment,
                                   std::weak_ptr<BusState> owner, int handleId)
    : device(std::move(opened)),
      attachment(onAttachment),
      bus(std::move(owner)),
      handle(handleId) {}

VirtualUsbHandle::~VirtualUsbHandle() {
    device->releaseInterfaces(attachment, handle);
}

std::optional<platform::UsbIdentity> VirtualUsbHandle::identity() {
    const DeviceDescriptor own = device->descriptor();
    return platform::UsbIdentity{own.vendorId, own.productId, own.serial};
}

int VirtualUsbHandle::interfaceOfEndpoint(uint8_t endpoint) {
    return device->interfaceOfEndpoint(attachment, endpoint);
}

platform::OpenFailure VirtualUsbHandle::claimFailure() const {
    const int error = device->claimRefusalError();
    return {platform::reasonOfErrno(error), error, {}};
}

bool VirtualUsbHandle::claimInterface(int interfaceNumber) {
    return device->claimInterface(attachment, handle, interfaceNumber);
}

int VirtualUsbHandle::bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) {
    return report(device->bulkTransfer(attachment, endpoint, data, length, timeoutMs));
}

int VirtualUsbHandle::controlTransfer(uint8_t requestType, uint8_t request, uint16_t value,
                                      uint16_t index, void* data, uint16_t length,
                                      unsigned timeoutMs) {
    return report(device->controlTransfer(attachment, {requestType, request, value, index}, data,
                                          length, timeoutMs));
}

int VirtualUsbHandle::report(const TransferOutcome& outcome) {
    if (outcome.event != BusEvent::None) {
        if (const std::shared_ptr<BusState> state = bus.lock())
            state->deviceLeft(attachment, outcome.event, outcome.returnAfterMs);
    }
    return outcome.result;
}

}  // namespace sim
