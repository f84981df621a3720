#include "link/openDataLink.h"

#include "link/USBDataLink.h"
#include "link/USBFtd2xxDataLink.h"

namespace {

struct LinkKindRow {
    uint16_t productId;
    DataLinkKind kind;
};

constexpr LinkKindRow kLinkKinds[] = {
    {3, DataLinkKind::Ftdi},
    {5, DataLinkKind::Ftdi},
    {6, DataLinkKind::PlainUsb},
};

// Any argument outside 1..3 selects channel A.
constexpr int kFtdiChannelA = -1;
constexpr uint8_t kPlainOutPipe = 0x01;
constexpr uint8_t kPlainInPipe = 0x81;

}  // namespace

DataLinkKind dataLinkKindFor(uint16_t productId) {
    for (const auto& row : kLinkKinds)
        if (row.productId == productId)
            return row.kind;
    return DataLinkKind::None;
}

std::unique_ptr<HDataLink> openDataLink(const USBDeviceInfo& device) {
    switch (dataLinkKindFor(device.productId)) {
        case DataLinkKind::Ftdi:
            return std::make_unique<USBFtd2xxDataLink>(device, kFtdiChannelA);
        case DataLinkKind::PlainUsb:
            return std::make_unique<USBDataLink>(device, kPlainOutPipe, kPlainInPipe);
        case DataLinkKind::None:
            break;
    }
    return nullptr;
}
