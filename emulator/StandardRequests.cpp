#include "emulator/StandardRequests.h"

#include <algorithm>
#include <vector>

#include "emulator/UsbDescriptors.h"

namespace emulator {

namespace {

constexpr uint8_t kTypeMask = 0x60;
constexpr uint8_t kStandardType = 0x00;
constexpr uint8_t kDeviceToHost = 0x80;

constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kClearFeature = 0x01;
constexpr uint8_t kSetFeature = 0x03;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kGetConfiguration = 0x08;
constexpr uint8_t kSetConfiguration = 0x09;
constexpr uint8_t kGetInterface = 0x0A;
constexpr uint8_t kSetInterface = 0x0B;

constexpr uint8_t kDeviceDescriptor = 1;
constexpr uint8_t kConfigurationDescriptor = 2;
constexpr uint8_t kStringDescriptor = 3;
constexpr std::size_t kDeviceDescriptorLength = 18;

int copyOut(std::span<const uint8_t> bytes, std::span<uint8_t> data) {
    const std::size_t n = std::min(bytes.size(), data.size());
    std::copy_n(bytes.begin(), n, data.begin());
    return static_cast<int>(n);
}

int getDescriptor(const sim::ControlSetup& setup, std::span<uint8_t> data,
                  const sim::DeviceDescriptor& descriptor, std::span<const uint8_t> descriptors) {
    const auto type = static_cast<uint8_t>(setup.value >> 8);
    const auto index = static_cast<uint8_t>(setup.value & 0xFF);
    switch (type) {
        case kDeviceDescriptor:
            return copyOut(descriptors.first(std::min(descriptors.size(), kDeviceDescriptorLength)),
                           data);
        case kConfigurationDescriptor:
            return index == 0 ? copyOut(configurationPart(descriptors), data) : -1;
        case kStringDescriptor:
            if (const std::optional<std::vector<uint8_t>> text =
                    stringDescriptor(descriptor, index))
                return copyOut(*text, data);
            return -1;
        default:
            return -1;
    }
}

}  // namespace

std::optional<int> answerStandardRequest(const sim::ControlSetup& setup, std::span<uint8_t> data,
                                         const sim::DeviceDescriptor& descriptor,
                                         std::span<const uint8_t> descriptors) {
    if ((setup.requestType & kTypeMask) != kStandardType)
        return std::nullopt;
    const bool in = (setup.requestType & kDeviceToHost) != 0;
    switch (setup.request) {
        case kGetDescriptor:
            return in ? getDescriptor(setup, data, descriptor, descriptors) : -1;
        case kGetConfiguration: {
            const uint8_t configuration = 1;
            return in ? copyOut({&configuration, 1}, data) : -1;
        }
        case kGetInterface: {
            const uint8_t alternate = 0;
            return in ? copyOut({&alternate, 1}, data) : -1;
        }
        case kGetStatus: {
            const uint8_t status[2] = {0, 0};
            return in ? copyOut(status, data) : -1;
        }
        case kSetConfiguration:
            return setup.value == 1 ? 0 : -1;
        case kSetInterface:
            return setup.value == 0 ? 0 : -1;  // only alternate setting 0 exists
        case kClearFeature:
        case kSetFeature:
            return 0;
        default:
            return -1;
    }
}

}  // namespace emulator
