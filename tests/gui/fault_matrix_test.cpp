// Every loader command the program sends against every way the probe can misbehave at it, each
// through the whole program: the window's poll builds the panel, the install button runs the
// update, the error box or the status line says what went wrong. After each fault the user must
// be back in control (button enabled, polling on), nothing may claim success that was not
// verified, and once the fault is gone (the probe plugged back in where it left) the next press
// must install and verify the image.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "ProgramUnderTest.h"
#include "link/ProbeModels.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

using sim::Command;

namespace {

// ---- What the user sees ----

constexpr const char* kReadTimedOut =
    "hardware error: target JTAG adapter data link read timed out";
constexpr const char* kWriteTimedOut = "write timed out";

struct Outcome {
    enum Kind { Succeeds, ErrorBox, StatusLine, NotApplicable };
    Kind kind;
    std::string text;  // the box text, the status line, or why the pair means nothing
    // Faults met while the panel is built may leave a panel that believes something false about
    // the probe; its first update then ends in this box, and the next press must succeed.
    std::string firstPressBox = {};
};

Outcome succeeds() {
    return {Outcome::Succeeds, {}};
}
Outcome box(std::string text) {
    return {Outcome::ErrorBox, std::move(text)};
}
Outcome line(std::string text, std::string firstPressBox = {}) {
    return {Outcome::StatusLine, std::move(text), std::move(firstPressBox)};
}
Outcome notApplicable(std::string why) {
    return {Outcome::NotApplicable, std::move(why)};
}

// ---- Where and how the probe misbehaves ----

enum class Step { Info, Connect, Erase, Write, Crc, Disconnect };
enum class Fault {
    NoReply,
    ShortReply,
    WrongTag,
    StatusZero,
    Busy,
    RefusedVendor,
    Unplug,
    Corrupt
};

struct StepRow {
    Step step;
    const char* name;
    Command command;
    int occurrence;  // which request of that command misbehaves
};

// Faults land mid-phase where a phase has several requests, so that part of the work is done.
constexpr StepRow kSteps[] = {
    {Step::Info, "get-info (panel)", Command::Info, 1},
    {Step::Connect, "connect", Command::Connect, 1},
    {Step::Erase, "erase (3rd)", Command::Erase, 3},
    {Step::Write, "write (5th)", Command::Write, 5},
    {Step::Crc, "CRC (2nd)", Command::Crc, 2},
    {Step::Disconnect, "disconnect", Command::Disconnect, 1},
};

struct FaultRow {
    Fault fault;
    const char* name;
};

constexpr FaultRow kFaults[] = {
    {Fault::NoReply, "no reply"},   {Fault::ShortReply, "short"},
    {Fault::WrongTag, "wrong tag"}, {Fault::StatusZero, "status 0"},
    {Fault::Busy, "busy"},          {Fault::RefusedVendor, "refused"},
    {Fault::Unplug, "unplug"},      {Fault::Corrupt, "corrupt"},
};

// A short reply keeps all but the last byte; a wrong tag is one no command answers with.
constexpr uint8_t kWrongTag = 0x5A;
// The bridge refuses "purge receive buffer" (vendor request 0x00, value 1) once.
constexpr uint8_t kResetRequest = 0x00;
constexpr uint16_t kPurgeRx = 1;

// ---- The expected outcome of every pair ----
//
// The FTDI probe (product id 3) runs firmware that hands over to its loader in place, so the
// update connects once. The bulk probe (product id 6) restarts into its loader when connected
// and is connected again up to eleven times; its connect faults are therefore kept up for every
// connect after the first, so that the last attempt's message is what the user sees (a passing
// fault is retried away: see TransientConnectFaultsAreRetriedAwayByTheReopenLoop).
//
// Pairs whose outcome is not simply the fault's own message, and why:
// - busy (status 0xFF) is success for every command but connect; the probe did nothing, so the
//   damage shows up later: an unerased block refuses the write, an unwritten block fails the CRC.
// - the CRC reply's tag and status are not examined, so a wrong tag there is harmless, while
//   status 0 and busy carry a CRC of zero, which does not match.
// - status 0 and busy answers to get-info are full-length replies without the firmware magic:
//   the panel shows "Not Installed". The bulk probe is still running firmware then, so its
//   first update connects directly, the probe restarts into its loader under the request, and
//   the press ends in the read time-out; the next press opens a fresh link to the loader.
// - a corrupted flash matters to the CRC check (cells damaged after writing) and to the write
//   (a cell programmed wrongly); before the update it is erased and rewritten; a damaged image
//   header makes the panel show "Not Installed"; after verification nobody can see it.
// - the plain bulk link sends no vendor requests; the FTDI link sends them only when it is set
//   up (panel) and to purge around connect and disconnect.
struct Expectation {
    Step step;
    Fault fault;
    Outcome ftdi;
    Outcome bulk;
};

std::string erase(const char* message) {
    return std::string("Erase failed : ") + message;
}
std::string download(const char* message) {
    return std::string("Download failed : ") + message;
}
std::string verify(const char* message) {
    return std::string("Verify failed : ") + message;
}

const std::string kReadTimedOutLine =
    "Hardware error: target JTAG adapter data link read timed out.";
const std::string kNoVendorRequests = "the bulk link sends no vendor requests";
const std::string kNoVendorRequestHere = "no vendor request during this phase";

const std::vector<Expectation>& expectations() {
    // clang-format off
    static const std::vector<Expectation> table = {
        // step              fault                FTDI probe (3)                                        bulk probe (6)
        {Step::Info,       Fault::NoReply,       line(kReadTimedOutLine),                               line(kReadTimedOutLine)},
        {Step::Info,       Fault::ShortReply,    line(kReadTimedOutLine),                               line(kReadTimedOutLine)},
        {Step::Info,       Fault::WrongTag,      line("Get loader info failed, unexpected tag returned."), line("Get loader info failed, unexpected tag returned.")},
        {Step::Info,       Fault::StatusZero,    line("Device ready."),                                 line("Device ready.", kReadTimedOut)},
        {Step::Info,       Fault::Busy,          line("Device ready."),                                 line("Device ready.", kReadTimedOut)},
        {Step::Info,       Fault::RefusedVendor, line("Cannot purge RX."),                              notApplicable(kNoVendorRequests)},
        {Step::Info,       Fault::Unplug,        line("Write timed out."),                              line("Write timed out.")},
        {Step::Info,       Fault::Corrupt,       line("Device ready."),                                 line("Device ready.")},

        {Step::Connect,    Fault::NoReply,       box(kReadTimedOut),                                    box(kReadTimedOut)},
        {Step::Connect,    Fault::ShortReply,    box(kReadTimedOut),                                    box(kReadTimedOut)},
        {Step::Connect,    Fault::WrongTag,      box("connect failed, unexpected tag returned"),        box("connect failed, unexpected tag returned")},
        {Step::Connect,    Fault::StatusZero,    box("connect failed"),                                 box("connect failed")},
        {Step::Connect,    Fault::Busy,          box("connect failed"),                                 box("connect failed")},
        {Step::Connect,    Fault::RefusedVendor, box("cannot purge RX"),                                notApplicable(kNoVendorRequests)},
        {Step::Connect,    Fault::Unplug,        box(kWriteTimedOut),                                   box("Cannot open USB driver")},
        {Step::Connect,    Fault::Corrupt,       succeeds(),                                            succeeds()},

        {Step::Erase,      Fault::NoReply,       box(erase(kReadTimedOut)),                             box(erase(kReadTimedOut))},
        {Step::Erase,      Fault::ShortReply,    box(erase(kReadTimedOut)),                             box(erase(kReadTimedOut))},
        {Step::Erase,      Fault::WrongTag,      box(erase("memory erase failed, unexpected tag returned")), box(erase("memory erase failed, unexpected tag returned"))},
        {Step::Erase,      Fault::StatusZero,    box(erase("memory erase failed")),                     box(erase("memory erase failed"))},
        {Step::Erase,      Fault::Busy,          box(download("memory write failed")),                  box(download("memory write failed"))},
        {Step::Erase,      Fault::RefusedVendor, notApplicable(kNoVendorRequestHere),                   notApplicable(kNoVendorRequests)},
        {Step::Erase,      Fault::Unplug,        box(erase(kWriteTimedOut)),                            box(erase(kWriteTimedOut))},
        {Step::Erase,      Fault::Corrupt,       notApplicable("damage before the erase is erased"),   notApplicable("damage before the erase is erased")},

        {Step::Write,      Fault::NoReply,       box(download(kReadTimedOut)),                          box(download(kReadTimedOut))},
        {Step::Write,      Fault::ShortReply,    box(download(kReadTimedOut)),                          box(download(kReadTimedOut))},
        {Step::Write,      Fault::WrongTag,      box(download("memory write failed, unexpected tag returned")), box(download("memory write failed, unexpected tag returned"))},
        {Step::Write,      Fault::StatusZero,    box(download("memory write failed")),                  box(download("memory write failed"))},
        {Step::Write,      Fault::Busy,          box(verify("crc check mismatch")),                     box(verify("crc check mismatch"))},
        {Step::Write,      Fault::RefusedVendor, notApplicable(kNoVendorRequestHere),                   notApplicable(kNoVendorRequests)},
        {Step::Write,      Fault::Unplug,        box(download(kWriteTimedOut)),                         box(download(kWriteTimedOut))},
        {Step::Write,      Fault::Corrupt,       box(verify("crc check mismatch")),                     box(verify("crc check mismatch"))},

        {Step::Crc,        Fault::NoReply,       box(verify(kReadTimedOut)),                            box(verify(kReadTimedOut))},
        {Step::Crc,        Fault::ShortReply,    box(verify(kReadTimedOut)),                            box(verify(kReadTimedOut))},
        {Step::Crc,        Fault::WrongTag,      succeeds(),                                            succeeds()},
        {Step::Crc,        Fault::StatusZero,    box(verify("crc check mismatch")),                     box(verify("crc check mismatch"))},
        {Step::Crc,        Fault::Busy,          box(verify("crc check mismatch")),                     box(verify("crc check mismatch"))},
        {Step::Crc,        Fault::RefusedVendor, notApplicable(kNoVendorRequestHere),                   notApplicable(kNoVendorRequests)},
        {Step::Crc,        Fault::Unplug,        box(verify(kWriteTimedOut)),                           box(verify(kWriteTimedOut))},
        {Step::Crc,        Fault::Corrupt,       box(verify("crc check mismatch")),                     box(verify("crc check mismatch"))},

        {Step::Disconnect, Fault::NoReply,       box(kReadTimedOut),                                    box(kReadTimedOut)},
        {Step::Disconnect, Fault::ShortReply,    box(kReadTimedOut),                                    box(kReadTimedOut)},
        {Step::Disconnect, Fault::WrongTag,      box("disconnect failed, unexpected tag returned"),     box("disconnect failed, unexpected tag returned")},
        {Step::Disconnect, Fault::StatusZero,    box("disconnect failed"),                              box("disconnect failed")},
        {Step::Disconnect, Fault::Busy,          succeeds(),                                            succeeds()},
        {Step::Disconnect, Fault::RefusedVendor, box("cannot purge RX"),                                notApplicable(kNoVendorRequests)},
        {Step::Disconnect, Fault::Unplug,        box(kWriteTimedOut),                                   box(kWriteTimedOut)},
        {Step::Disconnect, Fault::Corrupt,       notApplicable("after verification nobody can tell"), notApplicable("after verification nobody can tell")},
    };
    // clang-format on
    return table;
}

// ---- One run of the program ----

struct Variant {
    uint16_t productId;
    const char* serial;
    const char* title;
    bool reopens;  // restarts into its loader when connected while running firmware
};

constexpr Variant kFtdiProbe{3, "HE100200", "FTDI probe (product id 3)", false};
constexpr Variant kBulkProbe{6, "OS100200", "bulk probe (product id 6)", true};

const FirmwareImage& catalogueRow(const Variant& variant) {
    USBDeviceInfo info;
    info.vendorId = probeVendorId;
    info.productId = variant.productId;
    info.serialNumber = variant.serial;
    return *findFirmwareImage(info);
}

// An older image of the catalogue image's size, so every block the update touches holds data.
std::vector<uint8_t> olderImage(const FirmwareImage& row) {
    return sim::buildFirmwareImage({.majorVersion = 0,
                                    .minorVersion = 9,
                                    .buildText = "Build: factory",
                                    .payloadSize = row.size - 0x40});
}

// The faults that spoil one reply: the probe says nothing, too little, the wrong tag, or no.
// Answers false for a fault of another kind.
bool scriptReplyFault(sim::CommandStep at, Fault fault, Command command) {
    switch (fault) {
        case Fault::NoReply:
            at.noReply();
            return true;
        case Fault::ShortReply:
            at.shortReply(static_cast<int>(sim::replySize(command) - 1));
            return true;
        case Fault::WrongTag:
            at.wrongTag(kWrongTag);
            return true;
        case Fault::StatusZero:
            at.fail();
            return true;
        default:
            return false;
    }
}

// Scripts the fault on the command, as far as the probe can do it by itself.
void scriptCommandFault(sim::VirtualProbe& probe, const Variant& variant, const StepRow& step,
                        Fault fault) {
    const bool reopenLoop = step.step == Step::Connect && variant.reopens;
    const int first = reopenLoop ? 2 : step.occurrence;
    // The reopen loop connects eleven times; each busy connect is asked ten times.
    const int last = reopenLoop ? first + 10 : first;
    for (int occurrence = first; occurrence <= last; ++occurrence) {
        sim::CommandStep at = probe.on(step.command, occurrence);
        if (scriptReplyFault(at, fault, step.command))
            continue;
        switch (fault) {
            case Fault::Busy:
                at.busy(step.command == Command::Connect ? (last - first + 1) * 10 : 1);
                return;
            case Fault::Unplug:
                at.unplug();
                return;
            case Fault::Corrupt:
                if (step.command == Command::Write)
                    at.corruptWrite(100);
                return;
            default:  // a refused vendor request is scripted on the bridge, not on a command
                return;
        }
    }
}

struct CellResult {
    std::string observed;  // short form for the table
    std::vector<std::string> problems;
};

std::string describe(const ProgramUnderTest::Press& press) {
    if (press.reportedSuccess)
        return "success";
    return press.boxCount ? "box \"" + press.box.toStdString() + "\"" : std::string("no box");
}

class MatrixRun {
public:
    MatrixRun(const Variant& v, const StepRow& s, Fault f, const Outcome& e)
        : variant(v), step(s), fault(f), expected(e), row(catalogueRow(v)) {}

