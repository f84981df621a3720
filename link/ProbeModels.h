#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// What the program knows about each probe model, in one table that everything else reads: the
// link factory, the firmware catalogue (built from it at compile time), the poll, the
// command-line tool, the virtual probes and the emulator; the build embeds the image and notes
// files the table names, and tests hold the image maker and the driver-binding files (udev
// rule, AppStream metadata, INF) to it.

// The USB vendor id under which every supported probe enumerates.
inline constexpr uint16_t probeVendorId = 0x1A2B;

// How a probe model is reached over USB.
enum class LinkKind {
    None,        // no interface this program can drive: the probe is updated by other means
    FtdiBridge,  // channel A of an FTDI bridge in front of the loader
    PlainBulk,   // two bulk pipes straight to the loader
};

// One probe model: a row of the table below, in which what a model leaves out is zero, null or
// false. Safe to read from any thread: constant data.
struct ProbeModel {
    uint16_t productId = 0;
    const char* variantName = nullptr;  // what the window shows, and the catalogue row's name
    LinkKind link = LinkKind::None;
    uint8_t outPipe = 0;  // PlainBulk: bulk OUT endpoint
    uint8_t inPipe = 0;   // PlainBulk: bulk IN endpoint
    // Early boards of a model that cannot run its current firmware are told apart by serial
    // number, compared as plain text ("5" is above "04020000", "0402" below). Null: any serial.
    const char* minimumSerial = nullptr;
    // Running firmware, the probe answers a connect by restarting into its loader, so the link
    // has to be made again before the loader can be reached.
    bool reopenAfterConnect = false;
    // The image the program carries for the model: firmware/images/<image>.bin with its release
    // notes firmware/notes/<image>.txt, written at `imageAddress`. Null: the program carries
    // none, and the model is shown as not supported.
    const char* image = nullptr;
    uint32_t imageAddress = 0;
};

// In the order of the firmware catalogue's rows. The poll hands the product ids to selectDevices
// in this order too, which does not change the selection.
inline constexpr auto probeModels = std::to_array<ProbeModel>({
    {.productId = 3,
     .variantName = "Velantrix Heron",
     .link = LinkKind::FtdiBridge,
     .image = "heron",
     .imageAddress = 0x00002000},
    {.productId = 4,
     .variantName = "Velantrix Wren",
     .minimumSerial = "04020000",
     .reopenAfterConnect = true,
     .image = "wren",
     .imageAddress = 0x00006000},
    {.productId = 16,
     .variantName = "Velantrix Kestrel",
     .reopenAfterConnect = true,
     .image = "kestrel",
     .imageAddress = 0x00006000},
    {.productId = 6,
     .variantName = "Velantrix Osprey",
     .link = LinkKind::PlainBulk,
     .outPipe = 0x01,
     .inPipe = 0x81,
     .reopenAfterConnect = true,
     .image = "osprey",
     .imageAddress = 0x1A008000},
    {.productId = 5,
     .variantName = "Velantrix Egret",
     .link = LinkKind::FtdiBridge,
     .image = "egret",
     .imageAddress = 0x00002000},
});

// The model with this product id, or null.
constexpr const ProbeModel* findProbeModel(uint16_t productId) {
    for (const ProbeModel& model : probeModels) {
        if (model.productId == productId)
            return &model;
    }
    return nullptr;
}

// How many models the program carries an image for: the firmware catalogue's rows.
inline constexpr std::size_t modelsWithImage = static_cast<std::size_t>(
    std::count_if(probeModels.begin(), probeModels.end(),
                  [](const ProbeModel& model) { return model.image != nullptr; }));

// The product ids of the table, as selectDevices takes them.
std::vector<int32_t> probeProductIds();

// Whether this program can update the model over its USB connection.
constexpr bool updatableOverUsb(const ProbeModel& model) {
    return model.link != LinkKind::None;
}

// The short variant name, without the "Velantrix " in front ("Heron").
std::string_view shortVariantName(const ProbeModel& model);
