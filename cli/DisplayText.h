#pragma once

#include <string>
#include <string_view>

// Texts that come from a probe (serial numbers, build texts) are 8-bit Latin-1 and may hold
// anything the device chose to send. These turn them into something safe to print.
namespace cli {

// UTF-8 for a terminal or a log: every Latin-1 character converted, every control character
// (C0, DEL, C1) shown as '?', so that a device cannot move the cursor or recolour the screen.
// Occupies one column per byte of `latin1`, which is what column alignment counts.
std::string displayText(std::string_view latin1);

// A JSON string literal, quotes included. Pure ASCII: quote, backslash and control characters
// are escaped, and every byte from 0x80 up becomes \u00XX (its Latin-1 code point), so the
// result is valid JSON whatever the bytes.
std::string jsonString(std::string_view latin1);

}  // namespace cli