    CellResult run() {
        const std::vector<uint8_t> older = olderImage(row);
        probe = sim::makeProbe(variant.productId, variant.serial, older);
        if (step.step == Step::Info && fault == Fault::Corrupt)
            probe->corruptFlashByte(row.address);  // the image header's magic
        path = scope.bus().attach(probe);
        if (step.step == Step::Info)
            armBeforeThePanel();

        ProgramUnderTest program;
        if (step.step == Step::Info)
            checkPanelConstruction(program);
        else
            checkFaultedUpdate(program);
        checkRecovery(program);
        return result;
    }

private:
    void check(bool ok, const std::string& what) {
        if (!ok)
            result.problems.push_back(what);
    }

    void armBeforeThePanel() {
        if (fault == Fault::RefusedVendor)
            probe->refuseVendorRequest(kResetRequest, kPurgeRx, 1);
        else
            scriptCommandFault(*probe, variant, step, fault);
    }

    void checkPanelConstruction(ProgramUnderTest& program) {
        const std::string shown = program.status().toStdString();
        result.observed = program.panelShown() ? "panel" : "line";
        check(shown == expected.text, "status line \"" + shown + "\"");
        check(program.panelShown() == (expected.text == "Device ready."),
              "panel shown only when the probe answered");
        check(program.firmwareAreaEnabled() == program.panelShown(),
              "firmware area enabled only with a panel");
        check(program.window->isPollingEnabled(), "polling on");
        if (fault == Fault::Corrupt || fault == Fault::StatusZero || fault == Fault::Busy)
            check(program.installedVersion() ==
                      QStringLiteral("<b>Version: </b><i>Not Installed</i>"),
                  "no firmware shown as installed");
        if (!expected.firstPressBox.empty()) {
            const auto press = program.pressInstall();
            check(press.box.toStdString() == expected.firstPressBox && !press.reportedSuccess,
                  "first press ended in " + describe(press));
            check(press.buttonEnabled && press.pollingEnabled, "idle after the first press");
        }
    }

