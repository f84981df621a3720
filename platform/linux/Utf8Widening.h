#pragma once

#include <string>

namespace platform {

// UTF-8 text (what sysfs holds for a device's string descriptors) as UTF-16, the form a HID
// string query answers in. A malformed sequence becomes U+FFFD, one per offending byte.
std::u16string widenUtf8(const std::string& text);

}  // namespace platform
