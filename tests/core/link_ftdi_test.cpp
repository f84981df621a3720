#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "link/USBFtd2xxDataLink.h"
#include "link/openDataLink.h"
#include "link_fake_usb.h"
#include "platform/HException.h"
#include "sim/VirtualClock.h"

using namespace linktest;

namespace {

constexpr const char* kPath = "/sys/devices/fake/usb1/1-2";

std::vector<uint8_t> counting(std::size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A bridge that answers every IN transfer without a scripted answer with status bytes only, as
// a real one does each time its latency timer runs out.
class FtdiLink : public ::testing::Test {
protected:
    sim::VirtualClockScope time;
    FakeUsbScope bus;
    std::shared_ptr<FakeUsbState> device = bus.add(kPath);

    FtdiLink() { device->idle = FakeUsbState::Idle::StatusOnly; }

    std::unique_ptr<USBFtd2xxDataLink> open(int channel = -1) {
        auto link = std::make_unique<USBFtd2xxDataLink>(probeAt(3, kPath), channel);
        device->calls.clear();
        return link;
    }
    uint64_t elapsedMs() { return time.clock().elapsedUs() / 1000; }
};

}  // namespace

TEST_F(FtdiLink, ChannelAConstructionSpeaksTheBridgeSetupInOrder) {
    device->inAnswers.push_back(ftdiPacket({0xAA, 0xBB}));  // the drain gets its 2 bytes at once
    USBFtd2xxDataLink link(probeAt(3, kPath), -1);

    const auto& calls = device->calls;
    ASSERT_EQ(calls.size(), 7u);
    const auto expectControl = [&](std::size_t i, uint8_t request, uint16_t value) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].kind, UsbCall::Kind::Control);
        EXPECT_EQ(calls[i].requestType, 0x40);
        EXPECT_EQ(calls[i].request, request);
        EXPECT_EQ(calls[i].value, value);
        EXPECT_EQ(calls[i].index, 1);
        EXPECT_EQ(calls[i].length, 0);
    };
    expectControl(0, 0x00, 0);
    EXPECT_EQ(calls[1].kind, UsbCall::Kind::BulkIn);
    EXPECT_EQ(calls[1].endpoint, 0x81);
    EXPECT_EQ(calls[1].length, 4096);
    expectControl(2, 0x00, 2);
    expectControl(3, 0x00, 1);
    for (std::size_t i : {4u, 5u}) {
        EXPECT_EQ(calls[i].kind, UsbCall::Kind::BulkOut);
        EXPECT_EQ(calls[i].endpoint, 0x02);
        EXPECT_EQ(calls[i].data, std::vector<uint8_t>(64, 0));
    }
    expectControl(6, 0x09, 1);
    EXPECT_EQ(device->claimedInterface, 0);
    EXPECT_EQ(link.readTimeoutMs(), 1000u);
    EXPECT_EQ(link.writeTimeoutMs(), 1000u);
}

