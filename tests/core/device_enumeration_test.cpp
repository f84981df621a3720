#include <gtest/gtest.h>

#include <set>

#include "FakeListingPlatform.h"
#include "link/DeviceEnumeration.h"
#include "link/InterfaceKinds.h"
#include "link/ProbeModels.h"
#include "link/Utf16Narrowing.h"

using platform::InterfaceClass;

namespace {

const std::vector<int32_t> probeIds = probeProductIds();

std::vector<USBDeviceInfo> enumerateAll(uint32_t kind = 0) {
    return enumerateUSBDevices(kind, anyUsbId, anyUsbId);
}

USBDeviceInfo device(uint16_t vendorId, uint16_t productId, const std::string& serial = "S") {
    USBDeviceInfo info;
    info.vendorId = vendorId;
    info.productId = productId;
    info.serialNumber = serial;
    return info;
}

}  // namespace

TEST(DeviceEnumeration, BuildsRecordFromIdentifierAndProperties) {
    FakeListingPlatform fake;
    fake.add(InterfaceClass::UsbDevice,
             DeviceInterfaceNode{"USB\\VID_1A2B&PID_0006\\1234abCD", "Maker", std::nullopt,
                                 "/sys/devices/usb1/1-2"});

    const auto records = enumerateAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].vendorId, 0x1A2B);
    EXPECT_EQ(records[0].productId, 6);
    EXPECT_EQ(records[0].serialNumber, "1234abCD");  // case kept outside the id component
    EXPECT_EQ(records[0].manufacturer, "Maker");
    EXPECT_EQ(records[0].deviceDescription, "");
    EXPECT_EQ(records[0].interfaceKind, 0u);
    EXPECT_EQ(records[0].devicePath, "/sys/devices/usb1/1-2");
    EXPECT_EQ(selectDevices(records, probeVendorId, probeIds).size(), 1u);
}

TEST(DeviceEnumeration, IdentifierShapes) {
    struct Case {
        const char* instanceId;
        bool listed;
        uint16_t vendorId;
        uint16_t productId;
        const char* serial;
    };
    const Case cases[] = {
        {"USB\\vid_1a2b&pid_00ef\\X", true, 0x1A2B, 0xEF, "X"},  // lower-case hex
        {"USB\\VID_1A2B&PID_00EF\\X", true, 0x1A2B, 0xEF, "X"},  // upper-case hex
        {"USB\\ROOT_HUB30", false, 0, 0, ""},                    // two components
        {"USB\\VID_1A2B&PID_0006", false, 0, 0, ""},
        {"USB\\VID_1A2B&PID_0006\\5&2c0a&0&3", true, 0x1A2B, 6, ""},  // made-up instance part
        {"USB\\VID_1A2B&PID_0006\\0&1-2.3", true, 0x1A2B, 6, ""},
        {"USB\\VID_1A2B&PID_0006\\Z", true, 0x1A2B, 6, "Z"},  // single character
        {"USB\\VID_1A2B&PID_0006\\", true, 0x1A2B, 6, ""},
        {"USB\\VID_1A2B&PID_0006\\AB\\C", true, 0x1A2B, 6, "AB"},
        {"USB\\VID_12\\X", true, 0, 0, "X"},              // too short after "vid_"
        {"USB\\VID_12&PID_0006\\X", true, 0x12, 6, "X"},  // stops at the '&'
        {"USB\\PID_0006&VID_1A2B\\X", true, 0x1A2B, 6, "X"},
        {"USB\\VID_GGGG&PID_0006\\X", true, 0, 6, "X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.instanceId);
        FakeListingPlatform fake;
        fake.addUsb(c.instanceId);
        const auto records = enumerateAll();
        ASSERT_EQ(records.size(), c.listed ? 1u : 0u);
        if (!c.listed)
            continue;
        EXPECT_EQ(records[0].vendorId, c.vendorId);
        EXPECT_EQ(records[0].productId, c.productId);
        EXPECT_EQ(records[0].serialNumber, c.serial);
    }
}

TEST(DeviceEnumeration, DeviceWithoutVendorIdIsListedButNotSelected) {
    FakeListingPlatform fake;
    fake.addUsb("USB\\PID_0006&VID_12\\X");  // "vid_12" ends the component
    const auto records = enumerateAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].vendorId, 0);
    EXPECT_TRUE(selectDevices(records, probeVendorId, probeIds).empty());
}

TEST(DeviceEnumeration, FiltersOnVendorAndProduct) {
    FakeListingPlatform fake;
    fake.addUsb("USB\\VID_1A2B&PID_0006\\A");
    fake.addUsb("USB\\VID_0BDA&PID_0006\\B");
    fake.addUsb("USB\\VID_1A2B&PID_0003\\C");
    fake.addUsb("USB\\ROOT_HUB");

    EXPECT_EQ(enumerateAll().size(), 3u);
    const auto byVendor = enumerateUSBDevices(0, 0x1A2B, anyUsbId);
    ASSERT_EQ(byVendor.size(), 2u);
    EXPECT_EQ(byVendor[0].serialNumber, "A");
    EXPECT_EQ(byVendor[1].serialNumber, "C");
    const auto byBoth = enumerateUSBDevices(0, 0x1A2B, 3);
    ASSERT_EQ(byBoth.size(), 1u);
    EXPECT_EQ(byBoth[0].serialNumber, "C");
    EXPECT_TRUE(enumerateUSBDevices(0, 0x1A2C, anyUsbId).empty());
}

