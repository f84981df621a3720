#pragma once

#include <string>

// The one exception type of the program. The message is a short English fragment meant for the
// user; the status line and the error box show it. Deliberately not derived from std::exception:
// nothing but our own handlers is meant to catch it.
class HException {
public:
    explicit HException(std::string message) : text(std::move(message)) {}
    HException(const HException&) = default;
    HException& operator=(const HException&) = default;
    virtual ~HException() = default;

    const std::string& message() const { return text; }

private:
    std::string text;
};
