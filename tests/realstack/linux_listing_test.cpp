// The libudev lister and the hidraw strings against a made-up sysfs: a probe, an interface that
// is no device, a device whose ids cannot be read, and hidraw nodes on and off the USB bus.
#include <gtest/gtest.h>
#include <umockdev.h>

#include "link/DeviceEnumeration.h"
#include "platform/linux/LinuxPlatform.h"

using platform::InterfaceClass;

namespace {

const std::string probe = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
const std::string hidraw = probe + "/1-2:1.0/0003:1A2B:0006.0001/hidraw/hidraw0";

const char* const devices = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-2
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=1a2b
A: idProduct=0006
A: serial=1234abCD
H: manufacturer=436166C3A9
A: product=Osprey probe

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface

P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1A2B:0006.0001/hidraw/hidraw0
N: hidraw0
E: DEVNAME=/dev/hidraw0
E: SUBSYSTEM=hidraw

P: /devices/pci0000:00/0000:00:14.0/usb1/1-4
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idProduct=0003

P: /devices/platform/i2c-hid/0018:04F3:3087.0002/hidraw/hidraw1
N: hidraw1
E: SUBSYSTEM=hidraw
)";

struct LinuxListing : ::testing::Test {
    UMockdevTestbed* testbed = umockdev_testbed_new();
    void SetUp() override {
        ASSERT_TRUE(umockdev_in_mock_environment());
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, devices, nullptr));
    }
    ~LinuxListing() override { g_object_unref(testbed); }
};

}  // namespace

TEST_F(LinuxListing, UsbDevicesAreListedWithTheirIdsSerialAndTexts) {
    const auto slots = platform::linuxListInterfaces(InterfaceClass::UsbDevice, 127);
    ASSERT_EQ(slots.size(), 2u);  // the interface is no device
    ASSERT_TRUE(slots[0]);
    EXPECT_EQ(slots[0]->instanceId, "USB\\VID_1A2B&PID_0006\\1234abCD");
    EXPECT_EQ(slots[0]->manufacturer, "Caf\xC3\xA9");
    EXPECT_EQ(slots[0]->description, "Osprey probe");
    EXPECT_EQ(slots[0]->devicePath, probe);
    EXPECT_FALSE(slots[1]);  // no idVendor: an empty slot
    EXPECT_EQ(platform::linuxListInterfaces(InterfaceClass::UsbDevice, 1).size(), 1u);
}

TEST_F(LinuxListing, HidrawNodesOfUsbDevicesAnswerWithTheirDevicesStrings) {
    const auto slots = platform::linuxListInterfaces(InterfaceClass::Hid, 127);
    ASSERT_EQ(slots.size(), 1u);  // hidraw1 sits on I2C
    EXPECT_EQ(slots[0]->instanceId, "USB\\VID_1A2B&PID_0006\\1234abCD");
    EXPECT_EQ(slots[0]->devicePath, hidraw);
    const auto records = enumerateUSBDevices(3, anyUsbId, anyUsbId);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].manufacturer + "/" + records[0].deviceDescription, "Caf\xE9/Osprey probe");
    EXPECT_EQ(records[0].serialNumber, "1234abCD");
    // An answer is cut to the buffer, and always terminated.
    const auto hid = platform::linuxOpenHidDevice(hidraw);
    uint16_t tiny[3] = {0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_TRUE(hid->serialNumberString(tiny, sizeof tiny));
    EXPECT_EQ(std::u16string(tiny, tiny + 3), std::u16string(u"12") + u'\0');
    EXPECT_TRUE(hid->serialNumberString(tiny, 2) && tiny[0] == 0);  // room for the end alone
    EXPECT_FALSE(platform::linuxOpenHidDevice(probe));              // no hidraw node
}
