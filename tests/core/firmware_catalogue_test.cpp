#include <gtest/gtest.h>

#include <cstring>

#include "firmware/FirmwareImage.h"
#include "loader/Crc32.h"

namespace {

USBDeviceInfo probe(uint16_t productId, const std::string& serial = "") {
    USBDeviceInfo info;
    info.vendorId = 0x1A2B;
    info.productId = productId;
    info.serialNumber = serial;
    return info;
}

const FirmwareImage* row(std::size_t number) {
    return &firmwareCatalogue[number - 1];
}

}  // namespace

TEST(FirmwareCatalogue, ProductIdChoosesRow) {
    EXPECT_EQ(findFirmwareImage(probe(3)), row(1));
    EXPECT_EQ(findFirmwareImage(probe(16)), row(3));
    EXPECT_EQ(findFirmwareImage(probe(6)), row(4));
    EXPECT_EQ(findFirmwareImage(probe(5)), row(5));
    for (const uint16_t productId :
         std::initializer_list<uint16_t>{0, 1, 2, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 0xFFFF}) {
        EXPECT_EQ(findFirmwareImage(probe(productId, "04020000")), nullptr) << productId;
        EXPECT_EQ(findFirmwareImage(probe(productId, "")), nullptr) << productId;
    }
}

TEST(FirmwareCatalogue, EarlyBoardsOfProduct4AreNotSupported) {
    EXPECT_EQ(findFirmwareImage(probe(4, "04019999")), nullptr);
    EXPECT_EQ(findFirmwareImage(probe(4, "04020000")), row(2));
    EXPECT_EQ(findFirmwareImage(probe(4, "04020001")), row(2));
    EXPECT_EQ(findFirmwareImage(probe(4, "0402")), nullptr);  // a prefix sorts lower
    EXPECT_EQ(findFirmwareImage(probe(4, "5")), row(2));      // text, not number
    EXPECT_EQ(findFirmwareImage(probe(4, "")), nullptr);
}

TEST(FirmwareCatalogue, RowsAsListed) {
    struct Expected {
        const char* name;
        uint32_t address;
        uint32_t size;
        uint32_t headerSize;
        const char* version;
        uint32_t notesLength;
        bool reopen;
    };
    const Expected expected[] = {
        {"Velantrix Heron", 0x00002000, 112408, 0x40, "2.16 - Build: 2019032603.38702", 1802,
         false},
        {"Velantrix Wren", 0x00006000, 37124, 0x40, "2.16 - Build: 2019032603.38702", 1447, true},
        {"Velantrix Kestrel", 0x00006000, 349968, 0x40, "2.14 - Build: 2012100404.16304", 761,
         true},
        {"Velantrix Osprey", 0x1A008000, 60212, 0x48, "3.1 - Build: 2024042402.56362", 708, true},
        {"Velantrix Egret", 0x00002000, 15668, 0x40, "1.1 - Built: 14 June 2006 16:56:46", 586,
         false},
    };
    ASSERT_EQ(firmwareCatalogue.size(), std::size(expected));
    for (std::size_t i = 0; i < firmwareCatalogue.size(); ++i) {
        const FirmwareImage& image = firmwareCatalogue[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(image.name, want.name);
        EXPECT_EQ(image.address, want.address);
        EXPECT_EQ(image.size, want.size);
        EXPECT_EQ(image.releaseNotesLength, want.notesLength);
        EXPECT_EQ(image.reopenAfterConnect, want.reopen);
        EXPECT_TRUE(isValidImage(image));
        EXPECT_EQ(imageVersionDescription(image), want.version);

        const auto header = parseFirmwareImageHeader(image.data, image.size);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->magic, 0xCAFEF00Du);
        EXPECT_EQ(header->headerSize, want.headerSize);
        EXPECT_EQ(header->imageFormat, 1u);
        ASSERT_EQ(header->headerSize + header->payloadSize, image.size);
        EXPECT_EQ(crc32(image.data + header->headerSize, header->payloadSize), header->payloadCrc);
    }
}

TEST(FirmwareCatalogue, ReleaseNotesArePlainAsciiWithTheirOwnLineEnds) {
    for (const FirmwareImage& image : firmwareCatalogue) {
        SCOPED_TRACE(image.name);
        ASSERT_NE(image.releaseNotes, nullptr);
        EXPECT_EQ(image.releaseNotes[image.releaseNotesLength], '\0');
        const std::string notes(image.releaseNotes, image.releaseNotesLength);
        EXPECT_EQ(notes.find('\0'), std::string::npos);
        for (const char c : notes)
            ASSERT_LT(static_cast<unsigned char>(c), 0x80);
        // Only the oldest variant's notes use CRLF; git must not have converted either kind.
        const bool crlf = std::string(image.name) == "Velantrix Egret";
        std::size_t lineFeeds = 0, pairs = 0;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            if (notes[i] == '\n') {
                ++lineFeeds;
                pairs += i > 0 && notes[i - 1] == '\r';
            }
        }
        EXPECT_GT(lineFeeds, 0u);
        EXPECT_EQ(pairs, crlf ? lineFeeds : 0u);
        EXPECT_EQ(notes.rfind("Changes", 0), 0u);
    }
}

TEST(FirmwareImageHeader, ValidityNeedsSizeAndMagicOnly) {
    uint8_t bytes[72] = {0x0D, 0xF0, 0xFE, 0xCA};
    EXPECT_TRUE(isValidImage({"t", 0, bytes, 64, nullptr, 0, false}));
    EXPECT_FALSE(isValidImage({"t", 0, bytes, 63, nullptr, 0, false}));
    bytes[3] = 0xCB;
    EXPECT_FALSE(isValidImage({"t", 0, bytes, 72, nullptr, 0, false}));
    EXPECT_EQ(imageVersionDescription({"t", 0, bytes, 72, nullptr, 0, false}), "");
    EXPECT_FALSE(isValidImage({"t", 0, nullptr, 0, nullptr, 0, false}));
}

TEST(FirmwareImageHeader, VersionDescriptionStopsAtNulAndAtFieldEnd) {
    uint8_t bytes[64] = {};
    EXPECT_EQ(versionDescription(*parseFirmwareImageHeader(bytes, sizeof bytes)), "0.0 - ");

    bytes[20] = 0x10;  // 0x0110 = 272
    bytes[21] = 0x01;
    bytes[22] = 7;
    std::memcpy(bytes + 24, "ab\0zz", 5);
    EXPECT_EQ(versionDescription(*parseFirmwareImageHeader(bytes, sizeof bytes)), "272.7 - ab");

    std::memset(bytes + 24, 'x', 40);  // no NUL in the field: the text ends with it
    EXPECT_EQ(versionDescription(*parseFirmwareImageHeader(bytes, sizeof bytes)),
              "272.7 - " + std::string(40, 'x'));
    EXPECT_FALSE(parseFirmwareImageHeader(bytes, 63));
}
