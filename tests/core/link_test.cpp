// The two links over scripted devices: the plain bulk pipes of product 6 and the FTDI bridge
// channel of products 3 and 5, with the bridge's status bytes taken off every packet.
#include <gtest/gtest.h>

#include <climits>
#include <numeric>

#include "link/FtdiFraming.h"
#include "link/USBDataLink.h"
#include "link/USBFtd2xxDataLink.h"
#include "link/openDataLink.h"
#include "tests/support/Failure.h"
#include "tests/support/ScriptedUsb.h"

using scripted::Bytes;

namespace {

constexpr const char* kPath = "/sys/devices/usb1/1-2";

USBDeviceInfo probe(uint16_t productId) {
    return {0x1A2B, productId, "TEST0001", "", "", 0, kPath};
}

Bytes counting(std::size_t count, uint8_t first = 1) {
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A bridge packet: modem and line status, then the payload.
Bytes packet(Bytes payload = {}) {
    payload.insert(payload.begin(), {0x31, 0x60});
    return payload;
}

struct Links : ::testing::Test {
    scripted::ScriptedUsb usb;
    scripted::Device& device = usb.device(kPath);

    // Opening a bridge channel: reset, a drain read, purge TX then RX, two blocks of zeros that
    // bring the loader's receiver in step, latency timer 1 ms. The request numbered `refused` is
    // refused, and nothing follows it.
    void bridgeOpening(int refused = -1) {
        const std::pair<uint8_t, uint16_t> requests[] = {{0x00, 0}, {0x00, 2}, {0x00, 1}, {9, 1}};
        for (int i = 0; i < 4; ++i) {
            device.control(requests[i].first, requests[i].second, 1);
            if (i == refused) {
                device.answers(-1);
                return;
            }
            if (i == 0)
                device.in(0x81, packet({0xAA, 0xBB}));
            if (i == 2)
                device.out(0x02, Bytes(64)).out(0x02, Bytes(64));
        }
    }
    std::unique_ptr<USBFtd2xxDataLink> bridge() {
        bridgeOpening();
        return std::make_unique<USBFtd2xxDataLink>(usb.context(), probe(3), -1);
    }
};

}  // namespace

TEST(FtdiFraming, KeepsEachPacketsPayloadInOrderAndNeverWritesPastItsRoom) {
    Bytes raw(130);
    std::iota(raw.begin(), raw.end(), 0);  // each byte tells where it came from
    Bytes payload(200, 0xEE);
    ASSERT_EQ(stripFtdiStatus(raw, payload), 124u);  // 62 + 62 + a status-only packet
    EXPECT_EQ(Bytes(payload.begin() + 60, payload.begin() + 65), (Bytes{62, 63, 66, 67, 68}));
    EXPECT_EQ(payload[124], 0xEE);
    EXPECT_EQ(stripFtdiStatus(std::span(raw).first(67), payload), 63u);  // a 3-byte packet: 1
    Bytes small(12, 0xEE);
    EXPECT_EQ(stripFtdiStatus(raw, std::span(small).first(10)), 10u);
    EXPECT_EQ(small[10], 0xEE);
    EXPECT_EQ(stripFtdiStatus(raw, payload, 2), 0u);
    EXPECT_EQ(stripFtdiStatus(std::span(raw).first(5), payload, SIZE_MAX), 3u);
}

TEST_F(Links, BridgeOpensItsChannelAndReadsThePayloadBehindTheStatusBytes) {
    const auto link = bridge();
    EXPECT_EQ(device.claimed, 0);
    // The drain's bytes predate the purge: they never reach a reader.
    device.in(0x81, packet(counting(62))).in(0x81, packet(counting(3, 63)));
    Bytes got(64);
    EXPECT_EQ(link->read(got.data(), 64), 64);  // across two transfers
    EXPECT_EQ(got, counting(64));
    EXPECT_EQ(link->read(got.data(), 1), 1);  // the rest stays buffered: no transfer
    EXPECT_EQ(got[0], 65);
    EXPECT_EQ(link->read(got.data(), 0), 0);
    EXPECT_EQ(link->read(got.data(), UINT_MAX), -1);
    device.out(0x02, {1, 2, 3}).within(1000).in(0x81).answers(-1);
    EXPECT_EQ(link->write(counting(3).data(), 3), 3);
    EXPECT_EQ(link->read(got.data(), 1), -1);  // a failed transfer ends the read at once
}

TEST_F(Links, BridgeReadGivesUpOnlyAfterAPassWithoutPayload) {
    const auto link = bridge();
    // Payload that trickles in for longer than the time-out is still read to the end.
    for (uint8_t i = 0; i < 4; ++i)
        device.in(0x81, packet({i})).takes(400);
    Bytes got(4);
    EXPECT_EQ(link->read(got.data(), 4), 4);
    EXPECT_EQ(got, (Bytes{0, 1, 2, 3}));
    // An idle bridge answers with its status bytes each time its latency timer runs out.
    device.in(0x81, packet({7, 8})).in(0x81, packet()).takes(16).always();
    const uint64_t start = usb.clock().elapsedUs();
    EXPECT_EQ(link->read(got.data(), 4), 2);
    EXPECT_GT(usb.clock().elapsedUs() - start, 1'000'000u);
    EXPECT_LE(usb.clock().elapsedUs() - start, 1'016'000u);
}

TEST_F(Links, BridgePurgeClearsReceiveThenTransmitAndTheBuffer) {
    const auto link = bridge();
    device.in(0x81, packet({1, 2, 3}));
    uint8_t got = 0;
    EXPECT_EQ(link->read(&got, 1), 1);
    device.control(0x00, 1, 1).answers(-1);
    EXPECT_EQ(failureOf([&] { link->purge(); }), "cannot purge RX");
    device.control(0x00, 1, 1).control(0x00, 2, 1).answers(-1);
    EXPECT_EQ(failureOf([&] { link->purge(); }), "cannot purge TX");
    EXPECT_EQ(link->read(&got, 1), 1);  // a refused purge keeps the buffer
    EXPECT_EQ(got, 2);
    device.control(0x00, 1, 1).control(0x00, 2, 1).in(0x81).answers(-1);
    link->purge();
    EXPECT_EQ(link->read(&got, 1), -1);  // the 3 went with the purge
    device.control(0x0B, 0x020F, 1).within(USBDataLink::kControlTimeoutMs).control(0x0B, 0, 1);
    device.answers(-1);
    link->setBitMode(0x0F, 0x02);
    EXPECT_EQ(failureOf([&] { link->setBitMode(0, 0); }), "cannot set bit mode");
}

TEST_F(Links, EachBridgeOpeningFailureNamesItsStepAndClosesTheDevice) {
    const char* messages[] = {"cannot reset FTDI device", "cannot purge TX", "cannot purge RX",
                              "Cannot set latency timer"};
    for (int step = 0; step < 4; ++step) {
        bridgeOpening(step);
        EXPECT_EQ(failureOf([this] { openDataLink(usb.context(), probe(3)); }), messages[step]);
        EXPECT_FALSE(device.open);
    }
}

TEST_F(Links, PlainLinkUsesPipesOneAndEightyOneBoundedByTheReadTimeout) {
    auto link = openDataLink(usb.context(), probe(6));
    ASSERT_TRUE(dynamic_cast<USBDataLink*>(link.get()));
    link->setTimeouts(60000, 5);
    device.out(0x01, {1, 2, 3}).within(60000).in(0x81, {9, 8}).within(60000);
    EXPECT_EQ(link->write(counting(3).data(), 3), 3);
    uint8_t reply[77] = {};
    EXPECT_EQ(link->read(reply, 77), 2);  // a short packet ends the transfer
    EXPECT_EQ(reply[1], 8);
    EXPECT_EQ(link->read(reply, 0x80000000u), -1);
    device.in(0x81, {7});
    EXPECT_EQ(link->read(reply, INT_MAX), 1);  // the largest count a result can carry
    EXPECT_EQ(link->write(reply, 0x80000000u), -1);

    // A purge reads what the probe still holds, until the pipe is silent or 64 reads are done.
    device.in(0x81, {0xFA, 1}).in(0x81).timesOut().within(10);
    link->purge();
    // The next drain comes only once the link has fallen behind the probe again.
    device.in(0x81).timesOut();
    EXPECT_EQ(link->read(reply, 2), -1);
    for (int i = 0; i < USBDataLink::kPurgeReads; ++i)
        device.in(0x81, {0});
    link->purge();
}

TEST_F(Links, PlainLinkNeedsOneInterfaceWithBothPipesThatItCanClaim) {
    const auto failure = [this] {
        return failureOf([this] { openDataLink(usb.context(), probe(6)); });
    };
    for (const std::map<uint8_t, int>& layout :
         {std::map<uint8_t, int>{{0x01, 0}, {0x81, 1}}, {{0x81, 0}}, {{0x01, 0}}}) {
        device.interfaces = layout;
        EXPECT_EQ(failure(), "Cannot claim USB interface");
    }
    device.interfaces = {{0x01, 0}, {0x81, 0}};
    device.refuseClaim = true;
    EXPECT_EQ(failure(), "Cannot claim USB interface");
    EXPECT_FALSE(device.open);
    device.refuseOpen = true;
    EXPECT_EQ(failure(), "Cannot open USB driver");
    EXPECT_EQ(device.opens, 4);
    for (const uint16_t productId : std::initializer_list<uint16_t>{4, 16, 0})
        EXPECT_EQ(openDataLink(usb.context(), probe(productId)), nullptr);
}
