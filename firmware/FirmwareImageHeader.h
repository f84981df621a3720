#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The header that opens every firmware image. It is written to the probe with the rest of the
// image, and the probe's loader reports the installed image's magic, version and build text in
// the same form. This is the one description of its layout in C++: the program reads headers
// with it, and the virtual probe builds and reads images with it (the image maker,
// tools/make-firmware-image.py, is a separate build tool that a test holds to this parser). All
// integers are little-endian:
//
//   offset  size  field          content
//   0       4     magic          0xCAFEF00D
//   4       4     headerSize     0x40; 0x48 when an extension follows the fixed part
//   8       4     payloadSize    bytes after the header; headerSize + payloadSize = image size
//   12      4     payloadCrc     CRC-32/BZIP2 of the payload bytes
//   16      4     imageFormat    1; not interpreted by the host
//   20      2     majorVersion
//   22      2     minorVersion
//   24      40    buildText      NUL-terminated ASCII; the bytes after the NUL are filler
//   64      headerSize - 64      extension (two 32-bit words when headerSize is 0x48); opaque
//
// The payload starts at headerSize and is code for the probe's microcontroller, opaque here.
struct FirmwareImageHeader {
    uint32_t magic = 0;
    uint32_t headerSize = 0;
    uint32_t payloadSize = 0;
    uint32_t payloadCrc = 0;
    uint32_t imageFormat = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    char buildText[40] = {};  // as stored: not necessarily NUL-terminated
};

inline constexpr uint32_t firmwareImageMagic = 0xCAFEF00D;
// The fixed part of the header; an extension, when present, follows it.
inline constexpr std::size_t firmwareImageHeaderFixedSize = 64;

// Where each field of the fixed part begins.
namespace imageHeaderOffset {
inline constexpr std::size_t magic = 0;
inline constexpr std::size_t headerSize = 4;
inline constexpr std::size_t payloadSize = 8;
inline constexpr std::size_t payloadCrc = 12;
inline constexpr std::size_t imageFormat = 16;
inline constexpr std::size_t majorVersion = 20;
inline constexpr std::size_t minorVersion = 22;
inline constexpr std::size_t buildText = 24;
static_assert(buildText + sizeof FirmwareImageHeader::buildText == firmwareImageHeaderFixedSize);
}  // namespace imageHeaderOffset

// The fixed part of the header at `bytes`. Null when fewer than 64 bytes are given. Checks
// nothing else: deciding whether an image is usable is the caller's business.
std::optional<FirmwareImageHeader> parseFirmwareImageHeader(const uint8_t* bytes,
                                                            std::size_t length);

// The fixed part of `header` as it is stored, for whatever builds an image.
std::array<uint8_t, firmwareImageHeaderFixedSize> encodeFirmwareImageHeader(
    const FirmwareImageHeader& header);

// "major.minor - build text", e.g. "2.16 - Build: 2019032603.38702".
std::string versionDescription(const FirmwareImageHeader& header);