    // Faults the probe cannot script by itself are applied as the update reaches them.
    void armAlongTheUpdate(ProgramUnderTest& program) {
        if (fault == Fault::RefusedVendor && step.step == Step::Connect)
            probe->refuseVendorRequest(kResetRequest, kPurgeRx, 1);
        if (fault == Fault::Corrupt && step.step == Step::Connect)
            probe->corruptFlashByte(row.address + 0x2000 + 17);
        const bool hooked = (fault == Fault::RefusedVendor && step.step == Step::Disconnect) ||
                            (fault == Fault::Corrupt && step.step == Step::Crc);
        if (!hooked)
            return;
        auto phase = std::make_shared<std::string>();
        hook = QObject::connect(
            program.panel(), &UpdaterWidget::progress, program.panel(),
            [this, phase](int done, int, const char* task, const char*) {
                if (task)
                    *phase = task;
                if (*phase != "Verifying firmware")
                    return;
                if (step.step == Step::Crc && done == 0)
                    probe->corruptFlashByte(row.address + 0x2000 + 17);  // in the second block
                if (step.step == Step::Disconnect && done == static_cast<int>(row.size))
                    probe->refuseVendorRequest(kResetRequest, kPurgeRx, 1);
            });
    }

    void checkFaultedUpdate(ProgramUnderTest& program) {
        check(program.pollUntilPanel(1) && program.status() == QStringLiteral("Device ready."),
              "panel built before the fault");
        scriptCommandFault(*probe, variant, step, fault);
        armAlongTheUpdate(program);
        const uint64_t before = clock.clock().elapsedUs();
        const auto press = program.pressInstall();
        QObject::disconnect(hook);
        // A reply that never comes costs the link's whole 60 s bound, on the virtual clock.
        if (fault == Fault::NoReply)
            check(clock.clock().elapsedUs() - before >= 60'000'000u, "waited the 60 s bound");
        result.observed = press.reportedSuccess ? "ok" : press.boxCount ? "box" : "none";
        check(press.boxCount <= 1, "at most one box");
        if (expected.kind == Outcome::Succeeds) {
            check(press.reportedSuccess && press.boxCount == 0, "success, got " + describe(press));
        } else {
            check(press.box.toStdString() == expected.text, "box text: " + describe(press));
            check(!press.reportedSuccess, "no success reported");
            check(program.boxes.boxes.empty() || program.boxes.boxes.back().title == "Error",
                  "box titled Error");
        }
        check(press.buttonEnabled, "install button enabled afterwards");
        check(press.pollingEnabled, "polling on afterwards");
        if (press.reportedSuccess)
            check(probe->flashCrc(row.address, row.size) == ProgramUnderTest::imageCrc(row),
                  "success with the image in flash");
    }

