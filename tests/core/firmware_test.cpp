// The images the program carries and how it reads their headers.
#include <gtest/gtest.h>

#include <cstring>

#include "firmware/FirmwareImage.h"
#include "link/ProbeModels.h"

namespace {

const FirmwareImage* rowFor(uint16_t productId, const std::string& serial = "") {
    return findFirmwareImage({probeVendorId, productId, serial, "", "", 0, ""});
}

}  // namespace

// The headers are the image maker's, which its own test reads back; the notes are embedded here.
TEST(FirmwareCatalogue, EveryImageHasPlainNotesEndedByANul) {
    for (const FirmwareImage& image : firmwareCatalogue) {
        ASSERT_NE(image.releaseNotes, nullptr) << image.name;
        const std::string notes(image.releaseNotes, image.releaseNotesLength + 1);
        EXPECT_EQ(notes.find('\0'), notes.size() - 1) << image.name;
        EXPECT_EQ(notes.rfind("Changes", 0), 0u) << image.name;
    }
}

TEST(FirmwareCatalogue, ProductIdChoosesTheRowAndEarlyWrensGetNone) {
    const struct {
        uint16_t productId;
        std::size_t row;
        const char* name;
        uint32_t address, size;
        bool reopen;
    } rows[] = {{3, 0, "Velantrix Heron", 0x00002000, 112408, false},
                {4, 1, "Velantrix Wren", 0x00006000, 37124, true},
                {16, 2, "Velantrix Kestrel", 0x00006000, 349968, true},
                {6, 3, "Velantrix Osprey", 0x1A008000, 60212, true},
                {5, 4, "Velantrix Egret", 0x00002000, 15668, false}};
    for (const auto& expected : rows) {
        const FirmwareImage* row = rowFor(expected.productId, "5");
        ASSERT_EQ(row, &firmwareCatalogue.at(expected.row)) << expected.productId;
        EXPECT_STREQ(row->name, expected.name);
        EXPECT_EQ(row->address, expected.address) << row->name;
        EXPECT_EQ(row->size, expected.size) << row->name;
        EXPECT_EQ(row->reopenAfterConnect, expected.reopen) << row->name;
    }
    for (const uint16_t productId : std::initializer_list<uint16_t>{0, 1, 2, 7, 15, 17, 0xFFFF})
        EXPECT_EQ(rowFor(productId, "04020000"), nullptr) << productId;
    // Serial numbers compare as text: "5" is above "04020000", "0402" below.
    const std::pair<const char*, bool> serials[] = {{"04019999", false}, {"04020000", true},
                                                    {"04020001", true},  {"0402", false},
                                                    {"5", true},         {"", false}};
    for (const auto& [serial, supported] : serials)
        EXPECT_EQ(rowFor(4, serial) != nullptr, supported) << serial;
    EXPECT_NE(rowFor(3, ""), nullptr);
}

TEST(FirmwareImageHeader, ValidityNeedsAWholeHeaderAndTheMagicAndTheVersionReadsAsText) {
    uint8_t bytes[72] = {0x0D, 0xF0, 0xFE, 0xCA};
    EXPECT_TRUE(isValidImage({"t", 0, bytes, 64, nullptr, 0, false}));
    EXPECT_FALSE(isValidImage({"t", 0, bytes, 63, nullptr, 0, false}));
    EXPECT_FALSE(isValidImage({"t", 0, nullptr, 0, nullptr, 0, false}));
    bytes[3] = 0xCB;
    EXPECT_FALSE(isValidImage({"t", 0, bytes, 72, nullptr, 0, false}));
    EXPECT_EQ(imageVersionDescription({"t", 0, bytes, 72, nullptr, 0, false}), "");
    // The version: "major.minor - build text", the text up to its NUL or the field's end.
    bytes[20] = 0x10;  // major 0x0110
    bytes[21] = 0x01;
    bytes[22] = 7;
    std::memcpy(bytes + 24, "ab\0zz", 5);
    EXPECT_EQ(versionDescription(*parseFirmwareImageHeader(bytes, 64)), "272.7 - ab");
    std::memset(bytes + 24, 'x', 40);
    EXPECT_EQ(versionDescription(*parseFirmwareImageHeader(bytes, 64)),
              "272.7 - " + std::string(40, 'x'));
}
