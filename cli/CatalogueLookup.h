#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

struct FirmwareImage;

// Questions about the embedded catalogue that only the command line asks.
namespace cli {

// The row whose variant is `variant`, compared without regard to case, with or without the
// "Velantrix " in front ("heron", "HERON", "Velantrix Heron"). Null when there is none.
const FirmwareImage* findCatalogueRow(std::string_view variant);

// The product id of the probes that get `row`, from the probe model table.
std::optional<uint16_t> productIdOf(const FirmwareImage& row);

}  // namespace cli
