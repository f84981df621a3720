#pragma once

#include <functional>
#include <string>

#include "platform/HException.h"

// The one way tests expect a failure: the message of the HException `action` throws, or
// "(no failure)" when it returns.
inline std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const HException& e) {
        return e.message();
    }
    return "(no failure)";
}
