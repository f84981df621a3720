// Why the real Linux path could not open or claim a probe, as the command-line tool says it:
// the emulator refuses with a chosen errno, libusb and the kernel's interface carry it up; a
// device node gone before the open is a probe that has gone.
#include <cerrno>

#include "RealStack.h"
#include "tests/cli/CliRun.h"

namespace {

struct Refusal {
    const char* name;
    bool claim;
    int error;  // 0: the device node is removed instead
    const char* line;
};

constexpr Refusal kRefusals[] = {
    {"NoPermission", false, EACCES,
     "velantrix-update-cli: SN000001: Cannot open USB driver: no permission to open "
     "/dev/bus/usb/001/002 - install the udev rule (README, \"The udev rule\") and plug the "
     "probe in again\n"},
    {"Busy", false, EBUSY,
     "velantrix-update-cli: SN000001: Cannot open USB driver: another program has it open - "
     "close that program and try again\n"},
    {"Gone", false, 0,
     "velantrix-update-cli: SN000001: Cannot open USB driver: the probe has gone - plug it in "
     "again and retry\n"},
    {"ClaimedElsewhere", true, EBUSY,
     "velantrix-update-cli: SN000001: Cannot claim USB interface: another program has it open - "
     "close that program and try again\n"},
    {"Unexplained", false, EIO, "velantrix-update-cli: SN000001: Cannot open USB driver\n"},
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

struct RealStackRefusal : RealStack, ::testing::WithParamInterface<Refusal> {};

}  // namespace

TEST_P(RealStackRefusal, UpdateSaysWhyAndWhatToDo) {
    const auto probe = plug(5);
    if (GetParam().error == 0)
        usb->removeNode(path);
    else if (GetParam().claim)
        probe->refuseClaim(1, GetParam().error);
    else
        probe->refuseOpen(1, GetParam().error);
    const CliRun run = cliRun({"update"}, context);
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Errnos, RealStackRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return std::string(test.param.name); });
