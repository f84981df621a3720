#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Bulk IN data from an FTDI bridge arrives as a run of packets of `packetSize` bytes (64 on the
// full-speed channels this program drives); the bridge puts two status bytes at the start of
// every packet, even when it has nothing else to send:
//
//   offset in packet | size              | content
//   -----------------+-------------------+-----------------------------------------------
//   0                | 1                 | modem status (not examined)
//   1                | 1                 | line status (not examined)
//   2                | packetSize - 2    | payload, fewer bytes in the last, short packet
//
// A raw transfer of n bytes is therefore floor(n / packetSize) full packets followed by one
// short packet of n % packetSize bytes; a short packet of 2 bytes or fewer carries no payload.
inline constexpr std::size_t kFtdiPacketSize = 64;
inline constexpr std::size_t kFtdiStatusBytes = 2;

// Copies the payload of the packets in `raw` to the front of `payload`, in order, and answers
// how many bytes it wrote. Writes at most payload.size() bytes: payload beyond that is dropped
// (a payload area as large as `raw` always suffices). A packet size of 2 or less carries no
// payload at all.
std::size_t stripFtdiStatus(std::span<const uint8_t> raw, std::span<uint8_t> payload,
                            std::size_t packetSize = kFtdiPacketSize);
