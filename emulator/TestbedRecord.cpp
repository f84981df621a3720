#include "emulator/TestbedRecord.h"

#include <cstdio>
#include <span>

namespace emulator {

namespace {

constexpr std::string_view kSysfsRoot = "/sys";

std::string upperHex(std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

std::string textAttribute(const char* name, const std::string& value) {
    const std::string line = value + "\n";
    return std::string("H: ") + name + "=" +
           upperHex({reinterpret_cast<const uint8_t*>(line.data()), line.size()}) + "\n";
}

template <typename... Numbers>
std::string formatted(const char* format, Numbers... numbers) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(numbers)...);
    return text;
}

}  // namespace

std::string usbNodePath(int busnum, int devnum) {
    return "/dev/bus/usb/" +
           formatted("%03u/%03u", static_cast<unsigned>(busnum), static_cast<unsigned>(devnum));
}

std::string testbedRecord(const UsbDeviceEntry& entry) {
    const sim::DeviceDescriptor& d = entry.descriptor;
    std::string devpath = entry.sysfsPath;
    if (devpath.starts_with(kSysfsRoot))
        devpath.erase(0, kSysfsRoot.size());
    const std::string node = usbNodePath(entry.busnum, entry.devnum);
    const auto bus = static_cast<unsigned>(entry.busnum);
    const auto dev = static_cast<unsigned>(entry.devnum);

    std::string record = "P: " + devpath + "\n";
    record += "N: " + node.substr(std::string_view("/dev/").size()) + "=" +
              upperHex(entry.descriptors) + "\n";
    record += "E: DEVNAME=" + node + "\n";
    record += "E: DEVTYPE=usb_device\n";
    record += "E: SUBSYSTEM=usb\n";
    record += "E: BUSNUM=" + formatted("%03u", bus) + "\n";
    record += "E: DEVNUM=" + formatted("%03u", dev) + "\n";
    record += "E: PRODUCT=" + formatted("%x/%x/100", d.vendorId, d.productId) + "\n";
    record += "A: idVendor=" + formatted("%04x", d.vendorId) + "\n";
    record += "A: idProduct=" + formatted("%04x", d.productId) + "\n";
    record += "A: bcdDevice=0100\n";
    record += "A: busnum=" + formatted("%u", bus) + "\n";
    record += "A: devnum=" + formatted("%u", dev) + "\n";
    record += "A: speed=12\n";
    record += "A: bConfigurationValue=1\n";
    record += "A: bNumConfigurations=1\n";
    if (d.manufacturer)
        record += textAttribute("manufacturer", *d.manufacturer);
    if (d.product)
        record += textAttribute("product", *d.product);
    if (!d.serial.empty())
        record += textAttribute("serial", d.serial);
    record += "H: descriptors=" + upperHex(entry.descriptors) + "\n";
    return record;
}

}  // namespace emulator
