#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ScriptedLink.h"
#include "firmware/UpdateProcedure.h"
#include "loader/Crc32.h"
#include "platform/HException.h"
#include "platform/LittleEndian.h"

namespace {

struct Report {
    int step;
    int steps;
    bool withText;
};

struct Phases : ::testing::Test {
    ScriptedLink link;
    std::vector<Report> reports;
    UpdateProgress progress = [this](int step, int steps, const char* text, const char*) {
        reports.push_back({step, steps, text != nullptr});
    };

    // Lengths of the requests sent, read from the 13-byte frames (bytes 9..12, little-endian).
    std::vector<uint32_t> requestLengths() const {
        std::vector<uint32_t> lengths;
        for (const auto& frame : link.written()) {
            if (frame.size() != 13)
                continue;
            lengths.push_back(readLe32(frame.data() + 9));
        }
        return lengths;
    }
    void acceptAll(int count, uint8_t tag) {
        for (int i = 0; i < count; ++i)
            link.reply({tag, 1});
    }
    static std::vector<uint8_t> crcReply(const uint8_t* data, uint32_t length) {
        const uint32_t crc = crc32(data, length);
        return {0, 0, uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
    }
};

}  // namespace

TEST_F(Phases, ExactBlockIsOneRemainderRequestAndOneByteMoreIsTwo) {
    acceptAll(1, 0xFA);
    eraseImage(link, 0x6000, 8192, progress);
    EXPECT_EQ(requestLengths(), std::vector<uint32_t>{8192});

    acceptAll(2, 0xFA);
    eraseImage(link, 0x6000, 8193, progress);
    EXPECT_EQ(requestLengths(), (std::vector<uint32_t>{8192, 8192, 1}));
}

TEST_F(Phases, WritesAreAtMostFourKilobytesEachFollowedByItsData) {
    const std::vector<uint8_t> image(8193, 0x5A);
    acceptAll(5, 0xFC);
    downloadImage(link, 0x6000, 8192, image.data(), progress);
    downloadImage(link, 0x6000, 8193, image.data(), progress);
    EXPECT_EQ(requestLengths(), (std::vector<uint32_t>{4096, 4096, 4096, 4096, 1}));
    // Each write frame is followed by exactly its data.
    EXPECT_EQ(link.written().back().size(), 1u);
}

TEST_F(Phases, ProgressStartsWithTheTotalAndEndsAtIt) {
    acceptAll(2, 0xFA);
    eraseImage(link, 0x2000, 10000, progress);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].step, 0);
    EXPECT_EQ(reports[0].steps, 10000);
    EXPECT_TRUE(reports[0].withText);
    EXPECT_EQ(reports[1].step, 8192);
    EXPECT_EQ(reports[2].step, 10000);
    EXPECT_EQ(reports[2].steps, -1);
}

TEST_F(Phases, MismatchStopsVerificationAtThatBlockWithTheBarAtTheEnd) {
    std::vector<uint8_t> image(5 * 8192);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 7);
    link.reply(crcReply(image.data(), 8192));
    link.reply(crcReply(image.data() + 8192, 8192));
    link.reply({0, 0, 1, 2, 3, 4});  // the third block differs
    try {
        verifyImage(link, 0x2000, uint32_t(image.size()), image.data(), progress);
        FAIL() << "a mismatch must not pass";
    } catch (const HException& e) {
        EXPECT_EQ(e.message(), "Verify failed : crc check mismatch");
    }
    EXPECT_EQ(requestLengths().size(), 3u);
    EXPECT_EQ(reports.back().step, int(image.size()));
}

TEST_F(Phases, TransportFailureGainsThePhasePrefix) {
    link.reply({0xFC});  // one byte of two
    const std::array<uint8_t, 16> data{};
    try {
        downloadImage(link, 0, 16, data.data(), progress);
        FAIL();
    } catch (const HException& e) {
        EXPECT_EQ(e.message(),
                  "Download failed : hardware error: target JTAG adapter data link read timed out");
    }
    EXPECT_EQ(reports.back().step, 16);
}