    // The fault goes away (and the probe is plugged in again where it left); the next press
    // installs and verifies the image, and a fresh panel reads it back.
    void checkRecovery(ProgramUnderTest& program) {
        probe->clearScript();
        // The user reads the box; a probe that restarted is back on the bus by then, and the
        // poll sees whatever is attached now.
        clock.clock().sleepMs(2000);
        program.poll();
        if (!probe->isAttached())
            scope.bus().reattach(path);
        check(program.pollUntilPanel(), "panel back after the fault");
        const auto press = program.pressInstall();
        check(press.reportedSuccess && press.boxCount == 0, "repeat update: " + describe(press));
        check(press.buttonEnabled && press.pollingEnabled, "idle after the repeat update");
        check(probe->flashCrc(row.address, row.size) == ProgramUnderTest::imageCrc(row),
              "image in flash after the repeat update");
        check(program.pollUntilPanel() &&
                  program.installedVersion() == ProgramUnderTest::installedLine(row),
              "new version read back: " + program.installedVersion().toStdString());
    }

    const Variant& variant;
    const StepRow& step;
    const Fault fault;
    const Outcome& expected;
    const FirmwareImage& row;
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    std::shared_ptr<sim::VirtualProbe> probe;
    std::string path;
    QMetaObject::Connection hook;
    CellResult result;
};

const Outcome& expectedFor(const Variant& variant, Step step, Fault fault) {
    for (const Expectation& e : expectations()) {
        if (e.step == step && e.fault == fault)
            return variant.productId == kFtdiProbe.productId ? e.ftdi : e.bulk;
    }
    throw std::logic_error("pair missing from the table");
}

void runMatrix(const Variant& variant) {
    std::string table = std::string("\n") + variant.title + "\n";
    char cell[32];
    std::snprintf(cell, sizeof cell, "%-18s", "");
    table += cell;
    for (const FaultRow& f : kFaults) {
        std::snprintf(cell, sizeof cell, "%-11s", f.name);
        table += cell;
    }
    table += "\n";

    for (const StepRow& step : kSteps) {
        std::snprintf(cell, sizeof cell, "%-18s", step.name);
        table += cell;
        for (const FaultRow& f : kFaults) {
            const Outcome& expected = expectedFor(variant, step.step, f.fault);
            std::string shown = "n/a";
            if (expected.kind != Outcome::NotApplicable) {
                const CellResult result = MatrixRun(variant, step, f.fault, expected).run();
                shown = result.observed + (result.problems.empty() ? " ok" : " FAIL");
                for (const std::string& problem : result.problems)
                    ADD_FAILURE() << variant.title << ", " << step.name << ", " << f.name << ": "
                                  << problem;
            }
            std::snprintf(cell, sizeof cell, "%-11s", shown.c_str());
            table += cell;
        }
        table += "\n";
    }
    table +=
        "(box: error box with the expected text; line: status line; panel: panel built; ok after "
        "it: every check held)\n";
    std::fputs(table.c_str(), stdout);
}

}  // namespace

