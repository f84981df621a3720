// Instance identifiers as the platform lists them, and the rules that make and read them: any
// text must parse without harm; one composed from ids, a serial number and a port path must give
// back the ids, and the serial number exactly when it is one the identifier can carry; and a
// listing of such identifiers must enumerate and select to records that agree with the parse.
//
// Input: a mode byte, then the fields (or the whole text) from the rest.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceEnumeration.h"
#include "link/InstanceIdParsing.h"
#include "link/ProbeModels.h"
#include "platform/InstanceId.h"
#include "platform/Platform.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void fuzzParse(FuzzedDataProvider& input) {
    const std::string text = input.ConsumeRemainingBytesAsString();
    const auto parsed = parseInstanceId(text);
    const auto backslashes = std::count(text.begin(), text.end(), '\\');
    require(parsed.has_value() == (backslashes >= 2));
    if (parsed) {
        require(parsed->serialNumber.find('\\') == std::string::npos);
        require(parsed->serialNumber.size() < 2 || parsed->serialNumber[1] != '&');
    }
}

void fuzzRoundTrip(FuzzedDataProvider& input) {
    const auto vendorId = input.ConsumeIntegral<uint16_t>();
    const auto productId = input.ConsumeIntegral<uint16_t>();
    const std::string serial = input.ConsumeRandomLengthString(64);
    const std::string portPath = input.ConsumeRandomLengthString(32);
    const auto parsed =
        parseInstanceId(platform::composeInstanceId(vendorId, productId, serial, portPath));
    require(parsed.has_value());
    require(parsed->vendorId == vendorId && parsed->productId == productId);
    if (platform::isUsableSerial(serial))
        require(parsed->serialNumber == serial || (serial.size() >= 2 && serial[1] == '&'));
    else
        require(parsed->serialNumber.empty());
}

// A platform that lists the input as device interfaces; the devices themselves cannot be opened.
class ListingPlatform final : public platform::Platform {
public:
    explicit ListingPlatform(std::vector<std::optional<DeviceInterfaceNode>> listed)
        : nodes(std::move(listed)) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass,
                                                                   int maxEntries) override {
        auto listed = nodes;
        if (listed.size() > static_cast<std::size_t>(maxEntries))
            listed.resize(static_cast<std::size_t>(maxEntries));
        return listed;
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string&) override {
        return nullptr;
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string&) override {
        return nullptr;
    }

private:
    std::vector<std::optional<DeviceInterfaceNode>> nodes;
};

void fuzzEnumeration(FuzzedDataProvider& input) {
    std::vector<std::optional<DeviceInterfaceNode>> nodes;
    while (input.remaining_bytes() > 0 && nodes.size() < 200) {
        if (input.ConsumeIntegral<uint8_t>() == 0) {
            nodes.push_back(std::nullopt);
            continue;
        }
        DeviceInterfaceNode node;
        node.instanceId = input.ConsumeRandomLengthString(48);
        if (input.ConsumeBool())
            node.manufacturer = input.ConsumeRandomLengthString(16);
        node.devicePath = input.ConsumeRandomLengthString(16);
        nodes.push_back(std::move(node));
    }
    auto previous = platform::installPlatform(std::make_unique<ListingPlatform>(nodes));
    const uint32_t productFilter = nodes.size() % 3 == 0 ? anyUsbId : 6;
    const std::vector<USBDeviceInfo> records = enumerateUSBDevices(0, anyUsbId, productFilter);
    platform::installPlatform(std::move(previous));

    // Exactly one record for every readable entry among the first 127 whose identifier parses
    // and passes the filter, in listing order.
    std::size_t next = 0;
    for (std::size_t at = 0; at < nodes.size() && at < 127; ++at) {
        const auto parsed = nodes[at] ? parseInstanceId(nodes[at]->instanceId) : std::nullopt;
        if (!parsed || (productFilter != anyUsbId && parsed->productId != productFilter))
            continue;
        require(next < records.size());
        const USBDeviceInfo& record = records[next++];
        require(record.vendorId == parsed->vendorId && record.productId == parsed->productId &&
                record.serialNumber == parsed->serialNumber &&
                record.devicePath == nodes[at]->devicePath &&
                record.manufacturer == nodes[at]->manufacturer.value_or(""));
    }
    require(next == records.size());
    const std::vector<int32_t> productIds{3, 4, 5, 16, 6};
    for (const USBDeviceInfo& probe : selectDevices(records, probeVendorId, productIds))
        require(probe.vendorId == probeVendorId && std::find(productIds.begin(), productIds.end(),
                                                             probe.productId) != productIds.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            fuzzParse(input);
            break;
        case 1:
            fuzzRoundTrip(input);
            break;
        default:
            fuzzEnumeration(input);
            break;
    }
    return 0;
}
