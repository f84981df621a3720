#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A serial number the instance identifier can carry: not empty, printable ASCII, and free of
// the separators the identifier uses.
bool isUsableSerial(const std::string& serial);

// Composes "USB\VID_vvvv&PID_pppp\<part>" the way the enumeration expects. `part` is the serial
// number when usable; otherwise a made-up "0&<portPath>" whose '&' in second place tells the
// parser there is no serial number.
std::string composeInstanceId(uint16_t vendorId, uint16_t productId, const std::string& serial,
                              const std::string& portPath);

}  // namespace platform
