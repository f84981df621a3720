#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/InterfaceClassGuids.h"
#include "platform/windows/ClassGuid.h"
#include "platform/windows/WindowsPlatform.h"

namespace platform {

namespace {

struct InfoSetRelease {
    const SystemApi* api;
    void operator()(void* set) const { api->destroyDeviceInfoList(set); }
};

// A registry property of the device as NUL-terminated 8-bit text: first its size, then the
// text. Absent when it has no size or cannot be read.
std::optional<std::string> propertyText(const SystemApi& api, HDEVINFO set, SP_DEVINFO_DATA& device,
                                        DWORD property) {
    DWORD size = 0;
    api.getDeviceRegistryProperty(set, &device, property, nullptr, nullptr, 0, &size);
    if (size == 0)
        return std::nullopt;
    // One byte more than asked for, so that the text ends even when the system's does not.
    std::vector<BYTE> buffer(std::size_t{size} + 1, 0);
    if (!api.getDeviceRegistryProperty(set, &device, property, nullptr, buffer.data(), size,
                                       nullptr))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

// The interface's detail (its path) and its device's instance identifier and properties; absent
// when the detail cannot be read.
std::optional<DeviceInterfaceNode> readInterface(const SystemApi& api, HDEVINFO set,
                                                 SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    api.getDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &required, nullptr);
    constexpr std::size_t pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    if (required <= pathOffset)
        return std::nullopt;
    // Whole DWORDs keep the record aligned; the spare ones keep the path terminated even when
    // the system fills the buffer to its last byte.
    std::vector<DWORD> storage(required / sizeof(DWORD) + 2, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!api.getDeviceInterfaceDetail(set, &interfaceData, detail, required, nullptr, &device))
        return std::nullopt;

    DeviceInterfaceNode node;
    node.devicePath = reinterpret_cast<const char*>(storage.data()) + pathOffset;
    // At most 99 characters and the NUL; one that cannot be read stays empty, and enumeration
    // then passes the interface over.
    char instanceId[100] = {};
    if (api.getDeviceInstanceId(set, &device, instanceId, sizeof instanceId, nullptr))
        node.instanceId.assign(instanceId, strnlen(instanceId, sizeof instanceId));
    node.manufacturer = propertyText(api, set, device, SPDRP_MFG);
    node.description = propertyText(api, set, device, SPDRP_DEVICEDESC);
    return node;
}

}  // namespace

std::vector<std::optional<DeviceInterfaceNode>> windowsListInterfaces(const SystemApi& api,
                                                                      InterfaceClass cls,
                                                                      int maxEntries) {
    std::vector<std::optional<DeviceInterfaceNode>> entries;
    const std::optional<GUID> guid = guidFromText(interfaceClassGuid(cls));
    if (!guid || maxEntries <= 0)
        return entries;
    const HDEVINFO set =
        api.getClassDevs(&*guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return entries;
    const std::unique_ptr<void, InfoSetRelease> owner(set, InfoSetRelease{&api});

    // Every index tried counts against the bound, whether it can be read or not.
    for (DWORD index = 0; index < static_cast<DWORD>(maxEntries); ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!api.enumDeviceInterfaces(set, nullptr, &*guid, index, &interfaceData)) {
            if (api.getLastError() == ERROR_NO_MORE_ITEMS)
                break;
            entries.emplace_back();
            continue;
        }
        entries.push_back(readInterface(api, set, interfaceData));
    }
    return entries;
}

}  // namespace platform
