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

// What the user is told: the status line after get-info (the whole window where it shows a
// panel), the error box after the others ("" for a verified update); null where the pair means
// nothing on that probe.
struct Row {
    Step step;
    Fault fault;
    std::optional<std::string> ftdi, bulk;
};

const std::string readTimedOut = "hardware error: target JTAG adapter data link read timed out",
                  erased = "Erase failed : ", downloaded = "Download failed : ",
                  verified = "Verify failed : ";
// clang-format off
const Row table[] = {
    {info, Fault::NoReply,    "Hardware error: target JTAG adapter data link read timed out.", "Hardware error: target JTAG adapter data link read timed out."},
    {info, Fault::WrongTag,   "Get loader info failed, unexpected tag returned.", "Get loader info failed, unexpected tag returned."},
    {info, Fault::Busy,       "Device ready. | Velantrix Heron | SN100200 | hardware+firmware | <i>Not Installed</i>", "Device ready. | Velantrix Osprey | SN100200 | hardware+firmware | <i>Not Installed</i>"},
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
    {write, Fault::NoReply,    downloaded + readTimedOut, downloaded + readTimedOut},
    {write, Fault::WrongTag,   downloaded + "memory write failed, unexpected tag returned", downloaded + "memory write failed, unexpected tag returned"},
    {write, Fault::Busy,       verified + "crc check mismatch", verified + "crc check mismatch"},
    {write, Fault::Unplug,     downloaded + "write timed out", downloaded + "write timed out"},
    {crc, Fault::NoReply,    verified + readTimedOut, verified + readTimedOut},
    {crc, Fault::WrongTag,   "", ""},
    {crc, Fault::Busy,       verified + "crc check mismatch", verified + "crc check mismatch"},
    {disconnect, Fault::NoReply,    readTimedOut, readTimedOut},
    {disconnect, Fault::WrongTag,   "disconnect failed, unexpected tag returned", "disconnect failed, unexpected tag returned"},
    {disconnect, Fault::Busy,       "", ""},
};
// clang-format on

struct Case : Row {
    uint16_t productId;
};

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const Row& row : table)
        for (const uint16_t productId : std::initializer_list<uint16_t>{3, 6})
            if (productId == 3 ? row.ftdi : row.bulk)
                all.push_back({row, productId});
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
    const QString told = QString::fromStdString(*(pair.productId == 3 ? pair.ftdi : pair.bulk));
    bus.attach(probe);
    if (pair.step.command == Command::Info)
        script();
    WindowDriver program{context};
    if (pair.step.command == Command::Info) {
        EXPECT_EQ(program.summary(), told.contains('|') ? told : told + " |  |  | hardware | -");
        // Believing no firmware runs, the panel connects the running bulk probe directly.
        if (program.panel() && pair.productId == 6) {
            EXPECT_EQ(program.pressInstall(), QString::fromStdString(readTimedOut));
        }
    } else {
        ASSERT_TRUE(program.panel());
        script();
        EXPECT_EQ(program.pressInstall(), told);
        EXPECT_EQ(program.updated(), told.isEmpty());
        EXPECT_TRUE(!program.updated() || holds(*probe, row));
    }
    EXPECT_TRUE((program.installEnabled() || !program.panel()) &&
                program.window->isPollingEnabled());

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
    EXPECT_TRUE(program.updated() && holds(*probe, row));
}

INSTANTIATE_TEST_SUITE_P(Pairs, FaultMatrix, ::testing::ValuesIn(cases()), [](const auto& test) {
    const Case& c = test.param;
    return std::string(c.productId == 3 ? "Ftdi_" : "Bulk_") + c.step.name + "_" +
           faultNames[static_cast<int>(c.fault)];
});
