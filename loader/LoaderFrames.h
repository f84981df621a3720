#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "loader/LoaderInfo.h"
#include "loader/LoaderMessages.h"

// The loader's byte frames, apart from any link: building requests and judging replies. Plain
// functions over bytes, so they can be exercised and fuzzed without a probe.
//
// Request (host to probe), one write of the whole frame:
//   offset 0  size 1  command tag
//   offset 1  size 4  commandSignature, A7 1C 5E 93 in every command
//   offset 5  size 4  address, little-endian   (memory commands only)
//   offset 9  size 4  length in bytes, little-endian (memory commands only)
// Reply (probe to host), one read of the command's fixed size:
//   offset 0  size 1  reply tag, 0xFF minus the command tag
//   offset 1  size 1  status: 0 failed, anything else succeeded (connect: 0xFF busy, ask again)

inline constexpr std::array<uint8_t, 4> commandSignature{0xA7, 0x1C, 0x5E, 0x93};

inline constexpr std::size_t shortRequestSize = 5;
inline constexpr std::size_t memoryRequestSize = 13;
inline constexpr std::size_t statusReplySize = 2;
inline constexpr std::size_t crcReplySize = 6;
inline constexpr std::size_t loaderInfoReplySize = 77;
inline constexpr std::size_t largestReplySize = loaderInfoReplySize;

// One loader command as the host treats it. A null message means that part of the reply is not
// examined for this command.
struct LoaderCommand {
    uint8_t tag;
    std::size_t replySize;
    const char* unexpectedTagMessage;
    const char* failedMessage;
    bool busyMeansRetry;  // status 0xFF is "busy, ask again" rather than success
};

inline constexpr LoaderCommand connectCommand{.tag = 0x01,
                                              .replySize = statusReplySize,
                                              .unexpectedTagMessage = messages::connectWrongTag,
                                              .failedMessage = messages::connectFailed,
                                              .busyMeansRetry = true};
inline constexpr LoaderCommand disconnectCommand{
    .tag = 0x02,
    .replySize = statusReplySize,
    .unexpectedTagMessage = messages::disconnectWrongTag,
    .failedMessage = messages::disconnectFailed,
    .busyMeansRetry = false};
inline constexpr LoaderCommand memoryWriteCommand{
    .tag = 0x03,
    .replySize = statusReplySize,
    .unexpectedTagMessage = messages::memoryWriteWrongTag,
    .failedMessage = messages::memoryWriteFailed,
    .busyMeansRetry = false};
inline constexpr LoaderCommand memoryEraseCommand{
    .tag = 0x05,
    .replySize = statusReplySize,
    .unexpectedTagMessage = messages::memoryEraseWrongTag,
    .failedMessage = messages::memoryEraseFailed,
    .busyMeansRetry = false};
// The CRC reply's first two bytes carry nothing the host relies on.
inline constexpr LoaderCommand crcCheckCommand{.tag = 0x07,
                                               .replySize = crcReplySize,
                                               .unexpectedTagMessage = nullptr,
                                               .failedMessage = nullptr,
                                               .busyMeansRetry = false};
// Byte 1 of the information reply is already data, so only the tag is examined.
inline constexpr LoaderCommand getLoaderInfoCommand{
    .tag = 0x08,
    .replySize = loaderInfoReplySize,
    .unexpectedTagMessage = messages::loaderInfoWrongTag,
    .failedMessage = nullptr,
    .busyMeansRetry = false};

constexpr uint8_t replyTag(uint8_t commandTag) {
    return static_cast<uint8_t>(0xFF - commandTag);
}

std::array<uint8_t, shortRequestSize> shortRequest(const LoaderCommand& command);
std::array<uint8_t, memoryRequestSize> memoryRequest(const LoaderCommand& command, uint32_t address,
                                                     uint32_t length);

enum class ReplyVerdict { Accepted, UnexpectedTag, Failed, Busy };

// Judges the first two bytes of a reply (tag, status) the way `command` asks: the tag first,
// so a wrong tag wins over any status.
ReplyVerdict examineReply(const LoaderCommand& command, std::span<const uint8_t, 2> head);

// The probe's CRC from a CRC reply: bytes 2..5, little-endian; bytes 0 and 1 are ignored.
uint32_t decodeCrcReply(std::span<const uint8_t, crcReplySize> reply);

// The information reply, all fields little-endian:
//   offset  0  size  1  reply tag 0xF7 (judged by examineReply)
//   offset  1  size  2  loaderMajor
//   offset  3  size  2  loaderMinor
//   offset  5  size  4  info4
//   offset  9  size  4  firmwareFormat
//   offset 13  size  4  firmwareMagic
//   offset 17  size  4  info16
//   offset 21  size  4  info20
//   offset 25  size  4  info24
//   offset 29  size  4  info28
//   offset 33  size  2  firmwareMajor
//   offset 35  size  2  ignored
//   offset 37  size  2  firmwareMinor
//   offset 39  size  2  ignored
//   offset 41  size 36  firmwareBuildText, not necessarily NUL-terminated
LoaderInfo decodeLoaderInfo(std::span<const uint8_t, loaderInfoReplySize> reply);
