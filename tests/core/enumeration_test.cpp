// Finding probes: instance identifiers made and read, records built from what the platform
// lists (and, for HID devices, from what the device answers), and the selection of our probes.
#include <gtest/gtest.h>

#include <cstdio>

#include "link/DeviceEnumeration.h"
#include "link/InstanceIdParsing.h"
#include "platform/InstanceId.h"
#include "tests/support/ScriptedUsb.h"

using platform::InterfaceClass;

namespace {

std::vector<USBDeviceInfo> enumerateAll(scripted::ScriptedUsb& usb, uint32_t kind = 0) {
    return enumerateUSBDevices(usb.context(), kind, anyUsbId, anyUsbId);
}

DeviceInterfaceNode node(const std::string& instanceId, const std::string& path = "/sys/x") {
    return {instanceId, "Listed", "Listed", path};
}

}  // namespace

TEST(InstanceId, ComposedIdentifiersCarryOnlySerialsTheyCanHold) {
    for (const char* serial : {"04020001", " ", "~", "A b"})
        EXPECT_EQ(platform::composeInstanceId(0x1A2B, 0x10, serial, "1-2"),
                  std::string("USB\\VID_1A2B&PID_0010\\") + serial);
    for (const char* serial : {"", "a\\b", "a,b", "tab\there", "\x1f", "\x7f", "caf\xe9"})
        EXPECT_EQ(platform::composeInstanceId(0x1A2B, 6, serial, "1-2.3"),
                  "USB\\VID_1A2B&PID_0006\\0&1-2.3")
            << serial;
}

TEST(InstanceId, IdsComeFromTheSecondComponentAndTheSerialFromTheThird) {
    const std::pair<const char*, const char*> cases[] = {
        {"USB\\vid_1a2b&pid_00ef\\X", "1a2b:00ef X"},
        {"USB\\VID_1A2B&PID_00EF\\1234abCD", "1a2b:00ef 1234abCD"},
        {"USB\\ROOT_HUB30", "none"},
        {"USB\\VID_1A2B&PID_0006\\5&2c0a&0&3", "1a2b:0006 "},  // made up by the platform
        {"USB\\VID_1A2B&PID_0006\\0&", "1a2b:0006 "},
        {"USB\\VID_1A2B&PID_0006\\", "1a2b:0006 "},
        {"USB\\VID_1A2B&PID_0006\\AB\\C", "1a2b:0006 AB"},
        {"USB\\VID_12\\X", "0000:0000 X"},  // four digits or none
        {"USB\\VID_12&PID_0006\\X", "0012:0006 X"},
        {"USB\\PID_0006&VID_1A2B\\X", "1a2b:0006 X"},
        {"USB\\VID_GGGG&PID_0006\\X", "0000:0006 X"},
    };
    for (const auto& [instanceId, expected] : cases) {
        const auto parsed = parseInstanceId(instanceId);
        char text[64] = "none";
        if (parsed)
            std::snprintf(text, sizeof text, "%04x:%04x %s", parsed->vendorId, parsed->productId,
                          parsed->serialNumber.c_str());
        EXPECT_STREQ(text, expected) << instanceId;
    }
}

TEST(Enumeration, RecordsKeepTheListingOrderSkipEmptySlotsAndStopAt127Entries) {
    scripted::ScriptedUsb usb;
    usb.list(DeviceInterfaceNode{"USB\\VID_1A2B&PID_0006\\1234abCD", "Maker", std::nullopt,
                                 "/sys/devices/usb1/1-2"});
    usb.list(std::nullopt);
    usb.list(node("USB\\VID_0BDA&PID_0006\\B"));
    usb.list(node("USB\\ROOT_HUB30"));
    usb.list(node("USB\\VID_1A2B&PID_0007\\C"));  // of the vendor, but of no product asked for
    const auto records = enumerateAll(usb);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0],
              (USBDeviceInfo{0x1A2B, 6, "1234abCD", "Maker", "", 0, "/sys/devices/usb1/1-2"}));
    EXPECT_EQ(selectDevices(records, 0x1A2B, {3, 6}), std::vector<USBDeviceInfo>{records[0]});
    EXPECT_EQ(enumerateUSBDevices(usb.context(), 0, 0x0BDA, anyUsbId).at(0).serialNumber, "B");
    EXPECT_EQ(enumerateUSBDevices(usb.context(), 0, 0x1A2B, 6).size(), 1u);
    EXPECT_TRUE(enumerateUSBDevices(usb.context(), 0, 0x1A2B, 3).empty());
    for (int i = 0; i < 200; ++i)
        usb.list(node("USB\\VID_1A2B&PID_0006\\" + std::to_string(i)));
    EXPECT_EQ(enumerateAll(usb).back().serialNumber, "121");  // the 127th entry
}

TEST(Enumeration, HidDevicesAnswerForThemselves) {
    scripted::ScriptedUsb usb;
    usb.answerHid("/h/accented", {u"Caf\u00e9", u"Probe", u"\u00e9x"});
    usb.answerHid("/h/wide", {std::nullopt, std::nullopt, u"\u0100AB"});  // no 8-bit serial
    usb.answerHid("/h/empty", {std::nullopt, std::nullopt, u""});
    for (const char* path : {"/h/accented", "/h/wide", "/h/empty", "/h/closed"})
        usb.list(node("HID\\VID_1A2B&PID_0006\\ID", path), InterfaceClass::Hid);
    std::string texts;
    for (const USBDeviceInfo& record : enumerateAll(usb, 3))
        texts +=
            record.manufacturer + "/" + record.deviceDescription + "/" + record.serialNumber + " ";
    EXPECT_EQ(texts, "Caf\xE9/Probe/\xE9x Listed/Listed/ID Listed/Listed/ Listed/Listed/ID ");
    // The generic class never asks a device.
    usb.list(node("USB\\VID_1A2B&PID_0006\\ID", "/h/accented"));
    EXPECT_EQ(enumerateAll(usb).at(0).manufacturer, "Listed");
}
