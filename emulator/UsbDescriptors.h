#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/VirtualDevice.h"

namespace emulator {

// One interface of the single configuration: its number and its bulk endpoints.
struct InterfaceLayout {
    uint8_t number = 0;
    std::vector<uint8_t> endpoints;  // addresses, IN with bit 7 set
};

// The interfaces and endpoints `device` serves. A probe is asked through a scratch probe of its
// variant, so the real one's script (an open scripted to fail) is left alone; any other device
// gets one vendor interface without endpoints.
std::vector<InterfaceLayout> interfacesOf(const sim::VirtualDevice& device);

// String descriptor indices used in the device descriptor (0: the device has no such string).
struct StringIndices {
    uint8_t manufacturer = 0;
    uint8_t product = 0;
    uint8_t serial = 0;
};
StringIndices stringIndicesOf(const sim::DeviceDescriptor& descriptor);

// The device descriptor followed by the configuration descriptor with all of its interface and
// endpoint descriptors: what sysfs shows as `descriptors` and what reading a usbdevfs node
// gives. Little-endian, as on the wire:
//
//   device (18 bytes)         0 bLength 18, 1 type 1, 2 bcdUSB 0x0200, 4 class/subclass/protocol
//                             0/0/0, 7 bMaxPacketSize0 64, 8 idVendor, 10 idProduct,
//                             12 bcdDevice 0x0100, 14 iManufacturer, 15 iProduct,
//                             16 iSerialNumber, 17 bNumConfigurations 1
//   configuration (9 bytes)   0 bLength 9, 1 type 2, 2 wTotalLength, 4 bNumInterfaces,
//                             5 bConfigurationValue 1, 6 iConfiguration 0, 7 bmAttributes 0x80
//                             (bus powered), 8 bMaxPower 50 (100 mA)
//   interface (9 bytes each)  0 bLength 9, 1 type 4, 2 bInterfaceNumber, 3 bAlternateSetting 0,
//                             4 bNumEndpoints, 5 class/subclass/protocol 0xFF (vendor),
//                             8 iInterface 0
//   endpoint (7 bytes each)   0 bLength 7, 1 type 5, 2 bEndpointAddress, 3 bmAttributes 2
//                             (bulk), 4 wMaxPacketSize 64, 6 bInterval 0
std::vector<uint8_t> usbDescriptors(const sim::DeviceDescriptor& descriptor,
                                    const std::vector<InterfaceLayout>& interfaces);

// The configuration descriptor alone (everything after the device descriptor).
std::span<const uint8_t> configurationPart(std::span<const uint8_t> descriptors);

// String descriptor `index` in US English: index 0 lists the language, the others carry the
// device's texts in UTF-16LE (at most 126 characters). Nothing for an index without a string.
std::optional<std::vector<uint8_t>> stringDescriptor(const sim::DeviceDescriptor& descriptor,
                                                     uint8_t index);

}  // namespace emulator
