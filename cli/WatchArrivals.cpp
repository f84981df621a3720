#include "cli/WatchArrivals.h"

#include <set>

namespace cli {

std::vector<USBDeviceInfo> WatchArrivals::arrivals(const std::vector<USBDeviceInfo>& listed) {
    std::set<std::string> present;
    std::vector<USBDeviceInfo> arrived;
    for (const USBDeviceInfo& device : listed) {
        if (!present.insert(device.serialNumber).second)
            continue;
        if (known.emplace(device.serialNumber, false).second)
            arrived.push_back(device);
    }
    std::erase_if(
        known, [&](const auto& entry) { return !entry.second && !present.contains(entry.first); });
    return arrived;
}

void WatchArrivals::started(const std::string& serial) {
    known[serial] = true;
}

void WatchArrivals::ended(const std::string& serial) {
    if (const auto entry = known.find(serial); entry != known.end())
        entry->second = false;
}

}  // namespace cli
