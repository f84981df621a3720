#include "link/DeviceEnumeration.h"

#include <algorithm>
#include <array>

#include "link/InstanceIdParsing.h"
#include "link/InterfaceKinds.h"
#include "link/Utf16Narrowing.h"

namespace {

// The platform listing examines no more entries than this.
constexpr int maxListedInterfaces = 127;

bool passes(uint32_t filter, uint16_t id) {
    return filter == anyUsbId || filter == id;
}

// Replaces the listed texts with what the HID device itself answers. All three queries share one
// buffer of 512 UTF-16 units, cleared before each so that a query cannot leave an earlier answer
// behind. A serial number whose first unit is 0x100 or above is no 8-bit text, and the one from
// the instance identifier stays.
void refineFromHidDevice(platform::Platform& platform, USBDeviceInfo& record) {
    const auto device = platform.openHidDevice(record.devicePath);
    if (!device)
        return;
    std::array<uint16_t, 512> buffer;
    const std::size_t bytes = buffer.size() * sizeof(uint16_t);

    buffer.fill(0);
    if (device->manufacturerString(buffer.data(), bytes))
        record.manufacturer = narrowUtf16(buffer.data(), buffer.size());
    buffer.fill(0);
    if (device->productString(buffer.data(), bytes))
        record.deviceDescription = narrowUtf16(buffer.data(), buffer.size());
    buffer.fill(0);
    if (device->serialNumberString(buffer.data(), bytes) && buffer[0] < 0x100)
        record.serialNumber = narrowUtf16(buffer.data(), buffer.size());
}

}  // namespace

std::vector<DeviceInterfaceNode> listDeviceInterfaces(platform::Context context,
                                                      platform::InterfaceClass cls) {
    std::vector<DeviceInterfaceNode> nodes;
    for (auto& slot : context.platform.listInterfaces(cls, maxListedInterfaces)) {
        if (slot)
            nodes.push_back(std::move(*slot));
    }
    return nodes;
}

std::vector<USBDeviceInfo> enumerateUSBDevices(platform::Context context, uint32_t kind,
                                               uint32_t vendorFilter, uint32_t productFilter) {
    const platform::InterfaceClass cls = interfaceKindFor(kind).interfaceClass;
    std::vector<USBDeviceInfo> records;
    for (auto& node : listDeviceInterfaces(context, cls)) {
        auto ids = parseInstanceId(node.instanceId);
        if (!ids || !passes(vendorFilter, ids->vendorId) || !passes(productFilter, ids->productId))
            continue;
        USBDeviceInfo record;
        record.vendorId = ids->vendorId;
        record.productId = ids->productId;
        record.serialNumber = std::move(ids->serialNumber);
        record.manufacturer = node.manufacturer.value_or("");
        record.deviceDescription = node.description.value_or("");
        record.interfaceKind = kind;
        record.devicePath = std::move(node.devicePath);
        if (cls == platform::InterfaceClass::Hid)
            refineFromHidDevice(context.platform, record);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<USBDeviceInfo> enumerateUSBDevices(uint32_t kind, uint32_t vendorFilter,
                                               uint32_t productFilter) {
    return enumerateUSBDevices(platform::systemContext(), kind, vendorFilter, productFilter);
}

std::vector<USBDeviceInfo> selectDevices(const std::vector<USBDeviceInfo>& devices,
                                         int32_t vendorId, const std::vector<int32_t>& productIds) {
    std::vector<USBDeviceInfo> selected;
    for (const auto& device : devices) {
        const bool vendorMatches = vendorId < 0 || device.vendorId == vendorId;
        const bool productMatches =
            std::any_of(productIds.begin(), productIds.end(), [&](int32_t productId) {
                return static_cast<uint32_t>(productId) == uint32_t{device.productId};
            });
        if (vendorMatches && productMatches)
            selected.push_back(device);
    }
    return selected;
}
