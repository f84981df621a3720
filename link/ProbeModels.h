#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// What the program knows about each probe model, in one table that everything else reads: the
// link factory, the catalogue lookup, the poll, the command-line tool, the emulator and the
// driver-binding files (udev rule, INF) all take their facts from here.

// The USB vendor id under which every supported probe enumerates.
inline constexpr uint16_t probeVendorId = 0x1A2B;

// How a probe model is reached over USB.
enum class LinkKind {
    None,        // no interface this program can drive: the probe is updated by other means
    FtdiBridge,  // an FTDI bridge channel in front of the loader
    PlainBulk,   // two bulk pipes straight to the loader
};

struct ProbeModel {
    uint16_t productId;
    const char* variantName;  // what the window shows, and the catalogue row's name
    LinkKind link;
    int ftdiChannel;  // FtdiBridge: the channel argument (anything outside 1..3 is channel A)
    uint8_t outPipe;  // PlainBulk: bulk OUT endpoint
    uint8_t inPipe;   // PlainBulk: bulk IN endpoint
    // Index of the model's image in the firmware catalogue.
    std::size_t catalogueRow;
    // Early boards of a model that cannot run its current firmware are told apart by serial
    // number, compared as plain text ("5" is above "04020000", "0402" below). Null: any serial.
    const char* minimumSerial;
    // Running firmware, the probe answers a connect by restarting into its loader, so the link
    // has to be made again before the loader can be reached.
    bool reopenAfterConnect;
};

// In the order in which the poll hands product ids to selectDevices (the order does not change
// the selection).
// clang-format off
inline constexpr std::array<ProbeModel, 5> probeModels{{
    // id  variant               link                  ch  out   in    row  minimum serial reopen
    {3,  "Velantrix Heron",   LinkKind::FtdiBridge, -1, 0,    0,    0,   nullptr,    false},
    {4,  "Velantrix Wren",    LinkKind::None,       -1, 0,    0,    1,   "04020000", true},
    {5,  "Velantrix Egret",   LinkKind::FtdiBridge, -1, 0,    0,    4,   nullptr,    false},
    {16, "Velantrix Kestrel", LinkKind::None,       -1, 0,    0,    2,   nullptr,    true},
    {6,  "Velantrix Osprey",  LinkKind::PlainBulk,  -1, 0x01, 0x81, 3,   nullptr,    true},
}};
// clang-format on

// The model with this product id, or null.
constexpr const ProbeModel* findProbeModel(uint16_t productId) {
    for (const ProbeModel& model : probeModels) {
        if (model.productId == productId)
            return &model;
    }
    return nullptr;
}

// The product ids of the table, as selectDevices takes them.
std::vector<int32_t> probeProductIds();

// Whether this program can update the model over its USB connection.
constexpr bool updatableOverUsb(const ProbeModel& model) {
    return model.link != LinkKind::None;
}

// The short variant name, without the "Velantrix " in front ("Heron").
std::string_view shortVariantName(const ProbeModel& model);
