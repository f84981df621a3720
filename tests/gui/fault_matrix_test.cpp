// Every loader command the program sends against every way the probe can misbehave at it, on
// the FTDI probe (product 3) and on the bulk probe (product 6), one test per pair, each through
// the whole program: the poll builds the panel, the install button runs the update, the error
// box or the status line says what went wrong. Afterwards the user is back in control (button
// enabled, polling on), nothing unverified was called a success, and once the fault is gone (the
// probe plugged in again where it left) the next press installs and verifies the image.
//
// Pairs whose outcome is not simply the fault's own message, and why:
// - busy (status 0xFF) is success for every command but connect; the probe did nothing, so the
//   damage shows later: an unerased block refuses the write, an unwritten one fails the CRC.
// - the CRC reply's tag and status are not examined, so a wrong tag there is harmless, while
//   busy carries a CRC of zero, which does not match.
// - a busy answer to get-info is a full-length reply without the firmware magic: the panel shows
//   "Not Installed". The bulk probe still runs firmware then, so its first update connects
//   directly, the probe restarts into its loader under the request, and the press ends in the
//   read time-out; the next press opens a fresh link to the loader.
// - the bulk probe restarts into its loader when connected and is connected again up to eleven
//   times; its connect faults are kept up for every connect after the first, so that the last
//   attempt's message is what the user sees.
// - status 0 is each command's own refusal, which the loader protocol test reads for every
//   command; what the user is told of a refusal is the same box as for a wrong tag. A cell
//   programmed wrongly ends as a busy write does, in the CRC mismatch.
// - the plain bulk link sends no vendor requests; the FTDI link's purges before a connect and
//   when it is set up for the panel are refused.
#include <functional>
#include <optional>

#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"

using sim::Command;

namespace {

enum class Fault { NoReply, WrongTag, Busy, Refused, Unplug };
// (A reply cut short ends as one never given: the loader protocol test has it.)
const char* const faultNames[] = {"NoReply", "WrongTag", "Busy", "RefusedPurge", "Unplug"};

struct Step {
    const char* name;
    Command command;
    int occurrence;  // faults land mid-phase where a phase has several requests
};
const Step info{"Info", Command::Info, 1}, connect{"Connect", Command::Connect, 1},
    erase{"Erase", Command::Erase, 3}, write{"Write", Command::Write, 5},
    crc{"Crc", Command::Crc, 2}, disconnect{"Disconnect", Command::Disconnect, 1};

// What the user is told: the status line after get-info, the error box after the others ("" for
// a verified update); null where the pair means nothing on that probe.
struct Row {
    Step step;
    Fault fault;
    std::optional<std::string> ftdi;
    std::optional<std::string> bulk;
};

const std::string readTimedOut = "hardware error: target JTAG adapter data link read timed out",
                  erased = "Erase failed : ", downloaded = "Download failed : ",
                  verified = "Verify failed : ";
// clang-format off
const Row table[] = {
    {info, Fault::NoReply,    "Hardware error: target JTAG adapter data link read timed out.", "Hardware error: target JTAG adapter data link read timed out."},
    {info, Fault::WrongTag,   "Get loader info failed, unexpected tag returned.", "Get loader info failed, unexpected tag returned."},
    {info, Fault::Busy,       "Device ready.", "Device ready."},
    {info, Fault::Refused,    "Cannot purge RX.", std::nullopt},
    {info, Fault::Unplug,     "Write timed out.", "Write timed out."},
    {connect, Fault::NoReply,    readTimedOut, readTimedOut},
    {connect, Fault::WrongTag,   "connect failed, unexpected tag returned", "connect failed, unexpected tag returned"},
    {connect, Fault::Busy,       "connect failed", "connect failed"},
    {connect, Fault::Refused,    "cannot purge RX", std::nullopt},
    {connect, Fault::Unplug,     "write timed out", "Cannot open USB driver"},
    {erase, Fault::NoReply,    erased + readTimedOut, erased + readTimedOut},
    {erase, Fault::WrongTag,   erased + "memory erase failed, unexpected tag returned", erased + "memory erase failed, unexpected tag returned"},
    {erase, Fault::Busy,       downloaded + "memory write failed", downloaded + "memory write failed"},
    {erase, Fault::Unplug,     erased + "write timed out", erased + "write timed out"},
    {write, Fault::NoReply,    downloaded + readTimedOut, downloaded + readTimedOut},
    {write, Fault::WrongTag,   downloaded + "memory write failed, unexpected tag returned", downloaded + "memory write failed, unexpected tag returned"},
    {write, Fault::Busy,       verified + "crc check mismatch", verified + "crc check mismatch"},
    {write, Fault::Unplug,     downloaded + "write timed out", downloaded + "write timed out"},
    {crc, Fault::NoReply,    verified + readTimedOut, verified + readTimedOut},
    {crc, Fault::WrongTag,   "", ""},
    {crc, Fault::Busy,       verified + "crc check mismatch", verified + "crc check mismatch"},
    {crc, Fault::Unplug,     verified + "write timed out", verified + "write timed out"},
    {disconnect, Fault::NoReply,    readTimedOut, readTimedOut},
    {disconnect, Fault::WrongTag,   "disconnect failed, unexpected tag returned", "disconnect failed, unexpected tag returned"},
    {disconnect, Fault::Busy,       "", ""},
    {disconnect, Fault::Unplug,     "write timed out", "write timed out"},
};
// clang-format on

struct Case {
    uint16_t productId;
    Step step;
    Fault fault;
    std::string told;
};

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const Row& row : table) {
        if (row.ftdi)
            all.push_back({3, row.step, row.fault, *row.ftdi});
        if (row.bulk)
            all.push_back({6, row.step, row.fault, *row.bulk});
    }
    return all;
}

