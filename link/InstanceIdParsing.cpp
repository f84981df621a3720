#include "link/InstanceIdParsing.h"

#include <cctype>
#include <vector>

namespace {

std::vector<std::string> splitAtBackslashes(const std::string& text) {
    std::vector<std::string> components;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find('\\', start);
        components.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return components;
        start = end + 1;
    }
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The id after `tag` ("vid_" or "pid_") in the lower-cased id component. Only the four
// characters after the tag count, and only when all four are there: "vid_12&p" gives 0x12,
// "vid_12" at the end of the component gives 0.
uint16_t idAfterTag(const std::string& component, const char* tag) {
    constexpr std::string::size_type tagLength = 4;
    constexpr std::string::size_type digits = 4;
    const auto at = component.find(tag);
    if (at == std::string::npos || component.size() - at < tagLength + digits)
        return 0;
    unsigned value = 0;
    for (const char c : component.substr(at + tagLength, digits)) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<uint16_t>(value);
}

// A device without a serial number gets an instance part made up by the platform, with '&' in
// second place ("0&1-2.3"); that is no serial number.
std::string serialFromInstancePart(const std::string& part) {
    if (part.size() >= 2 && part[1] == '&')
        return {};
    return part;
}

}  // namespace

std::optional<ParsedInstanceId> parseInstanceId(const std::string& instanceId) {
    const auto components = splitAtBackslashes(instanceId);
    if (components.size() < 3)
        return std::nullopt;
    const std::string ids = lowerCase(components[1]);
    return ParsedInstanceId{idAfterTag(ids, "vid_"), idAfterTag(ids, "pid_"),
                            serialFromInstancePart(components[2])};
}
