#include <string>

#include "embedded/egretImage.h"
#include "embedded/egretNotes.h"
#include "embedded/heronImage.h"
#include "embedded/heronNotes.h"
#include "embedded/kestrelImage.h"
#include "embedded/kestrelNotes.h"
#include "embedded/ospreyImage.h"
#include "embedded/ospreyNotes.h"
#include "embedded/wrenImage.h"
#include "embedded/wrenNotes.h"
#include "firmware/FirmwareImage.h"
#include "link/ProbeModels.h"

using namespace embedded;

namespace {

// A row of the catalogue for the model with `productId`: its name and reopen rule come from the
// probe model table, the rest from the image the program carries for it.
constexpr FirmwareImage row(uint16_t productId, uint32_t address, const uint8_t* image,
                            uint32_t imageLength, const char* notes, uint32_t notesLength) {
    const ProbeModel* model = findProbeModel(productId);
    return {model->variantName,       address, image, imageLength, notes, notesLength,
            model->reopenAfterConnect};
}

}  // namespace

// Rows in the order the probe model table numbers them.
constinit const std::array<FirmwareImage, 5> firmwareCatalogue{{
    row(3, 0x00002000, heronImage, heronImageLength, heronNotes, heronNotesLength),
    row(4, 0x00006000, wrenImage, wrenImageLength, wrenNotes, wrenNotesLength),
    row(16, 0x00006000, kestrelImage, kestrelImageLength, kestrelNotes, kestrelNotesLength),
    row(6, 0x1A008000, ospreyImage, ospreyImageLength, ospreyNotes, ospreyNotesLength),
    row(5, 0x00002000, egretImage, egretImageLength, egretNotes, egretNotesLength),
}};

const FirmwareImage* findFirmwareImage(const USBDeviceInfo& device) {
    const ProbeModel* model = findProbeModel(device.productId);
    if (!model)
        return nullptr;
    if (model->minimumSerial && device.serialNumber < std::string(model->minimumSerial))
        return nullptr;
    return &firmwareCatalogue[model->catalogueRow];
}
