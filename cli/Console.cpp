#include "cli/Console.h"

#include "cli/DisplayText.h"

namespace cli {

namespace {

constexpr std::string_view programName = "velantrix-update-cli: ";

}  // namespace

int fail(const Console& console, int status, std::string_view message) {
    console.err << programName << displayText(message) << '\n';
    return status;
}

int fail(const Console& console, int status, std::string_view serialNumber,
         std::string_view message) {
    console.err << programName << displayText(serialNumber) << ": " << displayText(message) << '\n';
    return status;
}

}  // namespace cli
