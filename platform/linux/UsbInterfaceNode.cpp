#include "platform/linux/UsbInterfaceNode.h"

#include <cctype>

#include "platform/InstanceId.h"

namespace platform {

std::optional<uint16_t> parseSysfsUsbId(const std::string& text) {
    std::string::size_type end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    if (end == 0 || end > 4)
        return std::nullopt;
    unsigned value = 0;
    for (std::string::size_type i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c))
            return std::nullopt;
        value = value * 16 +
                static_cast<unsigned>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return static_cast<uint16_t>(value);
}

std::optional<DeviceInterfaceNode> composeUsbInterfaceNode(const SysAttributeReader& attribute,
                                                           const std::string& portPath,
                                                           const std::string& devicePath) {
    const auto vendorText = attribute("idVendor");
    const auto productText = attribute("idProduct");
    const auto vendorId = vendorText ? parseSysfsUsbId(*vendorText) : std::nullopt;
    const auto productId = productText ? parseSysfsUsbId(*productText) : std::nullopt;
    if (!vendorId || !productId)
        return std::nullopt;
    DeviceInterfaceNode node;
    node.instanceId =
        composeInstanceId(*vendorId, *productId, attribute("serial").value_or(""), portPath);
    node.manufacturer = attribute("manufacturer");
    node.description = attribute("product");
    node.devicePath = devicePath;
    return node;
}

}  // namespace platform
