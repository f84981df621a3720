#include "loader/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Crc32, CheckValueAndEmptyRange) {
    const char* text = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const uint8_t*>(text), std::strlen(text)), 0xFC891918u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
}

TEST(Crc32, SingleBitFlipChangesTheSum) {
    uint8_t block[256] = {};
    const uint32_t clean = crc32(block, sizeof block);
    block[200] ^= 0x10;
    EXPECT_NE(crc32(block, sizeof block), clean);
}
