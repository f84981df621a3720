#pragma once

#include <optional>
#include <string>

#include "platform/OpenFailure.h"

// The one exception type of the program. The message is a short English fragment meant for the
// user; the status line and the error box show it. Deliberately not derived from std::exception:
// nothing but our own handlers is meant to catch it.
class HException {
public:
    explicit HException(std::string message) : text(std::move(message)) {}
    // A device that could not be opened or claimed: the message as ever, and why beside it.
    HException(std::string message, platform::OpenFailure why)
        : text(std::move(message)), failure(std::move(why)) {}
    HException(const HException&) = default;
    HException& operator=(const HException&) = default;
    virtual ~HException() = default;

    const std::string& message() const { return text; }
    // Why the system refused, where the error is an open or claim it refused; otherwise null.
    const std::optional<platform::OpenFailure>& openFailure() const { return failure; }

private:
    std::string text;
    std::optional<platform::OpenFailure> failure;
};
