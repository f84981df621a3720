#include "loader/LoaderFrames.h"

#include <algorithm>

#include "platform/LittleEndian.h"

namespace {

constexpr uint8_t busyStatus = 0xFF;

}  // namespace

std::array<uint8_t, shortRequestSize> shortRequest(const LoaderCommand& command) {
    std::array<uint8_t, shortRequestSize> frame{command.tag};
    std::copy(commandSignature.begin(), commandSignature.end(), frame.begin() + 1);
    return frame;
}

std::array<uint8_t, memoryRequestSize> memoryRequest(const LoaderCommand& command, uint32_t address,
                                                     uint32_t length) {
    std::array<uint8_t, memoryRequestSize> frame{command.tag};
    std::copy(commandSignature.begin(), commandSignature.end(), frame.begin() + 1);
    writeLe(frame.data() + 5, address, 4);
    writeLe(frame.data() + 9, length, 4);
    return frame;
}

ReplyVerdict examineReply(const LoaderCommand& command, std::span<const uint8_t, 2> head) {
    if (command.unexpectedTagMessage && head[0] != replyTag(command.tag))
        return ReplyVerdict::UnexpectedTag;
    if (!command.failedMessage)
        return ReplyVerdict::Accepted;
    if (head[1] == 0)
        return ReplyVerdict::Failed;
    if (command.busyMeansRetry && head[1] == busyStatus)
        return ReplyVerdict::Busy;
    return ReplyVerdict::Accepted;
}

uint32_t decodeCrcReply(std::span<const uint8_t, crcReplySize> reply) {
    return readLe32(reply.data() + 2);
}

LoaderInfo decodeLoaderInfo(std::span<const uint8_t, loaderInfoReplySize> reply) {
    const uint8_t* bytes = reply.data();
    LoaderInfo info;
    info.loaderMajor = readLe16(bytes + 1);
    info.loaderMinor = readLe16(bytes + 3);
    info.info4 = readLe32(bytes + 5);
    info.firmwareFormat = readLe32(bytes + 9);
    info.firmwareMagic = readLe32(bytes + 13);
    info.info16 = readLe32(bytes + 17);
    info.info20 = readLe32(bytes + 21);
    info.info24 = readLe32(bytes + 25);
    info.info28 = readLe32(bytes + 29);
    info.firmwareMajor = readLe16(bytes + 33);
    info.firmwareMinor = readLe16(bytes + 37);
    constexpr std::size_t textOffset = 41;
    constexpr std::size_t textSize = sizeof info.firmwareBuildText - 1;
    static_assert(textOffset + textSize == loaderInfoReplySize);
    std::copy_n(bytes + textOffset, textSize, info.firmwareBuildText);
    info.firmwareBuildText[textSize] = '\0';
    return info;
}
