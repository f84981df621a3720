#include <gtest/gtest.h>

#include "sim/ProbeFactory.h"
#include "sim_raw_talk.h"

using namespace sim;
using simtest::frame;
using simtest::SimTest;

namespace {

constexpr uint8_t kVendorOut = 0x40;

class FtdiTest : public SimTest {
protected:
    void SetUp() override {
        probe = makeProbe(3, "HE000001");
        path = bus().attach(probe);
        device = platform::currentPlatform().openUsbDevice(path);
        ASSERT_TRUE(device && device->claimInterface(0));
    }

    int vendor(uint8_t request, uint16_t value, uint16_t index = 1) {
        return device->controlTransfer(kVendorOut, request, value, index, nullptr, 0, 1000);
    }
    int send(std::vector<uint8_t> bytes, uint8_t endpoint = 0x02) {
        return device->bulkTransfer(endpoint, bytes.data(), static_cast<int>(bytes.size()), 1000);
    }
    std::vector<uint8_t> rawRead(uint8_t endpoint = 0x81) {
        std::vector<uint8_t> raw(4096);
        const int n = device->bulkTransfer(endpoint, raw.data(), 4096, 1000);
        raw.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        return raw;
    }

    std::shared_ptr<VirtualProbe> probe;
    std::string path;
    std::unique_ptr<platform::UsbDevice> device;
};

}  // namespace

TEST_F(FtdiTest, IdleChannelAnswersStatusOnlyPacketsWhenTheLatencyTimerRunsOut) {
    uint64_t start = clock().elapsedUs();
    EXPECT_EQ(rawRead(), (std::vector<uint8_t>{0x01, 0x60}));
    EXPECT_EQ(clock().elapsedUs() - start, 16000u);  // power-on latency

    EXPECT_EQ(vendor(0x09, 1), 0);
    EXPECT_EQ(probe->latencyTimerMs(0), 1);
    start = clock().elapsedUs();
    EXPECT_EQ(rawRead().size(), 2u);
    EXPECT_EQ(clock().elapsedUs() - start, 1000u);
    EXPECT_EQ(rawRead(0x87).size(), 2u);  // channel D leads nowhere but still answers
}

TEST_F(FtdiTest, EveryPacketOfAReplyStartsWithTwoStatusBytes) {
    ASSERT_EQ(send(frame(Command::Info)), 5);
    const std::vector<uint8_t> raw = rawRead();
    ASSERT_EQ(raw.size(), 64u + 2u + 15u);  // 62 + 15 payload bytes
    EXPECT_EQ(raw[0], 0x01);
    EXPECT_EQ(raw[1], 0x60);
    EXPECT_EQ(raw[2], 0xF7);  // the reply's tag right after the status
    EXPECT_EQ(raw[64], 0x01);
    EXPECT_EQ(raw[65], 0x60);

    // A reply that fills packets exactly is followed by a status-only packet.
    probe->answerWithBytes(std::vector<uint8_t>(124, 0xAA));
    EXPECT_EQ(rawRead().size(), 64u + 64u + 2u);

    // A host buffer too small for the chip's packet overflows.
    probe->answerWithBytes({1, 2, 3});
    uint8_t tiny[4];
    EXPECT_EQ(device->bulkTransfer(0x81, tiny, 4, 1000), -1);
}

TEST_F(FtdiTest, PurgesAndResetReallyDiscard) {
    ASSERT_EQ(send(frame(Command::Info)), 5);
    EXPECT_EQ(vendor(0x00, 1), 0);  // purge RX: the queued reply is gone
    EXPECT_EQ(probe->pendingReplyBytes(), 0u);
    EXPECT_EQ(rawRead().size(), 2u);

    // Purge TX drops half a frame, so the next frame is read cleanly.
    ASSERT_EQ(send({0x08, 0xA7, 0x1C}), 3);
    EXPECT_EQ(vendor(0x00, 2), 0);
    ASSERT_EQ(send(frame(Command::Connect)), 5);
    EXPECT_EQ(rawRead(), (std::vector<uint8_t>{0x01, 0x60, 0xFE, 0x01}));

    // Reset drops both sides.
    ASSERT_EQ(send(frame(Command::Info)), 5);
    ASSERT_EQ(send({0x08, 0xA7}), 2);
    EXPECT_EQ(vendor(0x00, 0), 0);
    ASSERT_EQ(send(frame(Command::Disconnect)), 5);
    EXPECT_EQ(rawRead(), (std::vector<uint8_t>{0x01, 0x60, 0xFD, 0x01}));
}

