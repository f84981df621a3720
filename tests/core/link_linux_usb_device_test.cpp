#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UsbDeviceNode.h"

namespace {

// A stand-in for a sysfs device directory holding the two attributes the node is built from.
class FakeSysfsDevice {
public:
    FakeSysfsDevice(const char* busnum, const char* devnum)
        : path(std::filesystem::temp_directory_path() /
               ("vx-sysfs-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path);
        std::ofstream(path / "busnum") << busnum;
        std::ofstream(path / "devnum") << devnum;
    }
    ~FakeSysfsDevice() { std::filesystem::remove_all(path); }
    std::string str() const { return path.string(); }

private:
    std::filesystem::path path;
};

}  // namespace

TEST(LinuxUsbDevice, NodeComesFromBusAndDeviceNumbers) {
    using platform::usbDeviceNodeOf;
    EXPECT_EQ(usbDeviceNodeOf(FakeSysfsDevice("3\n", "17\n").str()), "/dev/bus/usb/003/017");
    EXPECT_EQ(usbDeviceNodeOf(FakeSysfsDevice("1\n", "x7\n").str()), std::nullopt);
    EXPECT_EQ(usbDeviceNodeOf(FakeSysfsDevice("1\n", "1000\n").str()), std::nullopt);
}

TEST(LinuxUsbDevice, PathsThatDoNotLeadToAnOpenableDeviceGiveNone) {
    EXPECT_EQ(platform::linuxOpenUsbDevice("/sys/devices/vx-no-such-device/1-9"), nullptr);
    EXPECT_EQ(platform::linuxOpenUsbDevice(FakeSysfsDevice("999\n", "999\n").str()), nullptr);
}