TEST(FaultMatrix, FtdiProbeThroughTheWholeProgram) {
    runMatrix(kFtdiProbe);
}

TEST(FaultMatrix, BulkProbeThroughTheWholeProgram) {
    runMatrix(kBulkProbe);
}

// The bulk probe running older firmware, attached before the window opens.
struct BulkProbeShown {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    const FirmwareImage& row = catalogueRow(kBulkProbe);
    std::shared_ptr<sim::VirtualProbe> probe =
        sim::makeProbe(kBulkProbe.productId, kBulkProbe.serial, olderImage(row));
    std::string path = scope.bus().attach(probe);
    ProgramUnderTest program;
};

// A fault on one connect of the reopen loop is no failure: the loop connects again.
TEST(FaultMatrix, TransientConnectFaultsAreRetriedAwayByTheReopenLoop) {
    for (const Fault fault :
         {Fault::NoReply, Fault::ShortReply, Fault::WrongTag, Fault::StatusZero}) {
        SCOPED_TRACE(static_cast<int>(fault));
        BulkProbeShown shown;
        auto [row, probe, program] = std::tie(shown.row, shown.probe, shown.program);
        ASSERT_TRUE(program.pollUntilPanel(1));
        scriptReplyFault(probe->on(Command::Connect, 2), fault, Command::Connect);
        const auto press = program.pressInstall();
        EXPECT_TRUE(press.reportedSuccess) << describe(press);
        EXPECT_EQ(probe->flashCrc(row.address, row.size), ProgramUnderTest::imageCrc(row));
        EXPECT_EQ(probe->commandCount(Command::Connect), 3);
    }
}

