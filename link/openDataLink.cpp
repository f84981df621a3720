#include "link/openDataLink.h"

#include "link/ProbeModels.h"
#include "link/USBDataLink.h"
#include "link/USBFtd2xxDataLink.h"

namespace {

// Every bridged model has its loader behind the bridge's channel A, which this argument selects.
constexpr int loaderChannel = -1;

}  // namespace

std::unique_ptr<HDataLink> openDataLink(platform::Context context, const USBDeviceInfo& device) {
    const ProbeModel* model = findProbeModel(device.productId);
    if (!model)
        return nullptr;
    switch (model->link) {
        case LinkKind::FtdiBridge:
            return std::make_unique<USBFtd2xxDataLink>(context, device, loaderChannel);
        case LinkKind::PlainBulk:
            return std::make_unique<USBDataLink>(context, device, model->outPipe, model->inPipe);
        case LinkKind::None:
            break;
    }
    return nullptr;
}

std::unique_ptr<HDataLink> openDataLink(const USBDeviceInfo& device) {
    return openDataLink(platform::systemContext(), device);
}
