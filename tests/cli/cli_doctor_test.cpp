// doctor against a made-up system: rule files, device node access, seat and libusb as a test
// says, with probes on the virtual bus.
#include <gtest/gtest.h>

#include "cli/Commands.h"
#include "tests/support/VirtualProbes.h"

namespace {

std::string ruleFor(std::initializer_list<const char*> ids) {
    std::string text = "# a comment\n";
    for (const char* id : ids)
        text += R"(SUBSYSTEM=="usb", ATTR{idVendor}=="1a2b", ATTR{idProduct}==")" +
                std::string(id) + R"(", TAG+="uaccess")" + "\n";
    return text;
}

struct Case {
    const char* name;
    const char* rulePath;  // the one rule file; null: asks as Windows does, WinUSB bound or not
    std::string ruleText;
    bool access;  // the node is readable and writable, and the session is at a seat
    int status;
    std::string out;
};

const std::string allIds = ruleFor({"0003", "0004", "0010", "0006", "0005"});
const std::string fine =
    "0300A1 (Velantrix Heron): ok (/dev/bus/usb/001/002)\nseat: ok\nlibusb: ok\n";

const Case kCases[] = {
    {"AllWell", "/usr/lib/udev/rules.d/70-velantrix-update.rules", allIds, true, 0,
     "udev rule: ok (/usr/lib/udev/rules.d/70-velantrix-update.rules)\n" + fine},
    {"NoRule", "/etc/udev/rules.d/70-other.rules", "ATTR{idVendor}==\"1a2c\"\n", true, 1,
     "udev rule: not installed in /etc/udev/rules.d, /usr/lib/udev/rules.d - install it (README, "
     "\"The udev rule\") and plug the probes in again\n" +
         fine},
    {"RuleLacksIds", "/etc/udev/rules.d/70-velantrix-update.rules", ruleFor({"0003", "0004"}), true,
     1,
     "udev rule: /etc/udev/rules.d/70-velantrix-update.rules does not name product ids 0010, "
     "0006, 0005 - install this version's rule (README, \"The udev rule\") and plug the probes "
     "in again\n" +
         fine},
    {"NodeNotWritableNoSeat", "/etc/udev/rules.d/70-velantrix-update.rules", allIds, false, 1,
     "udev rule: ok (/etc/udev/rules.d/70-velantrix-update.rules)\n"
     "0300A1 (Velantrix Heron): you may not read and write /dev/bus/usb/001/002 - install the "
     "udev rule (README, \"The udev rule\") and plug the probe in again\n"
     "seat: this session is not at a seat (a remote login?), so the udev rule gives it no access "
     "- run the program in a session at the machine\nlibusb: ok\n"},
    {"WindowsWithoutWinUsb", nullptr, "", true, 1,
     "0300A1 (Velantrix Heron): WinUSB is not its driver - install velantrix-probes.inf (README, "
     "\"Driver binding\") and plug the probe in again\n"},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

struct Doctor : VirtualProbes, ::testing::WithParamInterface<Case> {};

}  // namespace

TEST_P(Doctor, SaysOkOrWhatToDoOnALineEach) {
    const Case& c = GetParam();
    plug(3, "0300A1");
    platform::AccessQueries system;
    const std::string path = c.rulePath ? c.rulePath : "";
    if (!c.rulePath) {
        system.winUsbBound = [](const std::string&) { return false; };
    } else {
        system.ruleDirectories = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d"};
        system.filesIn = [&](const std::string& directory) {
            std::vector<std::string> names{"README"};
            if (path.starts_with(directory + "/"))
                names.push_back(path.substr(directory.size() + 1));
            return names;
        };
        system.readFile = [&](const std::string& file) -> std::optional<std::string> {
            return file == path ? std::optional(c.ruleText) : std::nullopt;
        };
        system.nodeOf = [&](const std::string& device) { return bus.nodeOf(device)->devicePath(); };
        system.mayReadWrite = [&](const std::string&) { return c.access; };
        system.atSeat = [&] { return c.access; };
        system.usbLibraryWorks = [] { return true; };
    }
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::diagnose(context, {out, err, false}, system), c.status);
    EXPECT_EQ(out.str(), c.out);
}

INSTANTIATE_TEST_SUITE_P(Systems, Doctor, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });
