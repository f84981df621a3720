#include "bench/UpdateRig.h"

#include <stdexcept>

#include "platform/HException.h"

#include "firmware/InstalledFirmware.h"
#include "firmware/ProbeAssessment.h"
#include "link/DeviceEnumeration.h"
#include "link/ProbeModels.h"
#include "link/openDataLink.h"
#include "loader/Crc32.h"
#include "loader/LoaderProtocol.h"
#include "sim/FirmwareImageBuilder.h"

namespace bench {

std::vector<CatalogueEntry> catalogueEntries() {
    std::vector<CatalogueEntry> entries;
    for (const FirmwareImage& row : firmwareCatalogue) {
        const ProbeModel& model = *probeModelOf(row);
        entries.push_back({model.productId, &row, updatableOverUsb(model)});
    }
    return entries;
}

std::vector<CatalogueEntry> updatableEntries() {
    std::vector<CatalogueEntry> entries;
    for (const CatalogueEntry& entry : catalogueEntries()) {
        if (entry.updatable)
            entries.push_back(entry);
    }
    return entries;
}

Carrier carrierFor(uint16_t productId) {
    const ProbeModel* model = findProbeModel(productId);
    return model && model->link == LinkKind::FtdiBridge ? Carrier::FtdiBridge : Carrier::PlainBulk;
}

UpdateRig::UpdateRig(uint16_t productId, bool firmwareRunning,
                     std::optional<sim::TimingModel> timing)
    : catalogueRow(nullptr), timingModel(timing) {
    for (const CatalogueEntry& entry : updatableEntries()) {
        if (entry.productId == productId)
            catalogueRow = entry.row;
    }
    if (!catalogueRow)
        throw std::invalid_argument("no updatable catalogue row for this product id");
    if (firmwareRunning)
        oldImage = sim::buildFirmwareImage({.majorVersion = 1, .payloadSize = 4096});
    virtualProbe = sim::makeProbe(productId, "BENCH001", oldImage);
    path = bus.attach(virtualProbe);

    // The record the poll would hand to the panel.
    const std::vector<USBDeviceInfo> probes =
        selectProbes(enumerateUSBDevices(context, 0, anyUsbId, anyUsbId));
    if (probes.size() != 1)
        throw std::logic_error("the virtual probe is not listed");
    record = probes.front();
    openLink();
    // Opening and asking for the loader's information are the panel's work, not the update's.
    virtualProbe->setTiming(timingModel);
    virtualProbe->clearTrace();
}

UpdateRig::~UpdateRig() = default;

std::unique_ptr<UpdateRig> UpdateRig::make(uint16_t productId, bool firmwareRunning,
                                           std::optional<sim::TimingModel> timing,
                                           std::string& failure) {
    try {
        return std::make_unique<UpdateRig>(productId, firmwareRunning, timing);
    } catch (HException& e) {
        failure = e.message();
    } catch (std::exception& e) {
        failure = e.what();
    }
    return nullptr;
}

void UpdateRig::openLink() {
    dataLink.reset();
    dataLink = openUpdateLink(context, record);
    firmwareInstalled = readInstalledFirmware(*dataLink).has_value();
}

void UpdateRig::install(const UpdateProgress& progress) {
    installFirmware(context, dataLink, record, firmwareInstalled, *catalogueRow,
                    standardPhases(progress));
}

void UpdateRig::rewind() {
    if (!oldImage.empty()) {
        virtualProbe->setTiming(std::nullopt);
        virtualProbe->installImage(oldImage);
        bus.reattach(path);
        openLink();
        virtualProbe->setTiming(timingModel);
    }
    virtualProbe->clearTrace();
}

bool UpdateRig::imageInFlash() const {
    const std::optional<uint32_t> stored =
        virtualProbe->flashCrc(catalogueRow->address, catalogueRow->size);
    return stored && *stored == crc32(catalogueRow->data, catalogueRow->size);
}

}  // namespace bench
