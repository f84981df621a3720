#pragma once

#include <string>

class HException;

namespace cli {

// What the tool says of a failure: the message the window shows, and for a probe that the
// system would not open or let be claimed, why and what to do about it.
std::string failureText(const HException& error);

}  // namespace cli
