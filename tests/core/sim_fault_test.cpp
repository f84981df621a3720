#include <gtest/gtest.h>

#include <functional>

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
constexpr uint32_t kBlock = 0x2000;

class FaultTest : public SimTest {
protected:
    // A connected loader over four written blocks, so that an erase shows whether it happened.
    void plug() {
        probe = makeProbe(6, "OS000020");
        path = bus().attach(probe);
        probe->installImage(Bytes(4 * kBlock, 0x00));
        talk = std::make_unique<RawTalk>(path, false);
        ASSERT_EQ(talk->command(Command::Connect), (Bytes{0xFE, 0x01}));
    }
    Bytes erase(uint32_t block) {
        return talk->command(Command::Erase, kBase + block * kBlock, kBlock);
    }
    bool erased(uint32_t block) { return probe->readFlash(kBase + block * kBlock, 1)[0] == 0xFF; }

    std::shared_ptr<VirtualProbe> probe;
    std::string path;
    std::unique_ptr<RawTalk> talk;
};

}  // namespace

TEST_F(FaultTest, EachCommandFaultFiresAtTheScriptedOccurrenceOnly) {
    const Bytes ok{0xFA, 0x01};
    struct Case {
        const char* name;
        std::function<void(CommandStep)> script;
        Bytes third;
        bool thirdErased;
    };
    const Case cases[] = {
        {"no reply", [](CommandStep s) { s.noReply(); }, {}, false},
        {"short reply", [](CommandStep s) { s.shortReply(1); }, {0xFA}, true},
        {"wrong tag", [](CommandStep s) { s.wrongTag(0x12); }, {0x12, 0x01}, true},
        {"status 0", [](CommandStep s) { s.fail(); }, {0xFA, 0x00}, false},
        {"busy", [](CommandStep s) { s.busy(); }, {0xFA, 0xFF}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plug();
        c.script(probe->on(Command::Erase, 3));
        EXPECT_EQ(erase(0), ok);
        EXPECT_EQ(erase(1), ok);
        EXPECT_EQ(erase(2), c.third);
        EXPECT_EQ(erase(3), ok);
        EXPECT_EQ(erased(2), c.thirdErased);
        EXPECT_TRUE(erased(3));
        EXPECT_EQ(probe->trace().commands.at(3).fault.has_value(), true);
        bus().remove(path);
    }
}

TEST_F(FaultTest, BusyConnectRepeatsTheScriptedNumberOfTimes) {
    probe = makeProbe(5, "EG000020");
    RawTalk bridge(bus().attach(probe), true);
    probe->on(Command::Connect, 1).busy(9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(bridge.command(Command::Connect), (Bytes{0xFE, 0xFF})) << i;
    EXPECT_FALSE(probe->loaderConnected());
    EXPECT_EQ(bridge.command(Command::Connect), (Bytes{0xFE, 0x01}));
    EXPECT_EQ(probe->commandCount(Command::Connect), 10);
}

TEST_F(FaultTest, ACorruptedWriteShowsAsACrcMismatchInItsBlockOnly) {
    plug();
    const Bytes image = buildFirmwareImage({.payloadSize = 4 * kBlock - 0x40});
    for (uint32_t block = 0; block < 4; ++block)
        ASSERT_EQ(erase(block), (Bytes{0xFA, 0x01}));
    probe->on(Command::Write, 5).corruptWrite(100);  // inside the third 8 KiB block
    for (uint32_t at = 0; at < image.size(); at += 0x1000) {
        const Bytes chunk(image.begin() + at, image.begin() + at + 0x1000);
        ASSERT_EQ(talk->command(Command::Write, kBase + at, 0x1000, chunk), (Bytes{0xFC, 0x01}));
    }
    for (uint32_t block = 0; block < 4; ++block) {
        const Bytes reply = talk->command(Command::Crc, kBase + block * kBlock, kBlock);
        EXPECT_EQ(le32(reply, 2) == crc32(image.data() + block * kBlock, kBlock), block != 2)
            << block;
    }
    probe->corruptFlashByte(kBase + 5);
    EXPECT_NE(le32(talk->command(Command::Crc, kBase, kBlock), 2), crc32(image.data(), kBlock));
}

TEST_F(FaultTest, RequestFaultsHitTheScriptedRequest) {
    plug();  // requests 1 and 2: the connect
    probe->atRequest(3).fail();
    probe->atRequest(6).timeOut();
    EXPECT_EQ(talk->send(frame(Command::Info)), -1);
    EXPECT_EQ(talk->command(Command::Info).size(), 77u);  // requests 4 and 5
    const uint64_t start = clock().elapsedUs();
    EXPECT_EQ(talk->send(frame(Command::Info)), -1);
    EXPECT_EQ(clock().elapsedUs() - start, 1'000'000u);
}

TEST_F(FaultTest, UnplugAtARequestMakesEveryLaterTransferFail) {
    plug();
    probe->atRequest(4).unplug();
    EXPECT_EQ(talk->send(frame(Command::Info)), 5);
    EXPECT_TRUE(talk->receive(77).empty());
    EXPECT_EQ(talk->lastResult, -1);
    EXPECT_FALSE(bus().isPresent(path));
    EXPECT_EQ(talk->send(frame(Command::Info)), -1);
    EXPECT_EQ(talk->usb().controlTransfer(0x40, 0, 0, 1, nullptr, 0, 1000), -1);
    EXPECT_EQ(clock().elapsedUs(), 0u);

    ASSERT_TRUE(bus().reattach(path));  // plugged back in: a new session
    RawTalk again(path, false);
    EXPECT_EQ(again.command(Command::Erase, kBase, kBlock), (Bytes{0xFA, 0x00}));
}

TEST_F(FaultTest, UnplugAtACommandFailsTheTransferCarryingIt) {
    plug();
    probe->on(Command::Write, 1).unplug();
    EXPECT_EQ(erase(0), (Bytes{0xFA, 0x01}));
    EXPECT_EQ(talk->send(frame(Command::Write, kBase, 4)), 13);
    EXPECT_EQ(talk->send({1, 2, 3, 4}), -1);  // a write is complete with its data
    EXPECT_FALSE(probe->isAttached());
    EXPECT_FALSE(bus().isPresent(path));
}

TEST_F(FaultTest, AResponderAnswersInsteadOfTheLoader) {
    plug();
    probe->answerWith([](std::span<const uint8_t> received) {
        return Bytes(received.rbegin(), received.rend());
    });
    EXPECT_EQ(talk->send({1, 2, 3}), 3);
    EXPECT_EQ(talk->receive(64), (Bytes{3, 2, 1}));
    probe->answerWith(nullptr);
    EXPECT_EQ(talk->command(Command::Connect), (Bytes{0xFE, 0x01}));
}
