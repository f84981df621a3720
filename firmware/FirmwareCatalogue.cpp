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

using namespace embedded;

constinit const std::array<FirmwareImage, 5> firmwareCatalogue{{
    {"Velantrix Heron", 0x00002000, heronImage, heronImageLength, heronNotes, heronNotesLength,
     false},
    {"Velantrix Wren", 0x00006000, wrenImage, wrenImageLength, wrenNotes, wrenNotesLength, true},
    {"Velantrix Kestrel", 0x00006000, kestrelImage, kestrelImageLength, kestrelNotes,
     kestrelNotesLength, true},
    {"Velantrix Osprey", 0x1A008000, ospreyImage, ospreyImageLength, ospreyNotes, ospreyNotesLength,
     true},
    {"Velantrix Egret", 0x00002000, egretImage, egretImageLength, egretNotes, egretNotesLength,
     false},
}};

namespace {

// Which row a probe gets, by product id. Early boards of one variant can't run its current
// firmware; they are told apart by serial number, compared as plain text (so "5" is above
// "04020000" and "0402" below it).
struct CatalogueChoice {
    uint16_t productId;
    std::size_t row;
    const char* minimumSerial;  // null: any serial number
};

constexpr std::array<CatalogueChoice, 5> catalogueChoices{{
    {3, 0, nullptr},
    {4, 1, "04020000"},
    {5, 4, nullptr},
    {6, 3, nullptr},
    {16, 2, nullptr},
}};

}  // namespace

const FirmwareImage* findFirmwareImage(const USBDeviceInfo& device) {
    for (const auto& choice : catalogueChoices) {
        if (choice.productId != device.productId)
            continue;
        if (choice.minimumSerial && device.serialNumber < std::string(choice.minimumSerial))
            return nullptr;
        return &firmwareCatalogue[choice.row];
    }
    return nullptr;
}