TEST(DeviceEnumeration, KeepsListingOrderSkipsEmptySlotsAndNeverMerges) {
    FakeListingPlatform fake;
    fake.addUsb("USB\\VID_1A2B&PID_0006\\SAME", "/sys/a");
    fake.add(InterfaceClass::UsbDevice, std::nullopt);
    fake.addUsb("USB\\VID_1A2B&PID_0006\\SAME", "/sys/b");

    const auto selected = selectDevices(enumerateAll(), probeVendorId, probeIds);
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[0].devicePath, "/sys/a");
    EXPECT_EQ(selected[1].devicePath, "/sys/b");
}

TEST(DeviceEnumeration, ExaminesAtMost127Entries) {
    FakeListingPlatform fake;
    for (int i = 0; i < 200; ++i)
        fake.addUsb("USB\\VID_1A2B&PID_0006\\" + std::to_string(i));
    const auto records = enumerateAll();
    EXPECT_EQ(fake.lastMaxEntries(), 127);
    ASSERT_EQ(records.size(), 127u);
    EXPECT_EQ(records.back().serialNumber, "126");
}

TEST(DeviceEnumeration, KindChoosesClassAndIsStoredUnchanged) {
    FakeListingPlatform fake;
    fake.addUsb("USB\\VID_1A2B&PID_0006\\X");
    const auto unlisted = enumerateAll(7);
    EXPECT_EQ(fake.lastListedClass(), InterfaceClass::UsbDevice);
    ASSERT_EQ(unlisted.size(), 1u);
    EXPECT_EQ(unlisted[0].interfaceKind, 7u);

    enumerateAll(3);
    EXPECT_EQ(fake.lastListedClass(), InterfaceClass::Hid);

    std::set<InterfaceClass> classes;
    std::set<std::string> guids;
    for (uint32_t kind : {0u, 3u, 0x100u, 0x101u, 0x102u}) {
        classes.insert(interfaceKindFor(kind).interfaceClass);
        guids.insert(interfaceKindFor(kind).classGuid);
    }
    EXPECT_EQ(classes.size(), 5u);
    EXPECT_EQ(guids.size(), 5u);
}

TEST(DeviceEnumeration, HidDevicesRefineTheirTexts) {
    FakeListingPlatform fake;
    const auto addHid = [&](const std::string& path, const char* serial) {
        fake.add(InterfaceClass::Hid,
                 DeviceInterfaceNode{std::string("USB\\VID_1A2B&PID_0006\\") + serial, "Listed",
                                     "Listed", path});
    };
    addHid("/h/accented", "ID1");
    fake.answerHid("/h/accented", {u"Caf\u00e9", u"Probe", u"\u00e9x"});
    addHid("/h/wide", "ID2");
    fake.answerHid("/h/wide", {std::nullopt, std::nullopt, u"\u0100AB"});
    addHid("/h/empty", "ID3");
    fake.answerHid("/h/empty", {std::nullopt, std::nullopt, u""});
    addHid("/h/closed", "ID4");  // cannot be opened

    const auto records = enumerateAll(3);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].manufacturer, "Caf\xE9");
    EXPECT_EQ(records[0].deviceDescription, "Probe");
    EXPECT_EQ(records[0].serialNumber, "\xE9x");
    EXPECT_EQ(records[1].manufacturer, "Listed");  // failed query
    EXPECT_EQ(records[1].serialNumber, "ID2");     // first unit 0x100: not an 8-bit serial
    EXPECT_EQ(records[2].serialNumber, "");
    EXPECT_EQ(records[3].serialNumber, "ID4");
    EXPECT_EQ(records[3].manufacturer, "Listed");
}

TEST(DeviceEnumeration, GenericClassNeverAsksTheDevice) {
    FakeListingPlatform fake;
    fake.addUsb("USB\\VID_1A2B&PID_0006\\ID", "/h/x");
    fake.answerHid("/h/x", {u"M", u"P", u"S"});
    const auto records = enumerateAll(0);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].serialNumber, "ID");
    EXPECT_EQ(records[0].manufacturer, "");
}

TEST(Utf16Narrowing, KeepsLowBytesUpToZeroOrLimit) {
    const uint16_t text[] = {0x0041, 0x00E9, 0x0142, 0x0000, 0x0042};
    EXPECT_EQ(narrowUtf16(text, 5), "A\xE9\x42");
    EXPECT_EQ(narrowUtf16(text, 2), "A\xE9");
    const uint16_t unterminated[] = {0x0031, 0x0032};
    EXPECT_EQ(narrowUtf16(unterminated, 2), "12");
}

TEST(SelectDevices, VendorAndProductRules) {
    const std::vector<USBDeviceInfo> devices{device(probeVendorId, 6, "a"), device(0x0BDA, 3, "b"),
                                             device(probeVendorId, 7, "c"),
                                             device(probeVendorId, 16, "d")};
    const auto probes = selectDevices(devices, probeVendorId, probeIds);
    ASSERT_EQ(probes.size(), 2u);
    EXPECT_EQ(probes[0].serialNumber, "a");
    EXPECT_EQ(probes[1].serialNumber, "d");

    const auto anyVendor = selectDevices(devices, -1, probeIds);
    ASSERT_EQ(anyVendor.size(), 3u);
    EXPECT_EQ(anyVendor[1].serialNumber, "b");

    EXPECT_TRUE(selectDevices(devices, -1, {}).empty());
    EXPECT_TRUE(selectDevices(devices, probeVendorId, {-65530}).empty());
    EXPECT_EQ(devices.size(), 4u);
}
