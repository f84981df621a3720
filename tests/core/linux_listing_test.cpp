#include <gtest/gtest.h>

#include <map>

#include "platform/linux/UsbInterfaceNode.h"
#include "platform/linux/Utf8Widening.h"

using platform::composeUsbInterfaceNode;
using platform::parseSysfsUsbId;

namespace {

// The sysfs attributes of one usb_device.
platform::SysAttributeReader attributes(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        if (found == values.end())
            return std::nullopt;
        return found->second;
    };
}

}  // namespace

TEST(LinuxListing, ComposesIdentifierFromAttributes) {
    const auto node = composeUsbInterfaceNode(attributes({{"idVendor", "1a2b"},
                                                          {"idProduct", "0010"},
                                                          {"serial", "04020001"},
                                                          {"manufacturer", "Maker"}}),
                                              "1-2.3", "/sys/devices/pci0000:00/usb1/1-2/1-2.3");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->instanceId, "USB\\VID_1A2B&PID_0010\\04020001");
    EXPECT_EQ(node->manufacturer, "Maker");
    EXPECT_EQ(node->description, std::nullopt);
    EXPECT_EQ(node->devicePath, "/sys/devices/pci0000:00/usb1/1-2/1-2.3");
}

TEST(LinuxListing, UnusableSerialGivesMadeUpPart) {
    for (const char* serial : {"", "a\\b", "a,b", "tab\there"}) {
        SCOPED_TRACE(serial);
        const auto node = composeUsbInterfaceNode(
            attributes({{"idVendor", "1a2b"}, {"idProduct", "0006"}, {"serial", serial}}), "1-2.3",
            "/p");
        ASSERT_TRUE(node);
        EXPECT_EQ(node->instanceId, "USB\\VID_1A2B&PID_0006\\0&1-2.3");
    }
    const auto noSerial = composeUsbInterfaceNode(
        attributes({{"idVendor", "1a2b"}, {"idProduct", "6"}}), "2-1", "/p");
    ASSERT_TRUE(noSerial);
    EXPECT_EQ(noSerial->instanceId, "USB\\VID_1A2B&PID_0006\\0&2-1");
}

TEST(LinuxListing, UnreadableIdsMakeAnEmptySlot) {
    EXPECT_FALSE(composeUsbInterfaceNode(attributes({{"idProduct", "0006"}}), "1-1", "/p"));
    EXPECT_FALSE(composeUsbInterfaceNode(attributes({{"idVendor", "1a2b"}}), "1-1", "/p"));
    EXPECT_FALSE(composeUsbInterfaceNode(attributes({{"idVendor", "1a2bc"}, {"idProduct", "0006"}}),
                                         "1-1", "/p"));
}

TEST(LinuxListing, SysfsIdSyntax) {
    EXPECT_EQ(parseSysfsUsbId("1a2b"), 0x1A2B);
    EXPECT_EQ(parseSysfsUsbId("1A2B\n"), 0x1A2B);
    EXPECT_EQ(parseSysfsUsbId("6"), 6);
    for (const char* bad : {"", "\n", "12345", "1x2b", "-1", " 1a2b"})
        EXPECT_EQ(parseSysfsUsbId(bad), std::nullopt) << bad;
}

TEST(LinuxListing, WidensUtf8ForHidQueries) {
    EXPECT_EQ(platform::widenUtf8("Caf\xC3\xA9"), u"Caf\u00e9");
    EXPECT_EQ(platform::widenUtf8("\xE2\x82\xAC"), u"\u20ac");
    EXPECT_EQ(platform::widenUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    // Malformed: a stray continuation byte, an overlong '/', a truncated sequence, a surrogate.
    EXPECT_EQ(platform::widenUtf8("a\x80"
                                  "b"),
              u"a\ufffdb");
    EXPECT_EQ(platform::widenUtf8("\xC0\xAF"), u"\ufffd\ufffd");
    EXPECT_EQ(platform::widenUtf8("\xE2\x82"), u"\ufffd\ufffd");
    EXPECT_EQ(platform::widenUtf8("\xED\xA0\x80"), u"\ufffd\ufffd\ufffd");
}
