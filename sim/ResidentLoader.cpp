#include "sim/ResidentLoader.h"

#include <algorithm>

#include "platform/LittleEndian.h"

namespace sim {

namespace {

// Where the firmware image header keeps its fields (all little-endian), relative to the start
// of the firmware region.
constexpr uint32_t kHeaderMagic = 0;
constexpr uint32_t kHeaderSize = 4;
constexpr uint32_t kHeaderPayloadSize = 8;
constexpr uint32_t kHeaderPayloadCrc = 12;
constexpr uint32_t kHeaderFormat = 16;
constexpr uint32_t kHeaderMajor = 20;
constexpr uint32_t kHeaderMinor = 22;
constexpr uint32_t kHeaderBuildText = 24;
constexpr std::size_t kReportedBuildText = 36;
constexpr std::size_t kInfoReplySize = 77;

std::vector<uint8_t> plainReply(uint8_t tag, bool ok) {
    return {replyTag(tag), ok ? kStatusOk : kStatusFailed};
}

}  // namespace

ResidentLoader::ResidentLoader(FlashMemory& memory, uint16_t versionMajor, uint16_t versionMinor)
    : flash(memory), major(versionMajor), minor(versionMinor) {}

std::vector<uint8_t> ResidentLoader::statusReply(uint8_t tag, uint8_t status) {
    const std::size_t size = isCommandTag(tag) ? replySize(static_cast<Command>(tag)) : 0;
    std::vector<uint8_t> reply(std::max<std::size_t>(size, 2), 0);
    reply[0] = replyTag(tag);
    reply[1] = status;
    return reply;
}

LoaderReply ResidentLoader::execute(const LoaderRequest& request) {
    if (request.malformed)
        return {plainReply(request.tag, false), {}};
    const Command command = request.command();
    if (command == Command::Info)
        return {infoReply(), {}};
    if (command == Command::Connect) {
        session = true;
        return {plainReply(request.tag, true), {}};
    }
    if (!session)
        return {statusReply(request.tag, kStatusFailed), {}};

    LoaderReply reply;
    switch (command) {
        case Command::Disconnect:
            session = false;
            reply.bytes = plainReply(request.tag, true);
            break;
        case Command::Erase: {
            const bool ok = flash.erase(request.address, request.length);
            reply.bytes = plainReply(request.tag, ok);
            reply.work.erasedBytes = ok ? request.length : 0;
            break;
        }
        case Command::Write: {
            const bool ok = !request.dataDropped && flash.program(request.address, request.data);
            reply.bytes = plainReply(request.tag, ok);
            reply.work.writtenBytes = ok ? request.length : 0;
            break;
        }
        case Command::Crc: {
            const auto crc = flash.crc(request.address, request.length);
            reply.bytes = statusReply(request.tag, crc ? kStatusOk : kStatusFailed);
            writeLe(reply.bytes.data() + 2, crc.value_or(0), 4);
            reply.work.checkedBytes = crc ? request.length : 0;
            break;
        }
        default:
            reply.bytes = statusReply(request.tag, kStatusFailed);
            break;
    }
    return reply;
}

// The information reply reports what the flash really holds at the start of the firmware region,
// read field by field from the stored image header (erased flash reads 0xFF throughout):
//
//   offset size  content
//   0      1     tag 0xF7
//   1      2     loader version, major
//   3      2     loader version, minor
//   5      4     start address of the firmware region
//   9      4     stored header: image format
//   13     4     stored header: magic
//   17     4     size of the firmware region
//   21     4     stored header: header size
//   25     4     stored header: payload size
//   29     4     stored header: payload CRC
//   33     4     stored header: major version (16 bits, widened)
//   37     4     stored header: minor version (16 bits, widened)
//   41     36    stored header: first 36 bytes of the build text
std::vector<uint8_t> ResidentLoader::infoReply() const {
    const uint32_t base = flash.base();
    std::vector<uint8_t> reply(kInfoReplySize, 0);
    reply[0] = replyTag(Command::Info);
    writeLe(reply.data() + 1, major, 2);
    writeLe(reply.data() + 3, minor, 2);
    writeLe(reply.data() + 5, base, 4);
    writeLe(reply.data() + 9, flash.word(base + kHeaderFormat), 4);
    writeLe(reply.data() + 13, flash.word(base + kHeaderMagic), 4);
    writeLe(reply.data() + 17, flash.size(), 4);
    writeLe(reply.data() + 21, flash.word(base + kHeaderSize), 4);
    writeLe(reply.data() + 25, flash.word(base + kHeaderPayloadSize), 4);
    writeLe(reply.data() + 29, flash.word(base + kHeaderPayloadCrc), 4);
    writeLe(reply.data() + 33, flash.halfWord(base + kHeaderMajor), 4);
    writeLe(reply.data() + 37, flash.halfWord(base + kHeaderMinor), 4);
    const std::vector<uint8_t> text = flash.read(base + kHeaderBuildText, kReportedBuildText);
    std::copy(text.begin(), text.end(), reply.begin() + 41);
    return reply;
}

}  // namespace sim
