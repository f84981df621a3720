#include <gtest/gtest.h>

#include "loader/Crc32.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim_raw_talk.h"

using namespace sim;
using simtest::frame;
using simtest::le32;
using simtest::RawTalk;
using simtest::SimTest;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBase = 0x1A008000;  // probe 6

class LoaderTest : public SimTest {
protected:
    void plug(std::span<const uint8_t> image = {}) {
        probe = makeProbe(6, "OS000010", image);
        path = bus().attach(probe);
        talk = std::make_unique<RawTalk>(path, false);
    }
    Bytes connect() { return talk->command(Command::Connect); }

    std::shared_ptr<VirtualProbe> probe;
    std::string path;
    std::unique_ptr<RawTalk> talk;
};

}  // namespace

TEST_F(LoaderTest, AnswersEveryCommandWithItsReplyFrame) {
    plug();
    EXPECT_EQ(connect(), (Bytes{0xFE, 0x01}));
    EXPECT_EQ(talk->command(Command::Erase, kBase, 0x2000), (Bytes{0xFA, 0x01}));
    const Bytes data(0x1000, 0x5A);
    EXPECT_EQ(talk->command(Command::Write, kBase, 0x1000, data), (Bytes{0xFC, 0x01}));
    const Bytes crc = talk->command(Command::Crc, kBase, 0x1000);
    ASSERT_EQ(crc.size(), 6u);
    EXPECT_EQ(crc[0], 0xF8);
    EXPECT_EQ(crc[1], 0x01);
    EXPECT_EQ(le32(crc, 2), crc32(data.data(), data.size()));
    EXPECT_EQ(le32(talk->command(Command::Crc, kBase, 0), 2), 0u);
    EXPECT_EQ(talk->command(Command::Disconnect), (Bytes{0xFD, 0x01}));
    EXPECT_FALSE(probe->loaderConnected());
}

TEST_F(LoaderTest, InformationReportsTheHeaderStoredInFlash) {
    const Bytes image = buildFirmwareImage({.majorVersion = 3,
                                            .minorVersion = 1,
                                            .buildText = "Build: 2024042402.56362",
                                            .payloadSize = 1000,
                                            .headerSize = 0x48});
    plug(image);
    Bytes info = talk->command(Command::Info);
    ASSERT_EQ(info.size(), 77u);
    EXPECT_EQ(info[0], 0xF7);
    EXPECT_EQ(info[1] | info[2] << 8, 2);  // the loader's own version
    EXPECT_EQ(le32(info, 9), 1u);          // image format
    EXPECT_EQ(le32(info, 13), 0xCAFEF00Du);
    EXPECT_EQ(info[33] | info[34] << 8, 3);
    EXPECT_EQ(info[37] | info[38] << 8, 1);
    EXPECT_EQ(std::string(info.begin() + 41, info.begin() + 41 + 23), "Build: 2024042402.56362");

    // Reopen into the loader, erase the header and read again: erased flash reads all ones.
    talk->command(Command::Connect);
    clock().sleepMs(kReenumerationDelayMs);
    talk = std::make_unique<RawTalk>(path, false);
    EXPECT_EQ(connect(), (Bytes{0xFE, 0x01}));
    EXPECT_EQ(talk->command(Command::Erase, kBase, 0x2000), (Bytes{0xFA, 0x01}));
    info = talk->command(Command::Info);
    EXPECT_EQ(le32(info, 9), 0xFFFFFFFFu);
    EXPECT_EQ(le32(info, 13), 0xFFFFFFFFu);

    // Writing a new image changes what the next read-back shows.
    const Bytes next = buildFirmwareImage({.majorVersion = 4, .minorVersion = 2, .buildText = "B"});
    EXPECT_EQ(talk->command(Command::Write, kBase, static_cast<uint32_t>(next.size()), next),
              (Bytes{0xFC, 0x01}));
    info = talk->command(Command::Info);
    EXPECT_EQ(le32(info, 13), 0xCAFEF00Du);
    EXPECT_EQ(info[33], 4);
    EXPECT_EQ(info[37], 2);
    EXPECT_EQ(info[41], 'B');
    EXPECT_EQ(info[42], 0);
}

