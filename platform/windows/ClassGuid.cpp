#include "platform/windows/ClassGuid.h"

#include <cstdint>
#include <string_view>

namespace platform {

namespace {

// The system writes GUIDs with upper-case digits, and so does the table of classes.
int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<GUID> guidFromText(const char* text) {
    // Each 'x' stands for one digit; every other character must be there as it is.
    constexpr std::string_view layout = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    const std::string_view given = text ? text : "";
    if (given.size() != layout.size())
        return std::nullopt;
    uint8_t bytes[16] = {};
    std::size_t digits = 0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (layout[i] != 'x') {
            if (given[i] != layout[i])
                return std::nullopt;
            continue;
        }
        const int value = hexValue(given[i]);
        if (value < 0)
            return std::nullopt;
        bytes[digits / 2] = static_cast<uint8_t>(bytes[digits / 2] << 4 | value);
        ++digits;
    }
    // The first three groups are numbers written most significant digit first.
    GUID guid{};
    guid.Data1 =
        static_cast<unsigned long>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
    guid.Data2 = static_cast<unsigned short>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<unsigned short>(bytes[6] << 8 | bytes[7]);
    for (std::size_t i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return guid;
}

}  // namespace platform
