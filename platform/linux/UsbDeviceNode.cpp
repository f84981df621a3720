#include "platform/linux/UsbDeviceNode.h"

#include <charconv>
#include <cstdio>
#include <fstream>

namespace platform {

namespace {

// A sysfs number attribute: decimal digits and a trailing newline.
std::optional<int> readNumberAttribute(const std::string& directory, const char* name) {
    std::ifstream file(directory + "/" + name);
    std::string text;
    if (!file || !std::getline(file, text))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 999)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> usbDeviceNodeOf(const std::string& sysfsPath) {
    const auto bus = readNumberAttribute(sysfsPath, "busnum");
    const auto address = readNumberAttribute(sysfsPath, "devnum");
    if (!bus || !address)
        return std::nullopt;
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", *bus, *address);
    return std::string(node);
}

}  // namespace platform
