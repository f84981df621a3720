// The pure parts of the Linux backend: listing entries from sysfs attributes, the UTF-8 that
// sysfs holds widened for HID answers, and the usbdevfs node of a sysfs device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UsbDeviceNode.h"
#include "platform/linux/UsbInterfaceNode.h"
#include "platform/linux/Utf8Widening.h"

namespace {

platform::SysAttributeReader attributes(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    };
}

// A sysfs device directory holding the two numbers the node is made of.
std::optional<std::string> nodeOf(const char* busnum, const char* devnum) {
    const auto path =
        std::filesystem::temp_directory_path() / ("vx-sysfs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    std::ofstream(path / "busnum") << busnum;
    if (devnum)
        std::ofstream(path / "devnum") << devnum;
    auto node = platform::usbDeviceNodeOf(path.string());
    std::filesystem::remove_all(path);
    return node;
}

}  // namespace

TEST(LinuxListing, EntryFromTheUsbDevicesAttributes) {
    const auto entry = platform::composeUsbInterfaceNode(
        attributes({{"idVendor", "1a2b"}, {"idProduct", "0010\n"}, {"manufacturer", "Maker"}}),
        "1-2.3", "/sys/devices/usb1/1-2/1-2.3");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->instanceId + " " + entry->manufacturer.value_or("-") + " " +
                  entry->description.value_or("-") + " " + entry->devicePath,
              "USB\\VID_1A2B&PID_0010\\0&1-2.3 Maker - /sys/devices/usb1/1-2/1-2.3");
    const auto serial = platform::composeUsbInterfaceNode(
        attributes({{"idVendor", "1A2B"}, {"idProduct", "6"}, {"serial", "S1"}}), "1-1", "/p");
    EXPECT_EQ(serial->instanceId, "USB\\VID_1A2B&PID_0006\\S1");
    // Without both ids the entry is an empty slot.
    EXPECT_FALSE(platform::composeUsbInterfaceNode(attributes({{"idProduct", "6"}}), "1-1", "/p"));
    EXPECT_FALSE(platform::composeUsbInterfaceNode(attributes({{"idVendor", "6"}}), "1-1", "/p"));
    for (const char* id : {"", "\n", "1a2bc", "1x2b", " 1a2b"})
        EXPECT_FALSE(platform::parseSysfsUsbId(id)) << id;
}

TEST(LinuxListing, WidensUtf8ForHidAnswers) {
    using namespace std::string_literals;
    // Well-formed, then malformed (a stray continuation byte, overlong forms, a cut sequence, a
    // surrogate, past the last code point), then either side of the surrogates and the last
    // code point: private use, and kept.
    // clang-format off
    const std::pair<std::string, std::u16string> cases[] = {
        {"Caf\xC3\xA9\0"s, u"Caf\u00e9\0"s}, {"\xE0\xA0\x80\xE2\x82\xAC", u"\u0800\u20ac"},
        {"\xF0\x90\x80\x80\xF0\x9F\x98\x80", u"\U00010000\U0001F600"}, {"a\x80z", u"a\ufffdz"},
        {"\xC0\xAF\xE0\x9F\xBF", u"\ufffd\ufffd\ufffd\ufffd\ufffd"}, {"\xE2\x82", u"\ufffd\ufffd"},
        {"\xED\xA0\x80", u"\ufffd\ufffd\ufffd"}, {"\xF4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},
        {"\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", u"\ud7ff\ue000\U0010FFFF"}};
    // clang-format on
    for (const auto& [utf8, wide] : cases)
        EXPECT_EQ(platform::widenUtf8(utf8), wide) << utf8;
}

TEST(LinuxUsbDevice, NodeFromBusAndDeviceNumbersAndNoneWithoutADevice) {
    EXPECT_EQ(nodeOf("3\n", "17\n"), "/dev/bus/usb/003/017");
    EXPECT_EQ(nodeOf("1\n", "x7\n"), std::nullopt);
    EXPECT_EQ(nodeOf("1\n", "1000\n"), std::nullopt);
    EXPECT_EQ(nodeOf("1\n", "0\n"), std::nullopt);
    EXPECT_EQ(nodeOf("1\n", nullptr), std::nullopt);
    EXPECT_EQ(platform::linuxOpenUsbDevice("/sys/devices/vx-no-such-device/1-9"), nullptr);
}
