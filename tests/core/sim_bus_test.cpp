#include <gtest/gtest.h>

#include <thread>

#include "platform/InstanceId.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim_raw_talk.h"

using namespace sim;
using simtest::RawTalk;
using simtest::SimTest;

namespace {

constexpr auto kUsb = platform::InterfaceClass::UsbDevice;

std::vector<uint8_t> someImage() {
    return buildFirmwareImage({.majorVersion = 2, .minorVersion = 16, .payloadSize = 20000});
}

}  // namespace

TEST_F(SimTest, ListsEveryDeviceInAttachOrderAsTheLinuxListerWould) {
    const std::string hub = bus().attach(makeHub(), "1-1");
    const std::string probe = bus().attach(makeProbe(3, "HE123456"), "1-1.2");
    bus().addUnreadableEntry();
    const std::string bare = bus().attach(makeProbe(6, ""));  // no serial number

    const auto nodes = platform::currentPlatform().listInterfaces(kUsb, 127);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->instanceId, "USB\\VID_0F0F&PID_0001\\0&1-1");
    EXPECT_FALSE(nodes[0]->manufacturer.has_value());
    EXPECT_EQ(nodes[1]->instanceId, "USB\\VID_1A2B&PID_0003\\HE123456");
    EXPECT_EQ(nodes[1]->manufacturer, "Velantrix");
    EXPECT_EQ(nodes[1]->description, "Velantrix Heron");
    EXPECT_EQ(nodes[1]->devicePath, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1.2");
    EXPECT_FALSE(nodes[2].has_value());
    EXPECT_EQ(nodes[3]->instanceId,
              platform::composeInstanceId(kVirtualProbeVendorId, 6, "", "1-2"));
    EXPECT_EQ(nodes[3]->devicePath, bare);

    EXPECT_EQ(platform::currentPlatform().listInterfaces(kUsb, 2).size(), 2u);
    EXPECT_TRUE(
        platform::currentPlatform().listInterfaces(platform::InterfaceClass::Hid, 127).empty());
    bus().detach(hub);
    bus().clearUnreadableEntries();
    EXPECT_EQ(platform::currentPlatform().listInterfaces(kUsb, 127).size(), 2u);
    EXPECT_EQ(platform::currentPlatform().openUsbDevice(hub), nullptr);
    EXPECT_THROW(bus().attach(makeMouse(), "1-1.2"), std::logic_error);
    (void)probe;
}

TEST_F(SimTest, ReplugKeepsThePathButNotTheNodeAndOldHandlesFail) {
    auto probe = makeProbe(6, "OS000001");
    const std::string path = bus().attach(probe);
    const auto first = bus().nodeOf(path);
    RawTalk old(path, false);
    ASSERT_TRUE(old.open());

    bus().detach(path);
    EXPECT_FALSE(bus().isPresent(path));
    uint8_t byte = 0;
    EXPECT_EQ(old.usb().bulkTransfer(0x81, &byte, 1, 1000), -1);
    EXPECT_EQ(old.usb().interfaceOfEndpoint(0x81), -1);
    EXPECT_FALSE(old.usb().claimInterface(0));
    EXPECT_EQ(clock().elapsedUs(), 0u);  // a gone device fails at once

    ASSERT_TRUE(bus().reattach(path));
    const auto second = bus().nodeOf(path);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->device, second->device);
    EXPECT_EQ(second->devicePath().substr(0, 16), "/dev/bus/usb/001");
    EXPECT_EQ(old.send(simtest::frame(Command::Info)), -1);
    RawTalk fresh(path, false);
    EXPECT_EQ(fresh.command(Command::Info).size(), 77u);
}

TEST_F(SimTest, RunningFirmwareReenumeratesIntoTheLoaderOnConnect) {
    const auto image = someImage();
    auto probe = makeProbe(6, "OS000002", image);
    const std::string path = bus().attach(probe);
    EXPECT_EQ(probe->mode(), ProbeMode::RunningFirmware);
    const auto before = bus().nodeOf(path);
    RawTalk talk(path, false);

    EXPECT_EQ(talk.send(simtest::frame(Command::Connect)), 5);  // taken, then the probe leaves
    EXPECT_TRUE(talk.receive(2).empty());
    EXPECT_EQ(talk.lastResult, -1);
    EXPECT_FALSE(bus().isPresent(path));
    EXPECT_EQ(platform::currentPlatform().openUsbDevice(path), nullptr);

    clock().sleepMs(kReenumerationDelayMs - 1);
    EXPECT_TRUE(platform::currentPlatform().listInterfaces(kUsb, 127).empty());
    clock().sleepMs(1);
    const auto nodes = platform::currentPlatform().listInterfaces(kUsb, 127);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->devicePath, path);
    EXPECT_NE(bus().nodeOf(path)->device, before->device);
    EXPECT_EQ(probe->mode(), ProbeMode::Loader);

    EXPECT_EQ(talk.send(simtest::frame(Command::Connect)), -1);  // the old handle stays dead
    RawTalk again(path, false);
    EXPECT_EQ(again.command(Command::Connect), (std::vector<uint8_t>{0xFE, 0x01}));
    EXPECT_TRUE(probe->loaderConnected());
}

