#pragma once

#include <array>
#include <cstdint>

// The USB vendor id under which every supported probe enumerates.
inline constexpr uint16_t probeVendorId = 0x1A2B;

// The product ids of the supported probe variants, in the order the poll hands them to
// selectDevices (the order does not change the selection).
inline constexpr std::array<int32_t, 5> probeProductIds{3, 4, 5, 16, 6};
