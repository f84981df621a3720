#include "loader/LoaderProtocol.h"

#include <array>
#include <climits>
#include <span>

#include "loader/Crc32.h"
#include "loader/LoaderFrames.h"
#include "loader/LoaderMessages.h"
#include "loader/PreciseDelay.h"
#include "platform/HException.h"

namespace {

// The tenth busy reply to connect ends the attempt.
constexpr int connectBusyLimit = 10;
constexpr uint32_t busyPauseMs = 1000;

// Exactly the count asked for. Compared without conversion so that -1 never passes for a
// length of 0xFFFFFFFF.
bool transferred(int result, std::size_t expected) {
    return result >= 0 && static_cast<std::size_t>(result) == expected;
}

void send(HDataLink& link, std::span<const uint8_t> bytes) {
    const int result = link.write(bytes.data(), static_cast<unsigned>(bytes.size()));
    if (!transferred(result, bytes.size()))
        throw HException(messages::writeTimedOut);
}

using Reply = std::array<uint8_t, largestReplySize>;

Reply receive(HDataLink& link, const LoaderCommand& command) {
    Reply reply{};
    const int result = link.read(reply.data(), static_cast<unsigned>(command.replySize));
    if (!transferred(result, command.replySize))
        throw HException(messages::readTimedOut);
    return reply;
}

ReplyVerdict examine(const LoaderCommand& command, const Reply& reply) {
    return examineReply(command, std::span(reply).first<2>());
}

void throwUnlessAccepted(const LoaderCommand& command, const Reply& reply) {
    switch (examine(command, reply)) {
        case ReplyVerdict::Accepted:
            return;
        case ReplyVerdict::UnexpectedTag:
            throw HException(command.unexpectedTagMessage);
        case ReplyVerdict::Failed:
        case ReplyVerdict::Busy:
            // examineReply answers Failed or Busy only for a command that has a failure message.
            // NOLINTNEXTLINE(clang-analyzer-cplusplus.StringChecker)
            throw HException(command.failedMessage);
    }
}

}  // namespace

void loaderConnect(HDataLink& link) {
    const auto request = shortRequest(connectCommand);
    link.purge();
    send(link, request);
    for (int busyReplies = 1;; ++busyReplies) {
        const Reply reply = receive(link, connectCommand);
        if (examine(connectCommand, reply) != ReplyVerdict::Busy) {
            throwUnlessAccepted(connectCommand, reply);
            return;
        }
        if (busyReplies == connectBusyLimit)
            throw HException(connectCommand.failedMessage);
        preciseDelay(link.clock(), busyPauseMs);
        link.purge();
        send(link, request);
    }
}

void loaderDisconnect(HDataLink& link) {
    send(link, shortRequest(disconnectCommand));
    const Reply reply = receive(link, disconnectCommand);
    // Whatever the loader says, nothing more from it should linger on the link.
    link.purge();
    throwUnlessAccepted(disconnectCommand, reply);
}

void memoryErase(HDataLink& link, uint32_t address, uint32_t length) {
    send(link, memoryRequest(memoryEraseCommand, address, length));
    throwUnlessAccepted(memoryEraseCommand, receive(link, memoryEraseCommand));
}

void memoryWrite(HDataLink& link, uint32_t address, uint32_t length, const uint8_t* data) {
    // Refused before the request goes out: once it has, the loader waits for `length` bytes.
    if ((length != 0 && !data) || length > INT_MAX)
        throw HException(memoryWriteCommand.failedMessage);
    send(link, memoryRequest(memoryWriteCommand, address, length));
    send(link, std::span(data, length));
    throwUnlessAccepted(memoryWriteCommand, receive(link, memoryWriteCommand));
}

bool crcCheck(HDataLink& link, uint32_t address, uint32_t length, const uint8_t* data) {
    if (length != 0 && !data)
        throw HException(messages::crcCheckRefused);
    send(link, memoryRequest(crcCheckCommand, address, length));
    // Computed while the probe works on its own sum.
    const uint32_t hostCrc = crc32(data, length);
    const Reply reply = receive(link, crcCheckCommand);
    return decodeCrcReply(std::span(reply).first<crcReplySize>()) == hostCrc;
}

void getLoaderInfo(HDataLink& link, LoaderInfo& info) {
    send(link, shortRequest(getLoaderInfoCommand));
    const Reply reply = receive(link, getLoaderInfoCommand);
    throwUnlessAccepted(getLoaderInfoCommand, reply);
    info = decodeLoaderInfo(std::span(reply).first<loaderInfoReplySize>());
}
