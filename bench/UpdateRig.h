#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/WireTime.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateProcedure.h"
#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

namespace bench {

// A catalogue row as the benchmarks see it: the product id that selects it and, when the
// program has no link for that id, nothing to update.
struct CatalogueEntry {
    uint16_t productId;
    const FirmwareImage* row;
    bool updatable;
};

// Every catalogue row with the product id that selects it, in catalogue order.
std::vector<CatalogueEntry> catalogueEntries();
// The rows the program can update (product ids 3, 5 and 6).
std::vector<CatalogueEntry> updatableEntries();
Carrier carrierFor(uint16_t productId);

// One virtual probe on a virtual bus and clock, found by the program's own enumeration and
// opened as the firmware panel opens it; then whole updates of its catalogue row, as the
// panel's install button runs them. With `firmwareRunning` the probe starts its firmware, so a
// variant that restarts into its loader takes the reopen path.
class UpdateRig {
public:
    UpdateRig(uint16_t productId, bool firmwareRunning, std::optional<sim::TimingModel> timing);
    ~UpdateRig();
    // The same, or null with `failure` set when the probe could not be opened as the panel
    // opens it.
    static std::unique_ptr<UpdateRig> make(uint16_t productId, bool firmwareRunning,
                                           std::optional<sim::TimingModel> timing,
                                           std::string& failure);
    UpdateRig(const UpdateRig&) = delete;
    UpdateRig& operator=(const UpdateRig&) = delete;

    // One whole update; throws HException as the panel would see it.
    void install(const UpdateProgress& progress);
    // Back to the state before install: the trace cleared and, for a probe that ran firmware,
    // the old image running again behind a freshly opened link.
    void rewind();

    const FirmwareImage& row() const { return *catalogueRow; }
    const USBDeviceInfo& device() const { return record; }
    bool reopens() const { return firmwareInstalled && catalogueRow->reopenAfterConnect; }
    sim::VirtualProbe& probe() { return *virtualProbe; }
    sim::VirtualClock& clock() { return virtualClock; }
    HDataLink& link() { return *dataLink; }

    // Whether the probe's flash now holds the row's image.
    bool imageInFlash() const;

private:
    void openLink();

    sim::VirtualClock virtualClock;
    sim::VirtualBus bus{virtualClock};
    const platform::Context context{bus, virtualClock};
    const FirmwareImage* catalogueRow;
    std::vector<uint8_t> oldImage;
    std::shared_ptr<sim::VirtualProbe> virtualProbe;
    std::string path;
    USBDeviceInfo record;
    std::optional<sim::TimingModel> timingModel;
    bool firmwareInstalled = false;
    std::unique_ptr<HDataLink> dataLink;
};

}  // namespace bench
