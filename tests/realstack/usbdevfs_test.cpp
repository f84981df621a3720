// The emulated usbdevfs node as libusb uses it, through the program's own Linux device layer:
// descriptors read from the node, claims, control and bulk transfers, a read that waits for the
// probe and one that runs out of (real) time, and a device that leaves and comes back.

#include <chrono>

#include "RealStackTest.h"
#include "sim/LoaderWire.h"

// The node tests need nothing beyond the testbed.
using RealStackUsbdevfs = realstack::RealStackTest;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes request(sim::Command command) {
    const uint8_t* signature = sim::kCommandSignature;
    return {sim::commandTag(command), signature[0], signature[1], signature[2], signature[3]};
}

int send(platform::UsbDevice& device, uint8_t endpoint, Bytes bytes) {
    return device.bulkTransfer(endpoint, bytes.data(), static_cast<int>(bytes.size()), 1000);
}

}  // namespace

TEST_F(RealStackUsbdevfs, PlainBulkProbeTalksThroughItsNode) {
    std::string path;
    plugIn(6, "OS000001", path);
    const auto device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->interfaceOfEndpoint(0x01), 0);
    EXPECT_EQ(device->interfaceOfEndpoint(0x81), 0);
    EXPECT_EQ(device->interfaceOfEndpoint(0x02), -1);
    ASSERT_TRUE(device->claimInterface(0));

    // The IN transfer is submitted before the probe has anything: it waits for the reply.
    ASSERT_EQ(send(*device, 0x01, request(sim::Command::Info)), 5);
    Bytes reply(512);
    ASSERT_EQ(device->bulkTransfer(0x81, reply.data(), 512, 1000), 77);
    EXPECT_EQ(reply[0], sim::replyTag(sim::Command::Info));
    EXPECT_NE(reply[1], sim::kStatusFailed);

    // Nothing asked, nothing comes: libusb discards the transfer after its time-out.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(device->bulkTransfer(0x81, reply.data(), 512, 50), -1);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::seconds(2));

    // The pipe is still good after the discarded read.
    ASSERT_EQ(send(*device, 0x01, request(sim::Command::Info)), 5);
    EXPECT_EQ(device->bulkTransfer(0x81, reply.data(), 512, 1000), 77);
}

TEST_F(RealStackUsbdevfs, BridgeProbeAnswersVendorRequestsAndStatusPackets) {
    std::string path;
    const auto probe = plugIn(3, "HR000001", path);
    const auto device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(device->interfaceOfEndpoint(static_cast<uint8_t>(0x02 + 2 * channel)), channel);
        EXPECT_EQ(device->interfaceOfEndpoint(static_cast<uint8_t>(0x81 + 2 * channel)), channel);
    }
    ASSERT_TRUE(device->claimInterface(0));

    EXPECT_EQ(device->controlTransfer(0x40, 0x09, 7, 1, nullptr, 0, 1000), 0);  // latency 7 ms
    EXPECT_EQ(probe->latencyTimerMs(0), 7);
    uint8_t latency = 0;
    EXPECT_EQ(device->controlTransfer(0xC0, 0x0A, 0, 1, &latency, 1, 1000), 1);
    EXPECT_EQ(latency, 7);
    EXPECT_EQ(device->controlTransfer(0x40, 0x7F, 0, 1, nullptr, 0, 1000), -1);  // stalls

    // The standard requests are the device framework's, not the bridge's.
    uint8_t deviceDescriptor[18] = {};
    ASSERT_EQ(device->controlTransfer(0x80, 0x06, 0x0100, 0, deviceDescriptor, 18, 1000), 18);
    EXPECT_EQ(deviceDescriptor[8] | deviceDescriptor[9] << 8, sim::kVirtualProbeVendorId);
    EXPECT_EQ(deviceDescriptor[10] | deviceDescriptor[11] << 8, 3);

    // An idle channel answers with its two status bytes; a reply follows them.
    Bytes packet(4096);
    EXPECT_EQ(device->bulkTransfer(0x81, packet.data(), 4096, 1000), 2);
    ASSERT_EQ(send(*device, 0x02, request(sim::Command::Info)), 5);
    ASSERT_EQ(device->bulkTransfer(0x81, packet.data(), 4096, 1000), 2 + 62 + 2 + 15);
    EXPECT_EQ(packet[2], sim::replyTag(sim::Command::Info));
}

TEST_F(RealStackUsbdevfs, DeviceThatLeavesFailsItsTransfersAndComesBackUnderANewNode) {
    std::string path;
    const auto probe = plugIn(6, "OS000002", path);
    const auto first = usb->nodeOf(path);
    ASSERT_TRUE(first);
    auto device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->claimInterface(0));

    usb->unplug(path);
    EXPECT_FALSE(usb->nodeOf(path));
    EXPECT_TRUE(platform::linuxListInterfaces(platform::InterfaceClass::UsbDevice, 127).empty());
    Bytes reply(512);
    EXPECT_EQ(send(*device, 0x01, request(sim::Command::Info)), -1);
    EXPECT_EQ(device->bulkTransfer(0x81, reply.data(), 512, 1000), -1);
    EXPECT_FALSE(platform::linuxOpenUsbDevice(path));

    ASSERT_TRUE(usb->plugBack(path));
    const auto second = usb->nodeOf(path);
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *first);
    EXPECT_EQ(usb->publications(path), 2);
    const auto listed = platform::linuxListInterfaces(platform::InterfaceClass::UsbDevice, 127);
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_TRUE(listed[0]);
    EXPECT_EQ(listed[0]->devicePath, path);
    EXPECT_EQ(listed[0]->instanceId, "USB\\VID_1A2B&PID_0006\\OS000002");

    // The old file stays dead; a new open reaches the device again.
    EXPECT_EQ(send(*device, 0x01, request(sim::Command::Info)), -1);
    device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->claimInterface(0));
    ASSERT_EQ(send(*device, 0x01, request(sim::Command::Info)), 5);
    EXPECT_EQ(device->bulkTransfer(0x81, reply.data(), 512, 1000), 77);
    EXPECT_TRUE(probe->isAttached());
}

TEST_F(RealStackUsbdevfs, RefusedOpenAndClaimReachTheProgramAsFailures) {
    std::string path;
    const auto probe = plugIn(6, "OS000003", path);
    probe->refuseOpen();
    EXPECT_FALSE(platform::linuxOpenUsbDevice(path));
    probe->refuseClaim();
    auto device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    EXPECT_FALSE(device->claimInterface(0));
    device = platform::linuxOpenUsbDevice(path);
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->claimInterface(0));
}
