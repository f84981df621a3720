#include "emulator/UsbDescriptors.h"

#include <map>

#include "platform/linux/Utf8Widening.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"

namespace emulator {

namespace {

constexpr uint8_t kDeviceType = 1;
constexpr uint8_t kConfigurationType = 2;
constexpr uint8_t kStringType = 3;
constexpr uint8_t kInterfaceType = 4;
constexpr uint8_t kEndpointType = 5;
constexpr uint8_t kDeviceLength = 18;
constexpr uint8_t kConfigurationLength = 9;
constexpr uint8_t kInterfaceLength = 9;
constexpr uint8_t kEndpointLength = 7;
constexpr uint8_t kVendorClass = 0xFF;
constexpr uint8_t kBulk = 2;
constexpr uint16_t kPacketSize = 64;  // full speed, as the virtual probes' faces packetise
constexpr uint16_t kUsEnglish = 0x0409;
constexpr std::size_t kMaxStringCharacters = 126;  // a descriptor's length is one byte

void put16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

// Every endpoint address a full-speed device may use besides the default pipe.
std::vector<uint8_t> candidateEndpoints() {
    std::vector<uint8_t> addresses;
    for (uint8_t number = 1; number <= 15; ++number) {
        addresses.push_back(number);
        addresses.push_back(static_cast<uint8_t>(0x80 | number));
    }
    return addresses;
}

}  // namespace

std::vector<InterfaceLayout> interfacesOf(const sim::VirtualDevice& device) {
    const auto* probe = dynamic_cast<const sim::VirtualProbe*>(&device);
    if (!probe)
        return {InterfaceLayout{}};
    sim::VirtualBus scratchBus(platform::steadyClock());  // nothing here waits
    const std::string path =
        scratchBus.attach(sim::makeProbe(probe->variant().productId, "scratch"));
    const std::unique_ptr<platform::UsbDevice> handle = scratchBus.openUsbDevice(path);
    std::map<int, InterfaceLayout> byNumber;
    for (const uint8_t endpoint : candidateEndpoints()) {
        const int number = handle ? handle->interfaceOfEndpoint(endpoint) : -1;
        if (number < 0 || number > 0xFF)
            continue;
        InterfaceLayout& layout = byNumber[number];
        layout.number = static_cast<uint8_t>(number);
        layout.endpoints.push_back(endpoint);
    }
    if (byNumber.empty())
        return {InterfaceLayout{}};  // a device has at least one interface, if an idle one
    std::vector<InterfaceLayout> layouts;
    layouts.reserve(byNumber.size());
    for (auto& [number, layout] : byNumber)
        layouts.push_back(std::move(layout));
    return layouts;
}

StringIndices stringIndicesOf(const sim::DeviceDescriptor& descriptor) {
    return {descriptor.manufacturer ? uint8_t{1} : uint8_t{0},
            descriptor.product ? uint8_t{2} : uint8_t{0},
            descriptor.serial.empty() ? uint8_t{0} : uint8_t{3}};
}

std::vector<uint8_t> usbDescriptors(const sim::DeviceDescriptor& descriptor,
                                    const std::vector<InterfaceLayout>& interfaces) {
    const StringIndices strings = stringIndicesOf(descriptor);
    std::vector<uint8_t> bytes{kDeviceLength, kDeviceType};
    put16(bytes, 0x0200);
    bytes.insert(bytes.end(), {0, 0, 0, static_cast<uint8_t>(kPacketSize)});
    put16(bytes, descriptor.vendorId);
    put16(bytes, descriptor.productId);
    put16(bytes, 0x0100);
    bytes.insert(bytes.end(), {strings.manufacturer, strings.product, strings.serial, 1});

    std::size_t total = kConfigurationLength;
    for (const InterfaceLayout& layout : interfaces)
        total += kInterfaceLength + kEndpointLength * layout.endpoints.size();
    bytes.insert(bytes.end(), {kConfigurationLength, kConfigurationType});
    put16(bytes, static_cast<uint16_t>(total));
    bytes.insert(bytes.end(), {static_cast<uint8_t>(interfaces.size()), 1, 0, 0x80, 50});
    for (const InterfaceLayout& layout : interfaces) {
        bytes.insert(bytes.end(), {kInterfaceLength, kInterfaceType, layout.number, 0,
                                   static_cast<uint8_t>(layout.endpoints.size()), kVendorClass,
                                   kVendorClass, kVendorClass, 0});
        for (const uint8_t endpoint : layout.endpoints) {
            bytes.insert(bytes.end(), {kEndpointLength, kEndpointType, endpoint, kBulk});
            put16(bytes, kPacketSize);
            bytes.push_back(0);
        }
    }
    return bytes;
}

std::span<const uint8_t> configurationPart(std::span<const uint8_t> descriptors) {
    return descriptors.size() > kDeviceLength ? descriptors.subspan(kDeviceLength)
                                              : std::span<const uint8_t>{};
}

std::optional<std::vector<uint8_t>> stringDescriptor(const sim::DeviceDescriptor& descriptor,
                                                     uint8_t index) {
    if (index == 0) {
        std::vector<uint8_t> languages{4, kStringType};
        put16(languages, kUsEnglish);
        return languages;
    }
    const StringIndices strings = stringIndicesOf(descriptor);
    std::optional<std::string> text;
    if (index == strings.manufacturer)
        text = descriptor.manufacturer;
    else if (index == strings.product)
        text = descriptor.product;
    else if (index == strings.serial)
        text = descriptor.serial;
    if (!text)
        return std::nullopt;
    std::u16string wide = platform::widenUtf8(*text);
    if (wide.size() > kMaxStringCharacters)
        wide.resize(kMaxStringCharacters);
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * wide.size()), kStringType};
    for (const char16_t unit : wide)
        put16(bytes, static_cast<uint16_t>(unit));
    return bytes;
}

}  // namespace emulator
