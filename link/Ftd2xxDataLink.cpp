#include "link/Ftd2xxDataLink.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>

#include "link/FtdiFraming.h"
#include "link/LinkMessages.h"
#include "platform/HException.h"

namespace {

constexpr FtdiChannel kChannels[] = {
    {0, 1, 0x02, 0x81},  // A
    {1, 2, 0x04, 0x83},  // B
    {2, 3, 0x06, 0x85},  // C
    {3, 4, 0x08, 0x87},  // D
};

}  // namespace

const FtdiChannel& ftdiChannelFor(int argument) {
    if (argument >= 1 && argument <= 3)
        return kChannels[argument];
    return kChannels[0];
}

Ftd2xxDataLink::Ftd2xxDataLink(platform::Clock& clock, int channelArgument)
    : Ftd2xxDataLinkInterface(clock) {
    const FtdiChannel& row = ftdiChannelFor(channelArgument);
    channel = row.channel;
    channelIndex = row.channelIndex;
    outPipe = row.outPipe;
    inPipe = row.inPipe;
}

int Ftd2xxDataLink::read(void* buffer, unsigned length) {
    // A count must fit the signed result; and nothing asked for means nothing to wait for.
    if (length > INT_MAX)
        return -1;
    if (length == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    unsigned remaining = length;
    const uint32_t start = clock().tickMs();
    for (;;) {
        if (rxCount > 0) {
            const unsigned take = std::min(remaining, static_cast<unsigned>(rxCount));
            std::memcpy(out + (length - remaining), rxBuffer.data() + rxCursor, take);
            rxCursor += take;
            rxCount -= static_cast<int>(take);
            remaining -= take;
            if (remaining == 0)
                return static_cast<int>(length);
        }
        const int raw = rawRead(rawBuffer.data(), static_cast<unsigned>(rawBuffer.size()));
        if (raw < 0)
            return raw;
        if (raw > 0) {
            // Trust no transport to stay within the length it was given.
            const std::size_t rawLength = std::min(static_cast<std::size_t>(raw), rawBuffer.size());
            rxCount =
                static_cast<int>(stripFtdiStatus(std::span(rawBuffer.data(), rawLength), rxBuffer,
                                                 static_cast<std::size_t>(packetSize)));
            rxCursor = 0;
            if (rxCount > 0)
                continue;
        }
        // Only a pass without payload may end the read, so a steady stream is never cut short.
        if (static_cast<uint32_t>(clock().tickMs() - start) > readTimeout)
            return static_cast<int>(length - remaining);
    }
}

void Ftd2xxDataLink::purge() {
    requireVendorRequest(ftdi::kRequestReset, ftdi::kPurgeRx, messages::cannotPurgeRx);
    requireVendorRequest(ftdi::kRequestReset, ftdi::kPurgeTx, messages::cannotPurgeTx);
    dropBufferedPayload();
}

void Ftd2xxDataLink::setBitMode(uint8_t mask, uint8_t mode) {
    requireVendorRequest(ftdi::kRequestSetBitMode, static_cast<uint16_t>(mask + 256 * mode),
                         messages::cannotSetBitMode);
}

std::string Ftd2xxDataLink::description() const {
    return descriptionText;
}

void Ftd2xxDataLink::requireVendorRequest(uint8_t request, uint16_t value, const char* message) {
    if (!vendorRequest(request, value, static_cast<uint16_t>(channelIndex)))
        throw HException(message);
}

void Ftd2xxDataLink::dropBufferedPayload() {
    rxCount = 0;
    rxCursor = 0;
}
