#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareImageHeader.h"
#include "firmware/VersionDescription.h"

// An image file: one image exactly as the catalogue holds it (header, then payload) and nothing
// else, as `images --export` writes it and `update --image` installs it. Plain functions; any
// thread may call them at once.

// Far above any probe's firmware region, and small enough to hold in memory without a second
// thought: a file is refused above it before a byte of it is read.
inline constexpr std::size_t maxImageFileSize = std::size_t{16} * 1024 * 1024;

struct ImageFileCheck {
    std::string refusal;                        // the user's sentence; empty: the file is sound
    std::optional<FirmwareImageHeader> header;  // whenever the fixed part could be read
    std::optional<uint32_t> payloadCrc;         // computed once the sizes agree
};

inline FirmwareVersion versionOf(const FirmwareImageHeader& header) {
    return {header.majorVersion, header.minorVersion};
}

// The header size of the image the program carries in `row`: what a file for its variant must
// have. 0 for a row whose image is unusable, which no file matches.
uint32_t carriedHeaderSize(const FirmwareImage& row);

// The catalogue rows whose carried image has a header of `headerSize` bytes, in catalogue order:
// the variants a file with such a header may go into.
std::vector<const FirmwareImage*> variantsTaking(uint32_t headerSize);

// Checks `bytes` as an image for the variant of `row`, in this order, and stops at the first
// refusal: at most maxImageFileSize bytes, a whole fixed header, the magic, the header size of
// the carried image (with `row` null: of any carried image), a header no longer than the file,
// header size plus payload size equal to the file's size, the payload CRC. Reads nothing beyond
// `bytes`.
ImageFileCheck checkImageFile(std::span<const uint8_t> bytes, const FirmwareImage* row);

// The file at `path`, read whole, or why not (a refusal sentence as above). Its size is asked
// first, so that a file above maxImageFileSize is refused unread; a file whose size changes
// while it is read (found by reading one byte past its size) is refused too.
struct ImageFileRead {
    std::vector<uint8_t> bytes;
    std::string refusal;  // empty when read
};
ImageFileRead readImageFile(const std::string& path);

// What the update procedure installs for a file: `row`'s address and reopen rule with `bytes`
// as the image. `bytes` must outlive the result; the result is no row of the catalogue.
FirmwareImage imageInPlaceOf(const FirmwareImage& row, std::span<const uint8_t> bytes);
