#pragma once

#include <memory>

#include "link/Ftd2xxDataLink.h"
#include "link/USBDataLink.h"
#include "link/USBDeviceInfo.h"

// An FTDI bridge channel reached through the generic USB driver: the FTDI framing of
// Ftd2xxDataLink carried by an owned USBDataLink on the channel's pipes. The carrier keeps its
// own 1000 ms timeouts; setTimeout on this link changes only this link's bound. Both run on the
// context's clock. One thread at a time, as every link.
class USBFtd2xxDataLink final : public Ftd2xxDataLink {
public:
    // Opens the device, then resets the channel, drains it, purges both directions, pushes two
    // blocks of zeros and sets the latency timer to 1 ms. Throws HException with the message of
    // the step that failed; the device is closed again when it does.
    USBFtd2xxDataLink(platform::Context context, const USBDeviceInfo& device, int channel);
    ~USBFtd2xxDataLink() override;

    // The OUT direction carries no FTDI framing: passed to the carrier unchanged.
    int write(const void* buffer, unsigned length) override;
    int rawRead(void* buffer, unsigned length) override;
    bool vendorRequest(uint8_t request, uint16_t value, uint16_t index) override;

private:
    std::unique_ptr<USBDataLink> usbLink;
};
