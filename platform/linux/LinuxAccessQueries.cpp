#include <libusb.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/AccessQueries.h"
#include "platform/linux/UsbDeviceNode.h"

namespace platform {

namespace {

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error))
        names.push_back(entry.path().filename().string());
    return names;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// logind's record of the session (SEAT= names its seat); without logind, what the login
// manager put into the environment.
bool atSeat() {
    const char* session = std::getenv("XDG_SESSION_ID");
    std::string id = session ? session : "";
    if (id.empty())
        id = readFile("/proc/self/sessionid").value_or("");
    if (const auto record = readFile("/run/systemd/sessions/" + id); record && !id.empty()) {
        std::istringstream lines(*record);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("SEAT="))
                return line.size() > 5;
        }
        return false;
    }
    const char* seat = std::getenv("XDG_SEAT");
    return seat && *seat;
}

bool usbLibraryWorks() {
    libusb_set_option(nullptr, LIBUSB_OPTION_NO_DEVICE_DISCOVERY);
    libusb_context* context = nullptr;
    if (libusb_init(&context) != LIBUSB_SUCCESS)
        return false;
    libusb_exit(context);
    return true;
}

}  // namespace

AccessQueries systemAccessQueries() {
    return {
        .ruleDirectories = {"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"},
        .filesIn = filesIn,
        .readFile = readFile,
        .nodeOf = usbDeviceNodeOf,
        .mayReadWrite =
            [](const std::string& node) { return ::access(node.c_str(), R_OK | W_OK) == 0; },
        .atSeat = atSeat,
        .usbLibraryWorks = usbLibraryWorks,
        .winUsbBound = {},
    };
}

}  // namespace platform