TEST_F(FtdiTest, ZeroFillerProducesNoAnswerAndOtherChannelsSwallowData) {
    ASSERT_EQ(send(std::vector<uint8_t>(64, 0)), 64);
    ASSERT_EQ(send(std::vector<uint8_t>(64, 0), 0x04), 64);
    ASSERT_EQ(send(frame(Command::Connect), 0x06), 5);
    EXPECT_EQ(probe->pendingReplyBytes(), 0u);
    EXPECT_EQ(probe->commandCount(Command::Connect), 0);
}

TEST_F(FtdiTest, VendorRequestsAreKeptPerChannelAndRefusedWhenScripted) {
    EXPECT_EQ(vendor(0x0B, 0x02FF, 2), 0);
    EXPECT_EQ(probe->bitMode(1), 0x02FF);
    EXPECT_EQ(probe->bitMode(0), 0);
    EXPECT_EQ(vendor(0x09, 5, 4), 0);
    EXPECT_EQ(probe->latencyTimerMs(3), 5);
    uint8_t latency = 0;
    EXPECT_EQ(device->controlTransfer(0xC0, 0x0A, 0, 4, &latency, 1, 1000), 1);
    EXPECT_EQ(latency, 5);

    EXPECT_EQ(vendor(0x7F, 0), -1);     // unknown request
    EXPECT_EQ(vendor(0x00, 3), -1);     // unknown reset kind
    EXPECT_EQ(vendor(0x00, 0, 5), -1);  // no fifth channel

    probe->refuseVendorRequest(0x00, 1, 1);  // purge RX, once
    EXPECT_EQ(vendor(0x00, 2), 0);
    EXPECT_EQ(vendor(0x00, 1), -1);
    EXPECT_EQ(vendor(0x00, 1), 0);
    probe->refuseVendorRequest(0x09);  // latency, always
    EXPECT_EQ(vendor(0x09, 1), -1);
    EXPECT_EQ(vendor(0x09, 1), -1);
}

TEST_F(FtdiTest, TheTraceRecordsSetupPacketsAndBulkTransfers) {
    vendor(0x00, 0);
    send(frame(Command::Connect));
    rawRead();
    const std::vector<LoggedRequest> log = probe->requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, LoggedRequest::Kind::Control);
    EXPECT_EQ(log[0].requestType, 0x40);
    EXPECT_EQ(log[0].wIndex, 1);
    EXPECT_EQ(log[1].kind, LoggedRequest::Kind::BulkOut);
    EXPECT_EQ(log[1].endpoint, 0x02);
    EXPECT_EQ(log[1].data, frame(Command::Connect));
    EXPECT_EQ(log[2].kind, LoggedRequest::Kind::BulkIn);
    EXPECT_EQ(log[2].length, 4096);
    EXPECT_EQ(log[2].result, 4);
    EXPECT_EQ(probe->trace().text(),
              "#1 CTRL 40 00 0000 0001 len 0 -> 0\n#2 OUT 0x02 len 5 -> 5\n"
              "#3 IN 0x81 len 4096 -> 4\n");
    EXPECT_EQ(probe->commandCount(Command::Connect), 1);
    probe->clearTrace();
    EXPECT_TRUE(probe->requests().empty());
    EXPECT_EQ(probe->commandCount(Command::Connect), 0);
}