TEST_F(SimTest, ConnectIsAnsweredInPlaceWhereNoReopenIsNeeded) {
    const auto image = someImage();
    struct Case {
        uint16_t productId;
        std::vector<uint8_t> installed;
    };
    for (const Case& c : {Case{6, {}}, Case{3, image}, Case{5, image}}) {
        auto probe = makeProbe(c.productId, "X", c.installed);
        const std::string path = bus().attach(probe);
        const auto node = bus().nodeOf(path);
        RawTalk talk(path, c.productId != 6);
        EXPECT_EQ(talk.command(Command::Connect), (std::vector<uint8_t>{0xFE, 0x01}))
            << c.productId;
        EXPECT_EQ(bus().nodeOf(path)->device, node->device);
        bus().remove(path);
    }
}

TEST_F(SimTest, OpensAndClaimsCanBeRefusedAndClaimsAreExclusive) {
    auto probe = makeProbe(5, "EG000001");
    const std::string path = bus().attach(probe);
    probe->refuseOpen();
    EXPECT_EQ(platform::currentPlatform().openUsbDevice(path), nullptr);
    auto first = platform::currentPlatform().openUsbDevice(path);
    ASSERT_NE(first, nullptr);

    probe->refuseClaim();
    EXPECT_FALSE(first->claimInterface(0));
    EXPECT_TRUE(first->claimInterface(0));
    EXPECT_FALSE(first->claimInterface(4));  // channels A..D are interfaces 0..3
    EXPECT_EQ(first->interfaceOfEndpoint(0x85), 2);

    auto second = platform::currentPlatform().openUsbDevice(path);
    EXPECT_FALSE(second->claimInterface(0));
    EXPECT_TRUE(second->claimInterface(1));
    first.reset();
    EXPECT_TRUE(second->claimInterface(0));
}

TEST_F(SimTest, VariantsWithoutALinkShowOnlyTheirDescriptors) {
    for (const uint16_t productId : {uint16_t{4}, uint16_t{16}}) {
        const std::string path = bus().attach(makeProbe(productId, "04020001"));
        auto device = platform::currentPlatform().openUsbDevice(path);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->interfaceOfEndpoint(0x81), -1);
        EXPECT_FALSE(device->claimInterface(0));
        uint8_t byte = 0;
        EXPECT_EQ(device->bulkTransfer(0x01, &byte, 1, 100), -1);
        bus().remove(path);
    }
    EXPECT_THROW(makeProbe(7, "X"), std::invalid_argument);
}

TEST_F(SimTest, ADeviceIsOnTheBusAtOnePortAtATime) {
    auto probe = makeProbe(6, "OS000003");
    const std::string first = bus().attach(probe, "1-4");
    EXPECT_THROW(bus().attach(probe, "1-5"), std::logic_error);
    bus().detach(first);
    const std::string second = bus().attach(probe, "1-5");
    EXPECT_THROW(bus().reattach(first), std::logic_error);
    EXPECT_TRUE(bus().isPresent(second));
}

TEST_F(SimTest, PluggingFromAnotherThreadWhileTheHostTalks) {
    auto probe = makeProbe(5, "EG000002");
    const std::string path = bus().attach(probe);
    std::thread plugger([&] {
        for (int i = 0; i < 300; ++i) {
            bus().detach(path);
            bus().reattach(path);
        }
    });
    for (int i = 0; i < 300; ++i) {
        platform::currentPlatform().listInterfaces(kUsb, 127);
        RawTalk talk(path, true);
        if (talk.open())
            talk.command(Command::Info);
    }
    plugger.join();
    RawTalk after(path, true);
    EXPECT_EQ(after.command(Command::Info).size(), 77u);
}
