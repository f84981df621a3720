#include "link/USBFtd2xxDataLink.h"

#include <array>

#include "link/LinkMessages.h"
#include "platform/HException.h"

namespace {
// Request type 0x40: host to device, vendor, device recipient.
constexpr uint8_t kHostToDevice = 0x00;
constexpr uint8_t kVendor = 0x40;
constexpr uint8_t kToDevice = 0x00;
constexpr uint8_t kLatencyMs = 1;
}  // namespace

USBFtd2xxDataLink::USBFtd2xxDataLink(platform::Context context, const USBDeviceInfo& device,
                                     int channelArgument)
    : Ftd2xxDataLink(context.clock, channelArgument),
      usbLink(std::make_unique<USBDataLink>(context, device, outPipe, inPipe)) {
    // From here on a throw destroys usbLink, which closes the device.
    requireVendorRequest(ftdi::kRequestReset, ftdi::kResetChannel, messages::cannotResetBridge);

    // Whatever the channel still held from before the reset; the result does not matter.
    std::array<uint8_t, 2> drained{};
    read(drained.data(), static_cast<unsigned>(drained.size()));

    requireVendorRequest(ftdi::kRequestReset, ftdi::kPurgeTx, messages::cannotPurgeTx);
    requireVendorRequest(ftdi::kRequestReset, ftdi::kPurgeRx, messages::cannotPurgeRx);
    // The drain may have left payload behind; it predates the purge and must not reach the
    // first reader.
    dropBufferedPayload();

    const std::array<uint8_t, 64> zeros{};
    write(zeros.data(), static_cast<unsigned>(zeros.size()));
    write(zeros.data(), static_cast<unsigned>(zeros.size()));

    requireVendorRequest(ftdi::kRequestSetLatencyTimer, kLatencyMs, messages::cannotSetLatency);
}

USBFtd2xxDataLink::~USBFtd2xxDataLink() = default;

int USBFtd2xxDataLink::write(const void* buffer, unsigned length) {
    return usbLink->write(buffer, length);
}

int USBFtd2xxDataLink::rawRead(void* buffer, unsigned length) {
    return usbLink->read(buffer, length);
}

bool USBFtd2xxDataLink::vendorRequest(uint8_t request, uint16_t value, uint16_t index) {
    return usbLink->controlTransfer(kHostToDevice, kVendor, kToDevice, request, value, index,
                                    nullptr, 0);
}