struct FaultMatrix : VirtualProbes, ::testing::WithParamInterface<Case> {
    const Case& pair = GetParam();
    const FirmwareImage& row = rowOf(pair.productId);
    // An older image of the offered one's size, so every block the update touches holds data.
    std::shared_ptr<sim::VirtualProbe> probe = sim::makeProbe(
        pair.productId, "SN100200",
        sim::buildFirmwareImage({.majorVersion = 0, .payloadSize = row.size - 0x40}));

    // The fault, as far as the probe plays it by itself. A spoilt reply is kept up for every
    // connect of the reopen loop; a busy connect is asked ten times on each.
    void script() {
        const Command command = pair.step.command;
        const bool reopenLoop = command == Command::Connect && pair.productId == 6;
        const std::function<void(sim::CommandStep)> plays[] = {
            [](sim::CommandStep at) { at.noReply(); },
            [](sim::CommandStep at) { at.wrongTag(0x5A); },
            [=](sim::CommandStep at) {
                at.busy(command != Command::Connect ? 1 : reopenLoop ? 110 : 10);
            },
            [this](sim::CommandStep) { probe->refuseVendorRequest(0x00, 1, 1); },  // purge RX, once
            [](sim::CommandStep at) { at.unplug(); }};
        const int first = reopenLoop ? 2 : pair.step.occurrence;
        const int last = reopenLoop && pair.fault <= Fault::WrongTag ? first + 10 : first;
        for (int occurrence = first; occurrence <= last; ++occurrence)
            plays[static_cast<int>(pair.fault)](probe->on(command, occurrence));
    }
};

}  // namespace

TEST_P(FaultMatrix, TheUserIsToldAndTheNextPressInstalls) {
    const QString told = QString::fromStdString(pair.told);
    bus.attach(probe);
    if (pair.step.command == Command::Info)
        script();
    WindowDriver program{context};
    if (pair.step.command == Command::Info) {
        EXPECT_EQ(
            program.summary(),
            told == "Device ready."
                ? told + " | " + row.name + " | SN100200 | hardware+firmware | <i>Not Installed</i>"
                : told + " |  |  | hardware | -");
        // Believing no firmware runs, the panel connects the running bulk probe directly.
        if (program.panel() && pair.productId == 6) {
            EXPECT_EQ(program.pressInstall(), QString::fromStdString(readTimedOut));
        }
    } else {
        ASSERT_TRUE(program.panel());
        script();
        const uint64_t before = clock.elapsedUs();
        const QString box = program.pressInstall();
        if (pair.fault == Fault::NoReply) {  // a reply that never comes costs the whole 60 s
            EXPECT_GE(clock.elapsedUs() - before, 60'000'000u);
        }
        EXPECT_EQ(box, told);
        EXPECT_EQ(program.updated(), told.isEmpty());
        EXPECT_TRUE(!program.updated() || holds(*probe, row));
    }
    EXPECT_TRUE(program.installEnabled() || !program.panel());
    EXPECT_TRUE(program.window->isPollingEnabled());

    // The fault goes; the user reads the box (a probe that restarted is back meanwhile, and the
    // window asks a probe it could not read again after 5 s), plugs the probe in again if it
    // left, and presses again.
    probe->clearScript();
    clock.sleepMs(5000);
    program.poll();
    if (!probe->isAttached())
        bus.reattach(pathOf("1-1"));
    ASSERT_TRUE(program.pollUntilPanel());
    EXPECT_EQ(program.pressInstall(), "");
    EXPECT_TRUE(program.updated());
    EXPECT_TRUE(holds(*probe, row));
    ASSERT_TRUE(program.pollUntilPanel());
    EXPECT_EQ(program.text("installedVersionLabel"), version(imageVersionDescription(row)));
}

INSTANTIATE_TEST_SUITE_P(Pairs, FaultMatrix, ::testing::ValuesIn(cases()), [](const auto& test) {
    const Case& c = test.param;
    return std::string(c.productId == 3 ? "Ftdi_" : "Bulk_") + c.step.name + "_" +
           faultNames[static_cast<int>(c.fault)];
});
