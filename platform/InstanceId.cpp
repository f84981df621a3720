#include "platform/InstanceId.h"

#include <cstdio>

namespace platform {

bool isUsableSerial(const std::string& serial) {
    if (serial.empty())
        return false;
    for (const char character : serial) {
        const auto c = static_cast<unsigned char>(character);
        if (c < 0x20 || c > 0x7E || c == '\\' || c == ',')
            return false;
    }
    return true;
}

std::string composeInstanceId(uint16_t vendorId, uint16_t productId, const std::string& serial,
                              const std::string& portPath) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", vendorId, productId);
    std::string part = isUsableSerial(serial) ? serial : "0&" + portPath;
    return std::string("USB\\") + ids + "\\" + part;
}

}  // namespace platform
