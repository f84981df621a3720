#include "sim/ResidentLoader.h"

#include <algorithm>

#include "firmware/FirmwareImageHeader.h"
#include "platform/LittleEndian.h"

namespace sim {

namespace {

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
// read from the stored image header with the program's own description of it (erased flash
// reads 0xFF throughout). The reply's own layout is the probe's, written out here apart from the
// program's decoder, so that a test against this probe checks that decoder:
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
    const std::vector<uint8_t> stored = flash.read(base, firmwareImageHeaderFixedSize);
    const FirmwareImageHeader header =
        parseFirmwareImageHeader(stored.data(), stored.size()).value_or(FirmwareImageHeader{});
    std::vector<uint8_t> reply(kInfoReplySize, 0);
    reply[0] = replyTag(Command::Info);
    writeLe(reply.data() + 1, major, 2);
    writeLe(reply.data() + 3, minor, 2);
    writeLe(reply.data() + 5, base, 4);
    writeLe(reply.data() + 9, header.imageFormat, 4);
    writeLe(reply.data() + 13, header.magic, 4);
    writeLe(reply.data() + 17, flash.size(), 4);
    writeLe(reply.data() + 21, header.headerSize, 4);
    writeLe(reply.data() + 25, header.payloadSize, 4);
    writeLe(reply.data() + 29, header.payloadCrc, 4);
    writeLe(reply.data() + 33, header.majorVersion, 4);
    writeLe(reply.data() + 37, header.minorVersion, 4);
    std::copy_n(header.buildText, kReportedBuildText, reply.begin() + 41);
    return reply;
}

}  // namespace sim
