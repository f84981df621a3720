#include "link/ProbeModels.h"

std::vector<int32_t> probeProductIds() {
    std::vector<int32_t> ids;
    ids.reserve(std::size(probeModels));
    for (const ProbeModel& model : probeModels)
        ids.push_back(model.productId);
    return ids;
}

std::string_view shortVariantName(const ProbeModel& model) {
    constexpr std::string_view prefix = "Velantrix ";
    std::string_view name = model.variantName;
    if (name.starts_with(prefix))
        name.remove_prefix(prefix.size());
    return name;
}
