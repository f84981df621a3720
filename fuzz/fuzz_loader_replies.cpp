// Whatever a probe's loader answers: the reply decoders on raw bytes, and each of the six loader
// operations over a link whose transfers move what the input says (any count, any bytes).
// Every operation must either return or throw one of its own messages, and a CRC check may
// only pass when the reply carries the host's CRC.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "firmware/InstalledFirmware.h"
#include "loader/Crc32.h"
#include "loader/LoaderFrames.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"
#include "sim/VirtualClock.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void fuzzDecoders(FuzzedDataProvider& input) {
    std::array<uint8_t, loaderInfoReplySize> reply{};
    const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(reply.size());
    std::copy(bytes.begin(), bytes.end(), reply.begin());

    const LoaderInfo info = decodeLoaderInfo(reply);
    require(info.firmwareBuildText[sizeof info.firmwareBuildText - 1] == '\0');
    require(std::memcmp(info.firmwareBuildText, reply.data() + 41, 36) == 0);
    if (holdsRecognisedFirmware(info)) {
        const std::string description = installedFirmwareDescription(info);
        require(description.size() < 64);
    }
    for (const LoaderCommand* command :
         {&connectCommand, &disconnectCommand, &memoryWriteCommand, &memoryEraseCommand,
          &crcCheckCommand, &getLoaderInfoCommand}) {
        const ReplyVerdict verdict = examineReply(*command, std::span(reply).first<2>());
        // The tag decides first; a command without a failure message knows no failure.
        if (command->unexpectedTagMessage && reply[0] != replyTag(command->tag))
            require(verdict == ReplyVerdict::UnexpectedTag);
        if (!command->failedMessage)
            require(verdict == ReplyVerdict::Accepted || verdict == ReplyVerdict::UnexpectedTag);
        if (verdict == ReplyVerdict::Busy)
            require(command->busyMeansRetry && reply[1] == 0xFF);
    }
    const uint32_t crc = decodeCrcReply(std::span(reply).first<crcReplySize>());
    require(crc == (uint32_t{reply[2]} | uint32_t{reply[3]} << 8 | uint32_t{reply[4]} << 16 |
                    uint32_t{reply[5]} << 24));
}

// A link to a loader that says whatever the input says. Writes accept the whole frame unless
// the input cuts them short; reads deliver any count, even more than was asked for.
class ScriptedLink final : public HDataLink {
public:
    explicit ScriptedLink(FuzzedDataProvider& source) : input(source) {}

    int write(const void*, unsigned length) override {
        if (input.ConsumeIntegral<uint8_t>() < 0xF0)
            return static_cast<int>(length);
        return input.ConsumeIntegralInRange<int>(-1, static_cast<int>(length));
    }

    int read(void* buffer, unsigned length) override {
        const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(length);
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(buffer));
        last.assign(bytes.begin(), bytes.end());
        // Mostly the full count; now and then a short, failed or overlong one.
        switch (input.ConsumeIntegral<uint8_t>() & 0x0F) {
            case 0:
                return -1;
            case 1:
                return static_cast<int>(bytes.size()) / 2;
            case 2:
                return static_cast<int>(length) + 1;
            default:
                return static_cast<int>(bytes.size());
        }
    }

    void purge() override {
        if (input.ConsumeIntegral<uint8_t>() == 0xA5)
            throw HException("cannot purge RX");
    }

    std::vector<uint8_t> last;  // bytes of the latest read

private:
    FuzzedDataProvider& input;
};

const std::set<std::string>& knownMessages() {
    static const std::set<std::string> messages = {
        "write timed out",
        "hardware error: target JTAG adapter data link read timed out",
        "connect failed",
        "connect failed, unexpected tag returned",
        "disconnect failed",
        "disconnect failed, unexpected tag returned",
        "memory write failed",
        "memory write failed, unexpected tag returned",
        "memory erase failed",
        "memory erase failed, unexpected tag returned",
        "get loader info failed, unexpected tag returned",
        "cannot purge RX",
    };
    return messages;
}

void fuzzOperations(FuzzedDataProvider& input) {
    sim::VirtualClockScope clock;  // the busy pauses of connect
    ScriptedLink link(input);
    std::vector<uint8_t> data(input.ConsumeIntegralInRange<std::size_t>(0, 300));
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    while (input.remaining_bytes() > 0) {
        const uint32_t address = input.ConsumeIntegral<uint32_t>();
        try {
            switch (input.ConsumeIntegralInRange(0, 5)) {
                case 0:
                    loaderConnect(link);
                    break;
                case 1:
                    loaderDisconnect(link);
                    break;
                case 2:
                    memoryErase(link, address, static_cast<uint32_t>(data.size()));
                    break;
                case 3:
                    memoryWrite(link, address, static_cast<uint32_t>(data.size()), data.data());
                    break;
                case 4: {
                    if (crcCheck(link, address, static_cast<uint32_t>(data.size()), data.data())) {
                        const uint32_t host = crc32(data.data(), data.size());
                        require(link.last.size() == crcReplySize);
                        const std::array<uint8_t, 4> expected{
                            static_cast<uint8_t>(host), static_cast<uint8_t>(host >> 8),
                            static_cast<uint8_t>(host >> 16), static_cast<uint8_t>(host >> 24)};
                        require(std::memcmp(link.last.data() + 2, expected.data(), 4) == 0);
                    }
                    break;
                }
                default: {
                    LoaderInfo info;
                    getLoaderInfo(link, info);
                    require(link.last.size() == loaderInfoReplySize && link.last[0] == 0xF7);
                    require(info.firmwareBuildText[36] == '\0');
                    break;
                }
            }
        } catch (HException& e) {
            require(knownMessages().contains(e.message()));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        fuzzDecoders(input);
    else
        fuzzOperations(input);
    return 0;
}
