// Image files: what is refused, and why, before anything reaches a probe.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "firmware/ImageFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

const FirmwareImage& heron = firmwareCatalogue[0];
const FirmwareImage& osprey = firmwareCatalogue[3];

Bytes imageOf(const FirmwareImage& row) {
    return {row.data, row.data + row.size};
}

// `row`'s image with the bytes from `at` replaced by `patch`.
Bytes patched(const FirmwareImage& row, std::size_t at, const Bytes& patch) {
    Bytes bytes = imageOf(row);
    std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

}  // namespace

TEST(ImageFile, EveryRefusalSaysWhy) {
    struct Case {
        const char* what;
        Bytes bytes;
        const FirmwareImage* row;
        std::string refusal;
    };
    const Bytes flipped = patched(heron, 1000, {static_cast<uint8_t>(heron.data[1000] ^ 1)});
    const Bytes magic = patched(heron, 0, {0x0E});
    const Bytes huge = patched(heron, 8, {0xFF, 0xFF, 0xFF, 0xFF});  // no wrap-around
    const Bytes unknown = patched(heron, 4, {0x50});
    Bytes ospreyCut(osprey.data, osprey.data + 70);
    const Case cases[] = {
        {"sound", imageOf(heron), &heron, ""},
        {"sound, any variant", imageOf(osprey), nullptr, ""},
        {"too large", Bytes(16 * 1024 * 1024 + 1), &heron,
         "is 16777217 bytes, larger than 16 MiB: no Velantrix firmware is that large"},
        {"no header", Bytes(heron.data, heron.data + 63), &heron,
         "is shorter than its header (63 of 64 bytes)"},
        {"wrong magic", magic, &heron,
         "is not a Velantrix firmware image (it starts with 0xCAFEF00E, not 0xCAFEF00D)"},
        {"osprey's into a heron", imageOf(osprey), &heron,
         "has a header of 0x48 bytes, but images for the Velantrix Heron have 0x40"},
        {"heron's into an osprey", imageOf(heron), &osprey,
         "has a header of 0x40 bytes, but images for the Velantrix Osprey have 0x48"},
        {"nobody's header size", unknown, nullptr,
         "has a header of 0x50 bytes, which no Velantrix variant's image has"},
        {"cut inside a long header", ospreyCut, &osprey,
         "is shorter than its header (70 of 72 bytes)"},
        {"truncated", Bytes(heron.data, heron.data + heron.size - 1), &heron,
         "is 112407 bytes, but its header says 0x40 + 112344 bytes of payload"},
        {"payload size wraps", huge, &heron,
         "is 112408 bytes, but its header says 0x40 + 4294967295 bytes of payload"},
        {"one bit off", flipped, &heron,
         "has a payload whose CRC is 0xD6D444E, not the 0xBF6DDB12 its header says"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkImageFile(c.bytes, c.row).refusal, c.refusal) << c.what;
}

TEST(ImageFile, ReadsAFileWholeAndRefusesOneTooLargeUnread) {
    const auto dir = std::filesystem::temp_directory_path() / "vx-image-file-test";
    std::filesystem::create_directories(dir);
    const auto path = (dir / "image.vxfw").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(heron.data), heron.size);
    EXPECT_EQ(readImageFile(path).bytes, imageOf(heron));
    std::filesystem::resize_file(path, 16 * 1024 * 1024 + 1);  // sparse: nothing to read
    const ImageFileRead large = readImageFile(path);
    EXPECT_EQ(large.refusal,
              "is 16777217 bytes, larger than 16 MiB: no Velantrix firmware is that large");
    EXPECT_TRUE(large.bytes.empty());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(readImageFile(path).refusal, "cannot be read: No such file or directory");
}

TEST(FirmwareVersion, MajorFirstThenMinorAsNumbers) {
    EXPECT_LT((FirmwareVersion{2, 9}), (FirmwareVersion{2, 10}));
    EXPECT_LT((FirmwareVersion{2, 16}), (FirmwareVersion{3, 0}));
    EXPECT_EQ((FirmwareVersion{3, 1}), (FirmwareVersion{3, 1}));
    EXPECT_EQ(versionNumber({2, 16}), "2.16");
}
