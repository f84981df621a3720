#include "link/Utf16Narrowing.h"

std::string narrowUtf16(const uint16_t* units, std::size_t maxUnits) {
    std::string text;
    for (std::size_t i = 0; i < maxUnits && units[i] != 0; ++i)
        text.push_back(static_cast<char>(units[i] & 0xFF));
    return text;
}
