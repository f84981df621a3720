#include "cli/CatalogueLookup.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "firmware/FirmwareImage.h"

namespace cli {

namespace {

constexpr std::string_view variantPrefix = "Velantrix ";

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view withoutPrefix(std::string_view name) {
    if (name.size() >= variantPrefix.size() &&
        equalIgnoringCase(name.substr(0, variantPrefix.size()), variantPrefix)) {
        name.remove_prefix(variantPrefix.size());
    }
    return name;
}

}  // namespace

const FirmwareImage* findCatalogueRow(std::string_view variant) {
    const std::string_view wanted = withoutPrefix(variant);
    for (const FirmwareImage& row : firmwareCatalogue) {
        if (equalIgnoringCase(withoutPrefix(row.name), wanted))
            return &row;
    }
    return nullptr;
}

std::optional<uint16_t> productIdOf(const FirmwareImage& row) {
    const ProbeModel* model = probeModelOf(row);
    return model ? std::optional(model->productId) : std::nullopt;
}

}  // namespace cli
