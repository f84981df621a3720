#include <gtest/gtest.h>

#include "loader/Crc32.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim_raw_talk.h"

using namespace sim;
using simtest::le32;
using simtest::RawTalk;
using simtest::SimTest;

namespace {

using Bytes = std::vector<uint8_t>;

// The variants the program has a link for, with images of their catalogue sizes.
struct Target {
    uint16_t productId;
    uint32_t imageSize;
    uint32_t headerSize;
};
constexpr Target kTargets[] = {{3, 0x1B718, 0x40}, {5, 0x3D34, 0x40}, {6, 0xEB34, 0x48}};

// The FTDI link's opening: reset, drain, purge both ways, resynchronise, latency 1 ms.
void openBridge(RawTalk& talk) {
    auto vendor = [&](uint8_t request, uint16_t value) {
        return talk.usb().controlTransfer(0x40, request, value, 1, nullptr, 0, 1000);
    };
    ASSERT_EQ(vendor(0x00, 0), 0);
    talk.receive(2);
    ASSERT_EQ(vendor(0x00, 2), 0);
    ASSERT_EQ(vendor(0x00, 1), 0);
    ASSERT_EQ(talk.send(Bytes(64, 0)), 64);
    ASSERT_EQ(talk.send(Bytes(64, 0)), 64);
    ASSERT_EQ(vendor(0x09, 1), 0);
}

// Erase in 8 KiB, write in 4 KiB, verify in 8 KiB, disconnect; answers the CRC mismatches.
int install(RawTalk& talk, uint32_t base, const Bytes& image) {
    const auto size = static_cast<uint32_t>(image.size());
    for (uint32_t at = 0; at < size; at += 0x2000)
        EXPECT_EQ(talk.command(Command::Erase, base + at, std::min(0x2000u, size - at)),
                  (Bytes{0xFA, 0x01}));
    for (uint32_t at = 0; at < size; at += 0x1000) {
        const uint32_t n = std::min(0x1000u, size - at);
        EXPECT_EQ(talk.command(Command::Write, base + at, n, {image.data() + at, n}),
                  (Bytes{0xFC, 0x01}));
    }
    int mismatches = 0;
    for (uint32_t at = 0; at < size; at += 0x2000) {
        const uint32_t n = std::min(0x2000u, size - at);
        const Bytes reply = talk.command(Command::Crc, base + at, n);
        mismatches += reply.size() != 6 || le32(reply, 2) != crc32(image.data() + at, n);
    }
    EXPECT_EQ(talk.command(Command::Disconnect), (Bytes{0xFD, 0x01}));
    return mismatches;
}

}  // namespace

TEST_F(SimTest, AWholeUpdateOfEveryLinkedVariantLeavesTheImageInFlash) {
    for (const Target& target : kTargets) {
        SCOPED_TRACE(target.productId);
        const Bytes old = buildFirmwareImage({.majorVersion = 1, .payloadSize = 5000});
        const Bytes image = buildFirmwareImage({.majorVersion = 9,
                                                .minorVersion = 7,
                                                .buildText = "Build: fresh",
                                                .payloadSize = target.imageSize - target.headerSize,
                                                .headerSize = target.headerSize,
                                                .seed = target.productId});
        ASSERT_EQ(image.size(), target.imageSize);
        auto probe = makeProbe(target.productId, "SN0000", old);
        const std::string path = bus().attach(probe);
        const bool bridge = probe->variant().face == UsbFaceKind::FtdiBridge;
        auto talk = std::make_unique<RawTalk>(path, bridge);
        if (bridge)
            openBridge(*talk);

        talk->command(Command::Connect);
        if (probe->variant().reopenAfterConnect) {  // it left to restart in its loader
            clock().sleepMs(1000);
            talk = std::make_unique<RawTalk>(path, bridge);
            ASSERT_EQ(talk->command(Command::Connect), (Bytes{0xFE, 0x01}));
        }
        ASSERT_TRUE(probe->loaderConnected());
        const uint32_t base = probe->variant().flashBase;
        EXPECT_EQ(install(*talk, base, image), 0);
        EXPECT_EQ(probe->readFlash(base, target.imageSize), image);
        EXPECT_EQ(probe->flashCrc(base, target.imageSize), crc32(image.data(), image.size()));

        const Bytes info = talk->command(Command::Info);
        ASSERT_EQ(info.size(), 77u);
        EXPECT_EQ(info[33], 9);
        EXPECT_EQ(info[37], 7);
        EXPECT_EQ(probe->commandCount(Command::Write),
                  static_cast<int>((target.imageSize + 0xFFF) / 0x1000));
        bus().remove(path);
    }
}

TEST_F(SimTest, TheTimingModelChargesFramesAndFlashWorkOnTheVirtualClock) {
    const TimingModel timing;
    auto probe = makeProbe(6, "OS000030", {}, {.timing = timing});
    RawTalk talk(bus().attach(probe), false);
    talk.command(Command::Connect);

    uint64_t start = clock().elapsedUs();
    EXPECT_EQ(talk.command(Command::Erase, 0x1A008000, 0x2000), (Bytes{0xFA, 0x01}));
    // Frame out, sector erase, frame in.
    EXPECT_EQ(clock().elapsedUs() - start,
              2 * timing.frameUs + timing.commandUs + timing.eraseUsPer8KiB);

    start = clock().elapsedUs();
    EXPECT_EQ(talk.command(Command::Write, 0x1A008000, 0x1000, Bytes(0x1000, 1)),
              (Bytes{0xFC, 0x01}));
    // 64 packets of data need 4 frames at 19 packets a frame.
    EXPECT_EQ(clock().elapsedUs() - start,
              (1 + 4 + 1) * timing.frameUs + timing.commandUs + timing.writeUsPer4KiB);

    // A reply still in the works when the host gives up is a time-out.
    talk.send(simtest::frame(Command::Erase, 0x1A00A000, 0x2000));
    EXPECT_TRUE(talk.receive(2, 5).empty());
    EXPECT_EQ(talk.lastResult, -1);
    EXPECT_EQ(talk.receive(2, 1000), (Bytes{0xFA, 0x01}));

    // Off again: transfers cost nothing.
    probe->setTiming(std::nullopt);
    start = clock().elapsedUs();
    talk.command(Command::Crc, 0x1A008000, 0x2000);
    EXPECT_EQ(clock().elapsedUs(), start);
}