TEST_F(LoaderTest, FlashErasesToOnesAndProgramsOnlyErasedBytesInsideTheRegion) {
    plug();
    connect();
    const Bytes data(16, 0x00);
    EXPECT_EQ(talk->command(Command::Write, kBase, 16, data), (Bytes{0xFC, 0x01}));
    EXPECT_EQ(talk->command(Command::Write, kBase + 8, 16, data), (Bytes{0xFC, 0x00}))
        << "over unerased bytes";
    EXPECT_EQ(probe->readFlash(kBase + 16, 8), Bytes(8, 0xFF)) << "a refused write changes nothing";

    const uint32_t end = kBase + probe->variant().flashSize;
    EXPECT_EQ(talk->command(Command::Write, end - 8, 16, data), (Bytes{0xFC, 0x00}));
    EXPECT_EQ(talk->command(Command::Write, kBase - 16, 16, data), (Bytes{0xFC, 0x00}));
    EXPECT_EQ(talk->command(Command::Erase, end - 0x1000, 0x2000), (Bytes{0xFA, 0x00}));
    EXPECT_EQ(talk->command(Command::Erase, 0xFFFFF000, 0x2000), (Bytes{0xFA, 0x00}));
    EXPECT_EQ(talk->command(Command::Crc, end, 4), (Bytes{0xF8, 0x00, 0, 0, 0, 0}));
    // The stream stays in step after refused writes: their data was consumed.
    EXPECT_EQ(talk->command(Command::Erase, kBase, 8), (Bytes{0xFA, 0x01}));
    EXPECT_EQ(probe->readFlash(kBase, 16),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
    const Bytes crc = talk->command(Command::Crc, kBase + 3, 10);
    const Bytes stored = probe->readFlash(kBase + 3, 10);
    EXPECT_EQ(le32(crc, 2), crc32(stored.data(), stored.size()));
}

TEST_F(LoaderTest, CommandsBeforeConnectFailButInformationIsAnswered) {
    plug();
    EXPECT_EQ(talk->command(Command::Erase, kBase, 0x2000), (Bytes{0xFA, 0x00}));
    EXPECT_EQ(talk->command(Command::Write, kBase, 4, Bytes{1, 2, 3, 4}), (Bytes{0xFC, 0x00}));
    EXPECT_EQ(talk->command(Command::Crc, kBase, 4), (Bytes{0xF8, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(talk->command(Command::Disconnect), (Bytes{0xFD, 0x00}));
    EXPECT_EQ(talk->command(Command::Info).size(), 77u);
    EXPECT_EQ(probe->readFlash(kBase, 4), Bytes(4, 0xFF));
}

TEST_F(LoaderTest, MalformedFramesAreRefused) {
    plug();
    EXPECT_EQ(talk->send({0x04, 0xA7, 0x1C, 0x5E, 0x93}), 5);
    EXPECT_EQ(talk->receive(2), (Bytes{0xFB, 0x00}));
    EXPECT_EQ(talk->send({0x01, 0xA7, 0x00, 0x5E, 0x93, 0x01, 0xA7}), 7);
    EXPECT_EQ(talk->receive(2), (Bytes{0xFE, 0x00}));
    EXPECT_EQ(talk->receive(2), Bytes{}) << "the rest of the transfer was dropped";
    // A frame may also arrive in pieces.
    EXPECT_EQ(talk->send({0x01, 0xA7}), 2);
    EXPECT_EQ(talk->send({0x1C, 0x5E, 0x93}), 3);
    EXPECT_EQ(talk->receive(2), (Bytes{0xFE, 0x01}));
}

TEST_F(LoaderTest, BulkRepliesEndShortAndSilenceUsesUpTheTimeOut) {
    plug();
    talk->send(frame(Command::Connect));
    EXPECT_EQ(talk->receive(77).size(), 2u);  // short packet ends the transfer

    talk->send(frame(Command::Info));
    EXPECT_TRUE(talk->receive(2).empty());  // a 64-byte packet cannot fit: overflow
    EXPECT_EQ(talk->lastResult, -1);
    EXPECT_EQ(talk->receive(77).size(), 13u) << "the overflowing packet is lost";

    const uint64_t start = clock().elapsedUs();
    EXPECT_TRUE(talk->receive(2, 60000).empty());
    EXPECT_EQ(talk->lastResult, -1);
    EXPECT_EQ(clock().elapsedUs() - start, 60'000'000u);
}
