#include <gtest/gtest.h>

#include <vector>

#include "link/USBDataLink.h"
#include "link/openDataLink.h"
#include "link_fake_usb.h"
#include "sim/VirtualClock.h"

using namespace linktest;

namespace {

constexpr const char* kPath = "/sys/devices/fake/usb1/1-3";

class PlainLink : public ::testing::Test {
protected:
    sim::VirtualClockScope time;
    FakeUsbScope bus;
    std::shared_ptr<FakeUsbState> device = bus.add(kPath);

    std::string openFailure() {
        return thrownMessage([] { openDataLink(probeAt(6, kPath)); });
    }
};

}  // namespace

TEST_F(PlainLink, ProductSixTransfersOnPipesOneAndEightyOne) {
    std::unique_ptr<HDataLink> link = openDataLink(probeAt(6, kPath));
    ASSERT_NE(dynamic_cast<USBDataLink*>(link.get()), nullptr);
    EXPECT_EQ(link->readTimeoutMs(), 1000u);
    EXPECT_EQ(link->writeTimeoutMs(), 1000u);

    const uint8_t request[3] = {1, 2, 3};
    EXPECT_EQ(link->write(request, 3), 3);
    device->inAnswers.push_back({9, 8});
    uint8_t reply[77] = {};
    EXPECT_EQ(link->read(reply, 77), 2);  // the short packet ends the transfer
    EXPECT_EQ(reply[0], 9);

    ASSERT_EQ(device->calls.size(), 2u);
    EXPECT_EQ(device->calls[0].endpoint, 0x01);
    EXPECT_EQ(device->calls[0].data, std::vector<uint8_t>(request, request + 3));
    EXPECT_EQ(device->calls[1].endpoint, 0x81);
    EXPECT_EQ(device->calls[1].length, 77);
}

TEST_F(PlainLink, PurgeDropsRepliesTheHostGaveUpOn) {
    std::unique_ptr<HDataLink> link = openDataLink(probeAt(6, kPath));
    device->inAnswers.push_back({0xFA, 0x01});  // a late reply to an erase
    device->inAnswers.push_back({0xFC, 0x01});
    link->purge();
    const auto reads = device->callsOf(linktest::UsbCall::Kind::BulkIn);
    ASSERT_EQ(reads.size(), 3u);  // two replies, then an idle pipe
    EXPECT_EQ(reads.back().timeoutMs, USBDataLink::kPurgeTimeoutMs);

    device->inAnswers.push_back({0xFE, 0x01});
    uint8_t reply[2] = {};
    EXPECT_EQ(link->read(reply, 2), 2);
    EXPECT_EQ(reply[0], 0xFE);

    // A probe that never stops sending cannot hold the purge (of a link that gave up on a read).
    EXPECT_EQ(link->read(reply, 2), -1);
    for (int i = 0; i < 2 * USBDataLink::kPurgeReads; ++i)
        device->inAnswers.push_back({0x00});
    link->purge();
    EXPECT_EQ(device->inAnswers.size(), static_cast<std::size_t>(USBDataLink::kPurgeReads));
}

TEST_F(PlainLink, BothDirectionsWaitReadTimeoutAndFailWhenNothingMoves) {
    USBDataLink link(probeAt(6, kPath), 0x01, 0x81);
    uint8_t bytes[8] = {};
    EXPECT_EQ(link.read(bytes, 8), -1);
    EXPECT_EQ(time.clock().elapsedUs(), 1'000'000u);
    link.setTimeouts(60000, 5);
    device->outStalls = true;
    EXPECT_EQ(link.write(bytes, 8), -1);
    EXPECT_EQ(device->calls.back().timeoutMs, 60000u);
}

TEST_F(PlainLink, ControlTransferComposesRequestTypeAndIsBounded) {
    USBDataLink link(probeAt(6, kPath), 0x01, 0x81);
    link.setTimeout(60000);
    uint8_t data[4] = {};
    EXPECT_TRUE(link.controlTransfer(0x80, 0x40, 0x01, 0x05, 0x1234, 0x0002, data, 4));
    const UsbCall& call = device->calls.back();
    EXPECT_EQ(call.requestType, 0xC1);
    EXPECT_EQ(call.request, 0x05);
    EXPECT_EQ(call.value, 0x1234);
    EXPECT_EQ(call.index, 0x0002);
    EXPECT_EQ(call.length, 4);
    EXPECT_EQ(call.timeoutMs, USBDataLink::kControlTimeoutMs);
    device->refusedRequests = {{0x05, 0x1234}};
    EXPECT_FALSE(link.controlTransfer(0x80, 0x40, 0x01, 0x05, 0x1234, 0x0002, data, 4));
}

TEST_F(PlainLink, UnpluggedDeviceGivesFailuresAndClosesCleanly) {
    auto link = openDataLink(probeAt(6, kPath));
    device->unplugged = true;
    uint8_t bytes[4] = {};
    EXPECT_EQ(link->read(bytes, 4), -1);
    EXPECT_EQ(link->write(bytes, 4), -1);
    link.reset();
    EXPECT_FALSE(device->isOpen);
    EXPECT_EQ(openFailure(), "Cannot open USB driver");  // the path leads nowhere now
}

TEST_F(PlainLink, OneClaimedInterfaceMustOwnBothPipes) {
    device->endpointInterfaces = {{0x01, 0}, {0x81, 1}};
    EXPECT_EQ(openFailure(), "Cannot claim USB interface");
    device->endpointInterfaces = {{0x81, 0}};
    EXPECT_EQ(openFailure(), "Cannot claim USB interface");
    device->endpointInterfaces = {{0x01, 0}, {0x81, 0}};
    device->claimRefused = true;
    EXPECT_EQ(openFailure(), "Cannot claim USB interface");
    EXPECT_FALSE(device->isOpen);
    EXPECT_EQ(device->opens, 3);
}

TEST_F(PlainLink, OnlyProbesWithACarrierGetALink) {
    for (const uint16_t productId : std::initializer_list<uint16_t>{4, 16, 0}) {
        EXPECT_EQ(openDataLink(probeAt(productId, kPath)), nullptr) << productId;
    }
    EXPECT_EQ(device->opens, 0);
}
