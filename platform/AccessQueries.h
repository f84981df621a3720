#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the system is asked when the user wants to know why probes cannot be opened: the
// command-line tool's `doctor` turns the answers into advice. A table of functions, so that
// tests hand in fakes; each backend fills what its system has and leaves the rest empty, and
// only what is filled is checked. Every function may be called from several threads at once.
struct AccessQueries {
    // Where udev reads rules (Linux); empty where there is no udev.
    std::vector<std::string> ruleDirectories;
    // The names of the files in a directory (none when it cannot be read).
    std::function<std::vector<std::string>(const std::string& directory)> filesIn;
    // A file's text, or null when it cannot be read.
    std::function<std::optional<std::string>(const std::string& path)> readFile;
    // The device node a listed device path opens (Linux: /dev/bus/usb/BBB/DDD), or null.
    std::function<std::optional<std::string>(const std::string& devicePath)> nodeOf;
    // Whether this user may open the node for reading and writing.
    std::function<bool(const std::string& node)> mayReadWrite;
    // Whether this user's session is at a seat, which udev's "uaccess" gives the device nodes to.
    std::function<bool()> atSeat;
    // Whether the USB library can be set up.
    std::function<bool()> usbLibraryWorks;
    // Windows: whether WinUSB is the driver of the device at a listed path.
    std::function<bool(const std::string& devicePath)> winUsbBound;
};

// The system's own answers. Each backend defines it.
AccessQueries systemAccessQueries();

}  // namespace platform
