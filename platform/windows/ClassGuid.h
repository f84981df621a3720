#pragma once

#include <optional>

#include "platform/windows/Win32.h"

namespace platform {

// The GUID written as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal
// digits, or nothing when `text` is not such a GUID.
std::optional<GUID> guidFromText(const char* text);

}  // namespace platform
