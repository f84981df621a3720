#include <gtest/gtest.h>

#include <vector>

#include "link/FtdiFraming.h"

namespace {

// Raw bytes whose value is their offset, so each kept byte shows where it came from.
std::vector<uint8_t> raw(std::size_t count) {
    std::vector<uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

}  // namespace

TEST(FtdiFraming, KeepsPayloadInOrderAndDropsEachPacketsStatus) {
    std::vector<uint8_t> payload(4096, 0xEE);
    EXPECT_EQ(stripFtdiStatus(raw(130), payload), 124u);  // 62 + 62 + a status-only packet
    EXPECT_EQ(stripFtdiStatus(raw(128), payload), 124u);
    EXPECT_EQ(stripFtdiStatus(raw(2), payload), 0u);
    EXPECT_EQ(stripFtdiStatus(raw(4096), payload), 4096u - 2 * 64);
    ASSERT_EQ(stripFtdiStatus(raw(67), payload), 63u);  // a final packet of 3 bytes brings 1
    EXPECT_EQ(payload[0], 2);
    EXPECT_EQ(payload[61], 63);
    EXPECT_EQ(payload[62], 66);  // 64 and 65 were the second packet's status
}

TEST(FtdiFraming, NeverWritesBeyondThePayloadArea) {
    std::vector<uint8_t> payload(12, 0xEE);
    EXPECT_EQ(stripFtdiStatus(raw(200), std::span(payload).first(10)), 10u);
    EXPECT_EQ(payload[10], 0xEE);
    EXPECT_EQ(stripFtdiStatus(raw(200), std::span<uint8_t>()), 0u);
    // Degenerate packet sizes neither loop for ever nor read past the input.
    EXPECT_EQ(stripFtdiStatus(raw(200), payload, 2), 0u);
    EXPECT_EQ(stripFtdiStatus(raw(5), payload, SIZE_MAX), 3u);
}
