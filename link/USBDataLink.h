#pragma once

#include <cstdint>
#include <memory>

#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

// A data link over one bulk OUT and one bulk IN pipe of a probe served by the generic USB
// driver. Also the carrier inside the FTDI link, which uses its control transfers. One thread at
// a time, as every link.
class USBDataLink : public HDataLink {
public:
    // Opens `device.devicePath` on the context's platform and claims the interface that owns both
    // pipes; the link runs on the context's clock. Throws HException "Cannot open USB driver"
    // when the path does not lead to a device that can be opened, or leads to another device
    // than `device` (ids, and serial number when it has one), and "Cannot claim USB interface"
    // (device closed again) when the interface cannot be had.
    USBDataLink(platform::Context context, const USBDeviceInfo& device, uint8_t outPipe,
                uint8_t inPipe);
    ~USBDataLink() override;

    // One bulk transfer of the full length each, bounded by readTimeout in both directions.
    // A read ends early on a short packet. -1 when the transfer failed or time ran out.
    int read(void* buffer, unsigned length) override;
    int write(const void* buffer, unsigned length) override;
    // Bulk pipes have no purge request, so whatever the probe still holds for the host (a reply
    // the host gave up on) is read and dropped; otherwise it would answer the next command, and
    // every later one would read its predecessor's reply. Only a link that may be behind reads:
    // see Backlog. Briefly bounded; never throws.
    void purge() override;

    // A synchronous transfer on the default pipe; the request type is direction | type |
    // recipient. True when the device completed it. Bounded by kControlTimeoutMs, not by the
    // link's timeouts.
    bool controlTransfer(uint8_t direction, uint8_t type, uint8_t recipient, uint8_t request,
                         uint16_t value, uint16_t index, void* data, uint16_t length);

    // USB 2.0 (chapter 9) gives a device 5 s to complete a control request with a data stage
    // (and far less without one), and generic drivers use the same default for the default
    // pipe: a device that has not answered by then never will, and the program must not hang
    // on it.
    static constexpr unsigned kControlTimeoutMs = 5000;
    // An idle pipe answers a drain read with nothing within this bound; a probe that keeps
    // sending stops the drain after kPurgeReads reads all the same.
    static constexpr unsigned kPurgeTimeoutMs = 10;
    static constexpr int kPurgeReads = 64;

private:
    // What the probe may hold for the host. A new link cannot know what an earlier one left
    // unread, until a read brings exactly the reply it asked for. A transfer that moves less
    // than asked leaves its reply (or the rest of it) to come late, and only a drain that finds
    // the pipe idle settles that.
    enum class Backlog { Unknown, None, Possible };
    void note(int result, unsigned length, bool reading);

    Backlog backlog = Backlog::Unknown;
    std::unique_ptr<platform::UsbDevice> device;
    uint8_t outPipe;
    uint8_t inPipe;
};
