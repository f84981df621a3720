#include "link/USBDataLink.h"

#include <array>
#include <climits>

#include "link/LinkMessages.h"
#include "platform/HException.h"

namespace {

bool isListedDevice(platform::UsbDevice& device, const USBDeviceInfo& info) {
    const std::optional<platform::UsbIdentity> found = device.identity();
    if (!found)
        return true;  // the path names this very device
    return found->vendorId == info.vendorId && found->productId == info.productId &&
           (info.serialNumber.empty() || found->serialNumber == info.serialNumber);
}

}  // namespace

USBDataLink::USBDataLink(platform::Context context, const USBDeviceInfo& info, uint8_t outPipe_,
                         uint8_t inPipe_)
    : HDataLink(context.clock), outPipe(outPipe_), inPipe(inPipe_) {
    platform::OpenFailure failure;
    auto opened = context.platform.tryOpenUsbDevice(info.devicePath, failure);
    if (!opened)
        throw HException(messages::cannotOpenUsb, failure);
    // The path names a port: whatever is plugged in there now is opened. Anything but the device
    // that was listed is left alone, since an update would erase and write it.
    if (!isListedDevice(*opened, info))
        throw HException(messages::cannotOpenUsb, {platform::OpenFailureReason::Gone, 0, {}});
    // Both pipes must belong to one interface: that is the one interface this link claims.
    const int interfaceNumber = opened->interfaceOfEndpoint(inPipe);
    if (interfaceNumber < 0 || opened->interfaceOfEndpoint(outPipe) != interfaceNumber)
        throw HException(messages::cannotClaimInterface);
    if (!opened->claimInterface(interfaceNumber))
        throw HException(messages::cannotClaimInterface, opened->claimFailure());  // closes it
    device = std::move(opened);
}

USBDataLink::~USBDataLink() = default;

int USBDataLink::read(void* buffer, unsigned length) {
    if (length > INT_MAX)
        return -1;
    const int result = device->bulkTransfer(inPipe, buffer, static_cast<int>(length), readTimeout);
    note(result, length, true);
    return result;
}

int USBDataLink::write(const void* buffer, unsigned length) {
    if (length > INT_MAX)
        return -1;
    // An OUT transfer only reads from the buffer; the transfer call is shared with IN.
    const int result = device->bulkTransfer(outPipe, const_cast<void*>(buffer),
                                            static_cast<int>(length), readTimeout);
    note(result, length, false);
    return result;
}

void USBDataLink::note(int result, unsigned length, bool reading) {
    const bool whole = result >= 0 && static_cast<unsigned>(result) == length;
    if (!whole)
        backlog = Backlog::Possible;
    else if (reading && backlog == Backlog::Unknown)
        backlog = Backlog::None;
}

void USBDataLink::purge() {
    if (backlog == Backlog::None)
        return;
    // A multiple of every bulk packet size, so a drain read never overflows on a whole packet.
    std::array<uint8_t, 4096> discarded;
    for (int i = 0; i < kPurgeReads; ++i) {
        if (device->bulkTransfer(inPipe, discarded.data(), static_cast<int>(discarded.size()),
                                 kPurgeTimeoutMs) <= 0) {
            backlog = Backlog::None;
            return;
        }
    }
}

bool USBDataLink::controlTransfer(uint8_t direction, uint8_t type, uint8_t recipient,
                                  uint8_t request, uint16_t value, uint16_t index, void* data,
                                  uint16_t length) {
    const auto requestType = static_cast<uint8_t>(direction | type | recipient);
    return device->controlTransfer(requestType, request, value, index, data, length,
                                   kControlTimeoutMs) >= 0;
}