// A reply the host gave up on (its transfer failed, the probe had answered all the same) must not
// answer the next update's commands: on the bulk link nothing else would ever clear it, and every
// command would read its predecessor's reply from then on.
TEST(FaultMatrix, AReplyLeftInTheBulkPipeDoesNotShiftLaterReplies) {
    BulkProbeShown shown;
    auto [row, probe, program] = std::tie(shown.row, shown.probe, shown.program);
    ASSERT_TRUE(program.pollUntilPanel(1));

    // Once two blocks are erased, the IN transfer meant to carry the third erase's reply fails
    // (the erase request goes out first, then the read).
    bool armed = false;
    QObject::connect(
        program.panel(), &UpdaterWidget::progress, program.panel(),
        [&](int done, int, const char*, const char*) {
            if (!armed && done == 2 * 0x2000) {
                armed = true;
                probe->atRequest(static_cast<int>(probe->requests().size()) + 2).fail();
            }
        });
    EXPECT_EQ(program.pressInstall().box.toStdString(),
              "Erase failed : hardware error: target JTAG adapter data link read timed out");
    EXPECT_EQ(probe->pendingReplyBytes(), 2u);  // the erase's reply, never read
    probe->clearScript();

    const auto again = program.pressInstall();
    EXPECT_TRUE(again.reportedSuccess) << again.box.toStdString();
    EXPECT_EQ(probe->flashCrc(row.address, row.size), ProgramUnderTest::imageCrc(row));
}

// The serial number and the installed build text come from the probe and end up in labels that
// render markup; an <img> there would have the label read the named file (/dev/zero: forever).
TEST(FaultMatrix, MarkupInWhatTheProbeReportsIsShownAsText) {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    const char* markup = "<img src=/nonexistent>";
    const std::vector<uint8_t> image =
        sim::buildFirmwareImage({.majorVersion = 1, .buildText = markup, .payloadSize = 4096});
    scope.bus().attach(sim::makeProbe(kFtdiProbe.productId, markup, image));
    ProgramUnderTest program;
    ASSERT_TRUE(program.pollUntilPanel(1));
    EXPECT_EQ(program.window->findChild<QLabel*>(QStringLiteral("serialNumberLabel"))->text(),
              QStringLiteral("<b>Serial Number:</b> &lt;img src=/nonexistent&gt;"));
    EXPECT_EQ(program.installedVersion(),
              QStringLiteral("<b>Version: </b>1.0 - &lt;img src=/nonexistent&gt;"));
}
