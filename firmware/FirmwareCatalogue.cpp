#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "embedded/CatalogueFiles.h"
#include "firmware/FirmwareImage.h"
#include "link/ProbeModels.h"

namespace {

constexpr std::size_t embeddedFileCount = std::size(embedded::catalogueFiles);

// The index of the embedded files named `image`, or embeddedFileCount. An index rather than a
// pointer: with the undefined-behaviour sanitizer, GCC cannot compare the address of an array
// element with null while compiling, and the checks below would no longer be constant.
constexpr std::size_t embeddedFileIndex(std::string_view image) {
    std::size_t index = 0;
    while (index < embeddedFileCount && embedded::catalogueFiles[index].name != image)
        ++index;
    return index;
}

constexpr bool imageOfSomeModel(std::string_view image) {
    for (const ProbeModel& model : probeModels) {
        if (model.image && image == model.image)
            return true;
    }
    return false;
}

constexpr bool everyModelHasItsFiles() {
    for (const ProbeModel& model : probeModels) {
        if (model.image && embeddedFileIndex(model.image) == embeddedFileCount)
            return false;
    }
    return true;
}

constexpr bool everyFileHasAModel() {
    for (const embedded::CatalogueFile& file : embedded::catalogueFiles) {
        if (!imageOfSomeModel(file.name))
            return false;
    }
    return true;
}

// Checked while compiling, so that the table and the files cannot part: a file left behind by a
// removed model is an error, not dead weight.
static_assert(
    everyModelHasItsFiles(),
    "a probe model's image lacks firmware/images/<image>.bin or firmware/notes/<image>.txt");
static_assert(everyFileHasAModel(), "an image in firmware/images belongs to no probe model");

// The rows: the models that have an image, in the table's order; name and reopen rule from the
// model, bytes and notes from its embedded files.
constexpr std::array<FirmwareImage, modelsWithImage> catalogueRows() {
    std::array<FirmwareImage, modelsWithImage> rows{};
    std::size_t next = 0;
    for (const ProbeModel& model : probeModels) {
        if (!model.image)
            continue;
        const embedded::CatalogueFile& file =
            embedded::catalogueFiles[embeddedFileIndex(model.image)];
        rows[next++] = {.name = model.variantName,
                        .address = model.imageAddress,
                        .data = file.image,
                        .size = file.imageLength,
                        .releaseNotes = file.notes,
                        .releaseNotesLength = file.notesLength,
                        .reopenAfterConnect = model.reopenAfterConnect};
    }
    return rows;
}

// The index of `model`'s row: how many models before it have an image.
std::size_t rowIndex(const ProbeModel& model) {
    std::size_t index = 0;
    for (const ProbeModel* before = probeModels.data(); before != &model; ++before)
        index += before->image ? 1 : 0;
    return index;
}

}  // namespace

constinit const std::array<FirmwareImage, modelsWithImage> firmwareCatalogue = catalogueRows();

const FirmwareImage* findFirmwareImage(const USBDeviceInfo& device) {
    const ProbeModel* model = findProbeModel(device.productId);
    if (!model || !model->image)
        return nullptr;
    if (model->minimumSerial && device.serialNumber < std::string(model->minimumSerial))
        return nullptr;
    return &firmwareCatalogue[rowIndex(*model)];
}

const ProbeModel* probeModelOf(const FirmwareImage& row) {
    for (const ProbeModel& model : probeModels) {
        if (model.image && &firmwareCatalogue[rowIndex(model)] == &row)
            return &model;
    }
    return nullptr;
}
