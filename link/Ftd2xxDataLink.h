#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/HDataLink.h"

// One channel of a multi-channel FTDI bridge: its number, the wIndex of its vendor requests and
// its bulk endpoints.
struct FtdiChannel {
    int channel;
    int channelIndex;
    uint8_t outPipe;
    uint8_t inPipe;
};

// The channel for a constructor argument: 1, 2 and 3 select B, C and D; anything else selects A.
const FtdiChannel& ftdiChannelFor(int argument);

// FTDI vendor requests (request type 0x40, no data stage, wIndex = channelIndex).
namespace ftdi {
inline constexpr uint8_t kRequestReset = 0x00;
inline constexpr uint16_t kResetChannel = 0;
inline constexpr uint16_t kPurgeRx = 1;
inline constexpr uint16_t kPurgeTx = 2;
inline constexpr uint8_t kRequestSetLatencyTimer = 0x09;
inline constexpr uint8_t kRequestSetBitMode = 0x0B;
}  // namespace ftdi

// The FTDI side of a bridge link: vendor requests and removal of the status bytes the bridge
// puts in front of every bulk IN packet, over two transport hooks that a subclass supplies. Its
// read time-out runs on the link's clock. One thread at a time, as every link.
class Ftd2xxDataLink : public Ftd2xxDataLinkInterface {
public:
    static constexpr std::size_t kRxBufferSize = 4096;

    // Reads until `length` payload bytes arrived. Payload beyond that stays buffered for the
    // next read. Gives up with the count delivered once a raw read brought no payload and more
    // than readTimeout has passed since the call began; -1 as soon as a raw read fails.
    int read(void* buffer, unsigned length) override;
    // Purges the bridge's receive, then transmit buffer, then drops buffered payload. Throws
    // "cannot purge RX" / "cannot purge TX"; buffered payload stays when it throws.
    void purge() override;
    // Throws "cannot set bit mode" when the bridge refuses.
    void setBitMode(uint8_t mask, uint8_t mode) override;
    std::string description() const override;

    // Transport hooks. rawRead: one bulk IN transfer of at most `length` bytes, status bytes
    // included; -1 on failure. vendorRequest: one vendor request to the device without data.
    virtual int rawRead(void* buffer, unsigned length) = 0;
    virtual bool vendorRequest(uint8_t request, uint16_t value, uint16_t index) = 0;

protected:
    Ftd2xxDataLink(platform::Clock& clock, int channelArgument);

    // Issues `request` on this channel and throws `message` when the bridge refuses it.
    void requireVendorRequest(uint8_t request, uint16_t value, const char* message);
    // Forgets buffered payload.
    void dropBufferedPayload();

    int packetSize = 64;
    std::array<uint8_t, kRxBufferSize> rxBuffer{};
    int rxCount = 0;
    std::size_t rxCursor = 0;  // index into rxBuffer of the next byte to hand out
    std::string descriptionText;
    int channel;
    int channelIndex;
    uint8_t outPipe;
    uint8_t inPipe;

private:
    // Where raw reads land before de-framing; as large as one raw read may be.
    std::array<uint8_t, kRxBufferSize> rawBuffer{};
};
