// Whatever an image file holds: checked for each variant and for none, the check reads only the
// bytes it is given (the sanitizers watch), refuses with a sentence or passes a file that truly
// is sound.
#include <cstring>

#include "Require.h"
#include "firmware/ImageFile.h"
#include "loader/Crc32.h"
#include "platform/LittleEndian.h"

namespace {

// A file passed as sound is one, by the header's own words read here again.
void requireSound(std::span<const uint8_t> bytes, const FirmwareImage* row) {
    require(bytes.size() >= firmwareImageHeaderFixedSize);
    require(readLe32(bytes.data()) == firmwareImageMagic);
    const uint32_t headerSize = readLe32(bytes.data() + 4);
    const uint32_t payloadSize = readLe32(bytes.data() + 8);
    require(!row || headerSize == carriedHeaderSize(*row));
    require(!variantsTaking(headerSize).empty());
    require(uint64_t{headerSize} + payloadSize == bytes.size());
    require(crc32(bytes.data() + headerSize, payloadSize) == readLe32(bytes.data() + 12));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so that a read past the end lands outside the allocation.
    const std::vector<uint8_t> bytes(data, data + size);
    std::vector<const FirmwareImage*> rows{nullptr};
    for (const FirmwareImage& row : firmwareCatalogue)
        rows.push_back(&row);
    for (const FirmwareImage* row : rows) {
        const ImageFileCheck check = checkImageFile(bytes, row);
        require(check.header.has_value() == (size >= firmwareImageHeaderFixedSize));
        if (check.refusal.empty())
            requireSound(bytes, row);
    }
    return 0;
}
