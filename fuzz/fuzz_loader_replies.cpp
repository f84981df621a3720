// Whatever a probe's loader answers: the six loader operations over a link whose transfers move
// what the input says (any count, any bytes), the reply decoders included. Each operation returns
// or throws one of its own messages, a CRC check passes only on a reply that carries the host's
// CRC, and the information reply's build text always ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "Require.h"
#include "firmware/InstalledFirmware.h"
#include "loader/Crc32.h"
#include "loader/LoaderFrames.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"
#include "platform/LittleEndian.h"
#include "sim/VirtualClock.h"

namespace {

class FuzzedLink final : public HDataLink {
public:
    FuzzedLink(platform::Clock& clock, FuzzedDataProvider& source)
        : HDataLink(clock), input(source) {}
    int write(const void*, unsigned length) override {
        return input.ConsumeIntegral<uint8_t>() < 0xF0
                   ? static_cast<int>(length)
                   : input.ConsumeIntegralInRange<int>(-1, static_cast<int>(length));
    }
    int read(void* buffer, unsigned length) override {
        last = input.ConsumeBytes<uint8_t>(length);
        std::copy(last.begin(), last.end(), static_cast<uint8_t*>(buffer));
        const int counts[] = {-1, static_cast<int>(last.size()) / 2, static_cast<int>(length) + 1};
        const uint8_t pick = input.ConsumeIntegral<uint8_t>();
        return pick < 3 ? counts[pick] : static_cast<int>(last.size());
    }
    void purge() override {
        if (input.ConsumeIntegral<uint8_t>() == 0xA5)
            throw HException("cannot purge RX");
    }
    std::vector<uint8_t> last;  // what the latest read delivered

private:
    FuzzedDataProvider& input;
};

// Every message an operation may end with, each between bars.
const std::string messages =
    "|write timed out|hardware error: target JTAG adapter data link read timed out|connect failed"
    "|connect failed, unexpected tag returned|disconnect failed|disconnect failed, unexpected tag"
    " returned|memory write failed|memory write failed, unexpected tag returned|memory erase "
    "failed|memory erase failed, unexpected tag returned|get loader info failed, unexpected tag "
    "returned|cannot purge RX|";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    sim::VirtualClock clock;  // the pauses of a busy connect
    FuzzedLink link(clock, input);
    std::vector<uint8_t> image(input.ConsumeIntegralInRange<std::size_t>(0, 300), 0x5A);
    const auto length = static_cast<uint32_t>(image.size());
    LoaderInfo read;
    const std::function<void(uint32_t)> operations[] = {
        [&](uint32_t) { loaderConnect(link); },
        [&](uint32_t) { loaderDisconnect(link); },
        [&](uint32_t address) { memoryErase(link, address, length); },
        [&](uint32_t address) { memoryWrite(link, address, length, image.data()); },
        [&](uint32_t address) {
            if (crcCheck(link, address, length, image.data()))
                require(link.last.size() == crcReplySize &&
                        readLe32(link.last.data() + 2) == crc32(image.data(), length));
        },
        [&](uint32_t) {
            getLoaderInfo(link, read);
            require(link.last.size() == loaderInfoReplySize && link.last[0] == 0xF7 &&
                    read.firmwareBuildText[36] == '\0' &&
                    std::memcmp(read.firmwareBuildText, link.last.data() + 41, 36) == 0);
            require(installedFirmwareDescription(read).size() < 64);
        }};
    while (input.remaining_bytes() > 0) {
        const uint32_t address = input.ConsumeIntegral<uint32_t>();
        try {
            operations[input.ConsumeIntegralInRange(0, 5)](address);
        } catch (HException& e) {
            require(messages.find("|" + e.message() + "|") != std::string::npos);
        }
    }
    return 0;
}