TEST_F(FtdiLink, EachConstructionFailureNamesItsStepAndClosesTheDevice) {
    const auto construct = [](const char* path) {
        return thrownMessage([path] { USBFtd2xxDataLink link(probeAt(3, path), -1); });
    };
    const struct {
        std::pair<uint8_t, uint16_t> refused;
        const char* message;
    } steps[] = {{{0x00, 0}, "cannot reset FTDI device"},
                 {{0x00, 2}, "cannot purge TX"},
                 {{0x00, 1}, "cannot purge RX"},
                 {{0x09, 1}, "Cannot set latency timer"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        device->refusedRequests = {step.refused};
        EXPECT_EQ(construct(kPath), step.message);
        EXPECT_FALSE(device->isOpen);
        // Nothing is sent after the refused request.
        EXPECT_EQ(device->calls.back().request, step.refused.first);
        EXPECT_EQ(device->calls.back().value, step.refused.second);
    }
    device->refusedRequests.clear();
    device->claimRefused = true;
    device->calls.clear();
    EXPECT_EQ(construct(kPath), "Cannot claim USB interface");
    EXPECT_FALSE(device->isOpen);
    EXPECT_TRUE(device->calls.empty());
    EXPECT_EQ(construct("/sys/devices/fake/usb1/1-9"), "Cannot open USB driver");
}

TEST_F(FtdiLink, StatusBytesAreStrippedAndStalePayloadDropped) {
    // What the drain read leaves behind predates the purge and must not reach a reader.
    device->inAnswers.push_back(ftdiPacket({1, 2, 3, 4, 5}));
    auto link = open();
    // Two full packets and a final one of only status bytes: 62 + 62 + 0.
    std::vector<uint8_t> raw = ftdiPacket(counting(62, 0));
    const auto second = ftdiPacket(counting(62, 62));
    raw.insert(raw.end(), second.begin(), second.end());
    raw.insert(raw.end(), {0x31, 0x60});
    device->inAnswers.push_back(raw);

    std::vector<uint8_t> got(124);
    EXPECT_EQ(link->read(got.data(), 124), 124);
    EXPECT_EQ(got, counting(124, 0));
    EXPECT_EQ(device->calls.size(), 1u);
}

TEST_F(FtdiLink, StatusOnlyAnswersEndTheReadOnceTheTimeoutHasPassed) {
    auto link = open();
    device->inAnswers.push_back(ftdiPacket({7, 8, 9}));
    const uint64_t startMs = elapsedMs();
    std::vector<uint8_t> got(10);
    EXPECT_EQ(link->read(got.data(), 10), 3);
    EXPECT_GT(elapsedMs() - startMs, 1000u);
    EXPECT_LE(elapsedMs() - startMs, 1001u + device->statusIntervalMs);
    EXPECT_EQ(link->read(got.data(), 10), 0);
}

TEST_F(FtdiLink, BufferedPayloadSurvivesShortReadsUntilPurge) {
    auto link = open();
    device->inAnswers.push_back(ftdiPacket({1, 2, 3, 4, 5}));
    uint8_t got[2] = {};
    EXPECT_EQ(link->read(got, 2), 2);
    EXPECT_EQ(link->read(got, 2), 2);  // from the buffer: no second transfer
    EXPECT_EQ(got[0], 3);
    EXPECT_EQ(device->calls.size(), 1u);

    device->refusedRequests = {{0x00, 1}};
    EXPECT_EQ(thrownMessage([&] { link->purge(); }), "cannot purge RX");
    device->refusedRequests = {{0x00, 2}};
    EXPECT_EQ(thrownMessage([&] { link->purge(); }), "cannot purge TX");
    device->refusedRequests.clear();
    device->calls.clear();
    EXPECT_EQ(link->read(got, 1), 1);  // a refused purge kept the buffer
    EXPECT_EQ(got[0], 5);
    EXPECT_TRUE(device->calls.empty());

    device->inAnswers.push_back(ftdiPacket({6, 7}));
    EXPECT_EQ(link->read(got, 1), 1);
    link->purge();
    ASSERT_EQ(device->calls.size(), 3u);
    EXPECT_EQ(device->calls[1].value, 1);  // receive first, then transmit
    EXPECT_EQ(device->calls[2].value, 2);
    device->idle = FakeUsbState::Idle::Silent;
    EXPECT_EQ(link->read(got, 1), -1);  // the 7 went with the purge
}

TEST_F(FtdiLink, SetTimeoutChangesOnlyTheBridgeLinksOwnBound) {
    auto link = open();
    link->setTimeout(60000);
    uint8_t byte = 0;
    EXPECT_EQ(link->read(&byte, 1), 0);
    EXPECT_GT(elapsedMs(), 60000u);
    device->outStalls = true;
    EXPECT_EQ(link->write(&byte, 1), -1);
    for (const auto& call : device->calls) {
        EXPECT_EQ(call.timeoutMs, 1000u);
    }
}

TEST_F(FtdiLink, ChannelArgumentSelectsRequestIndexAndPipes) {
    const struct {
        int argument;
        uint16_t index;
        uint8_t out;
        uint8_t in;
    } rows[] = {{-1, 1, 0x02, 0x81}, {0, 1, 0x02, 0x81}, {3, 4, 0x08, 0x87}};
    device->endpointInterfaces = {{0x02, 0}, {0x81, 0}, {0x08, 3}, {0x87, 3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.argument);
        auto link = open(row.argument);
        uint8_t byte = 0;
        link->write(&byte, 1);
        link->setBitMode(0x0F, 0x02);
        link->read(&byte, 1);
        EXPECT_EQ(device->calls.at(0).endpoint, row.out);
        EXPECT_EQ(device->calls.at(1).request, 0x0B);
        EXPECT_EQ(device->calls.at(1).value, 0x020F);
        EXPECT_EQ(device->calls.at(1).index, row.index);
        EXPECT_EQ(device->calls.at(2).endpoint, row.in);
    }
}

TEST_F(FtdiLink, UnpluggedBridgeFailsTransfersInsteadOfCrashing) {
    std::unique_ptr<HDataLink> link = openDataLink(probeAt(5, kPath));
    ASSERT_NE(dynamic_cast<USBFtd2xxDataLink*>(link.get()), nullptr);
    device->unplugged = true;
    uint8_t bytes[4] = {};
    EXPECT_EQ(link->read(bytes, 4), -1);
    EXPECT_EQ(link->write(bytes, 4), -1);
    EXPECT_EQ(thrownMessage([&] { link->purge(); }), "cannot purge RX");
    link.reset();
    EXPECT_FALSE(device->isOpen);
}
