#pragma once

#include <cstddef>
#include <cstdint>

// The resident loader's command set as the probe sees it on the wire. Written out here apart
// from the program's own frames (loader/LoaderFrames.h) on purpose: the virtual probe is what
// checks the program's side of the protocol, so it must not share the program's mistakes.
//
// Request (host to probe):
//   offset 0  size 1  command tag
//   offset 1  size 4  signature A7 1C 5E 93
//   offset 5  size 4  address, little-endian   (write, erase, crc only)
//   offset 9  size 4  length, little-endian    (write, erase, crc only)
// A write request is followed by `length` data bytes.
//
// Reply (probe to host): tag complemented (0xFF - tag), then a status byte
// (0 failed, 0xFF busy, anything else success). CRC replies carry the CRC at bytes 2..5,
// information replies are 77 bytes (see ResidentLoader.cpp).
namespace sim {

enum class Command : uint8_t {
    Connect = 0x01,
    Disconnect = 0x02,
    Write = 0x03,
    Erase = 0x05,
    Crc = 0x07,
    Info = 0x08,
};

inline constexpr uint8_t kCommandSignature[4] = {0xA7, 0x1C, 0x5E, 0x93};
inline constexpr std::size_t kShortRequestSize = 5;
inline constexpr std::size_t kMemoryRequestSize = 13;

inline constexpr uint8_t kStatusFailed = 0x00;
inline constexpr uint8_t kStatusOk = 0x01;
inline constexpr uint8_t kStatusBusy = 0xFF;

inline constexpr uint8_t commandTag(Command command) {
    return static_cast<uint8_t>(command);
}
inline constexpr uint8_t replyTag(uint8_t tag) {
    return static_cast<uint8_t>(0xFF - tag);
}
inline constexpr uint8_t replyTag(Command command) {
    return replyTag(commandTag(command));
}

// True for the tags the loader understands.
bool isCommandTag(uint8_t tag);
// Request bytes for a tag the loader understands: 5, or 13 for the memory commands.
std::size_t requestSize(Command command);
// Reply bytes: 2, 6 for a CRC, 77 for the information.
std::size_t replySize(Command command);
// "connect", "erase", ... for traces and test messages.
const char* commandName(Command command);

// The six commands, in tag order, for tables and loops.
inline constexpr Command kAllCommands[] = {Command::Connect, Command::Disconnect, Command::Write,
                                           Command::Erase,   Command::Crc,        Command::Info};

}  // namespace sim
