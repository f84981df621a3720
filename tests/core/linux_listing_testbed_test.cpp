// The libudev lister against the made-up sysfs of tests/scripts/linux_listing_testbed.sh. Outside
// that testbed these tests skip: the real machine's devices are no fixed ground to test on.

#include <gtest/gtest.h>

#include <cstdlib>

#include "link/DeviceEnumeration.h"
#include "platform/linux/LinuxPlatform.h"

using platform::InterfaceClass;

namespace {

const std::string usbBus = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
const std::string hidraw0 = usbBus + "/1-2/1-2:1.0/0003:1A2B:0006.0001/hidraw/hidraw0";

class LinuxListingTestbed : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("UMOCKDEV_DIR"))
            GTEST_SKIP() << "runs only inside the umockdev testbed";
        previous = platform::installPlatform(std::make_unique<platform::LinuxPlatform>());
    }
    void TearDown() override {
        if (std::getenv("UMOCKDEV_DIR"))
            platform::installPlatform(std::move(previous));
    }

private:
    std::unique_ptr<platform::Platform> previous;
};

std::u16string queryText(bool (platform::HidDevice::*query)(uint16_t*, std::size_t),
                         platform::HidDevice& device) {
    uint16_t buffer[64] = {};
    if (!(device.*query)(buffer, sizeof buffer))
        return u"<failed>";
    std::u16string text;
    for (std::size_t i = 0; buffer[i] != 0; ++i)
        text.push_back(static_cast<char16_t>(buffer[i]));
    return text;
}

}  // namespace

TEST_F(LinuxListingTestbed, ListsUsbDevicesOnly) {
    const auto slots = platform::linuxListInterfaces(InterfaceClass::UsbDevice, 127);
    ASSERT_EQ(slots.size(), 3u);  // the interface 1-2:1.0 is no device
    ASSERT_TRUE(slots[0]);
    EXPECT_EQ(slots[0]->instanceId, "USB\\VID_1A2B&PID_0006\\1234abCD");
    EXPECT_EQ(slots[0]->manufacturer, "Caf\xC3\xA9");
    EXPECT_EQ(slots[0]->description, "Osprey probe");
    EXPECT_EQ(slots[0]->devicePath, usbBus + "/1-2");
    ASSERT_TRUE(slots[1]);
    EXPECT_EQ(slots[1]->instanceId, "USB\\VID_1A2B&PID_0010\\0&1-3.1");
    EXPECT_EQ(slots[1]->manufacturer, std::nullopt);
    EXPECT_FALSE(slots[2]);  // no idVendor: an empty slot

    EXPECT_EQ(platform::linuxListInterfaces(InterfaceClass::UsbDevice, 1).size(), 1u);
    EXPECT_TRUE(platform::linuxListInterfaces(InterfaceClass::Extra1, 127).empty());
}

TEST_F(LinuxListingTestbed, ListsHidrawNodesOfUsbDevices) {
    const auto slots = platform::linuxListInterfaces(InterfaceClass::Hid, 127);
    ASSERT_EQ(slots.size(), 1u);  // hidraw1 sits on I2C
    ASSERT_TRUE(slots[0]);
    EXPECT_EQ(slots[0]->instanceId, "USB\\VID_1A2B&PID_0006\\1234abCD");
    EXPECT_EQ(slots[0]->devicePath, hidraw0);
}

TEST_F(LinuxListingTestbed, HidDeviceAnswersFromItsUsbDevice) {
    const auto device = platform::linuxOpenHidDevice(hidraw0);
    ASSERT_TRUE(device);
    EXPECT_EQ(queryText(&platform::HidDevice::manufacturerString, *device), u"Caf\u00e9");
    EXPECT_EQ(queryText(&platform::HidDevice::productString, *device), u"Osprey probe");
    EXPECT_EQ(queryText(&platform::HidDevice::serialNumberString, *device), u"1234abCD");

    uint16_t tiny[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    ASSERT_TRUE(device->serialNumberString(tiny, sizeof tiny));
    EXPECT_EQ(tiny[1], u'2');
    EXPECT_EQ(tiny[2], 0);

    EXPECT_FALSE(platform::linuxOpenHidDevice(usbBus + "/1-2"));  // not a hidraw node
    EXPECT_FALSE(platform::linuxOpenHidDevice(usbBus + "/9-9"));
}

TEST_F(LinuxListingTestbed, EnumeratesThroughThePlatform) {
    const auto all = enumerateUSBDevices(0, anyUsbId, anyUsbId);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].productId, 0x10);
    EXPECT_EQ(all[1].serialNumber, "");

    const auto hid = enumerateUSBDevices(3, anyUsbId, anyUsbId);
    ASSERT_EQ(hid.size(), 1u);
    EXPECT_EQ(hid[0].manufacturer, "Caf\xE9");  // narrowed from the device's UTF-16 answer
    EXPECT_EQ(hid[0].interfaceKind, 3u);
}
