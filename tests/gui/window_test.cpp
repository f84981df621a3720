// The window and its poll: what it shows for no probe, one, several, one it cannot serve or
// cannot reach; the panel; the error box. (A loader that fails to answer is the fault matrix's.)
#include <QGuiApplication>
#include <QScreen>
#include <QTextEdit>

#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"
#include "ui/ErrorReporter.h"

namespace {

using Poll = VirtualProbes;

// What the poll tells apart, each made of probes whose serial numbers end in `n`.
enum Situation { NoProbe, Supported, Unsupported, Unreachable, Several, Error };
const char* const situationNames[] = {"no probe",    "supported", "unsupported",
                                      "unreachable", "several",   "error"};

// Plugs in the probes of `situation`, their serial numbers ending in `n`, from port 1-`n` on,
// every other port; answers their paths.
std::vector<std::string> plugSituation(VirtualProbes& probes, Situation situation, char n) {
    const auto serial = [n](const char* prefix) { return prefix + std::string(1, n); };
    const std::vector<std::pair<uint16_t, std::string>> plugs[] = {
        {},
        {{3, serial("HR00000")}},
        {{4, serial("0401999")}},  // early Wrens are served no image
        {{16, serial("KS00000")}},
        {{3, serial("HR00000")}, {5, serial("EG00000")}},
        {{3, serial("HE00000")}},
    };
    std::vector<std::string> paths;
    for (const auto& [productId, serialNumber] : plugs[situation]) {
        const std::string port{'1', '-', static_cast<char>(paths.empty() ? n : n + 2)};
        const auto probe = probes.plug(productId, serialNumber, VirtualProbes::olderImage(), port);
        for (int occurrence = 1; situation == Error && occurrence <= 3; ++occurrence)
            probe->on(sim::Command::Info, occurrence).noReply();
        paths.push_back(VirtualProbes::pathOf(port));
    }
    return paths;
}

// What the window shows once the poll has settled on each situation (its probes' serial numbers
// ending in 2), whatever came before.
const QString settled[] = {
    "No devices connected, attach the Velantrix you wish to configure. |  |  |  | -",
    "Device ready. | Velantrix Heron | HR000002 | hardware+firmware | 2.10 - old",
    "The attached Velantrix is not supported by Velantrix Update. |  |  |  | -",
    "The attached Velantrix cannot be updated over its USB connection by Velantrix Update. "
    "| Velantrix Kestrel | KS000002 | hardware | -",
    "Multiple devices connected, attach only one Velantrix. |  |  |  | -",
    "Hardware error: target JTAG adapter data link read timed out. |  |  | hardware | -",
};
// A shown panel is only taken away by the tick that finds its probe gone.
const QString panelTakenAway = "Device ready. | Velantrix Heron | HR000001 | hardware+firmware | -";

}  // namespace

TEST(PollSituations, EachFollowsEachWithinOneTickOrTwoAfterAPanel) {
    for (const Situation from : {NoProbe, Supported, Unsupported, Unreachable, Several, Error})
        for (const Situation to : {NoProbe, Supported, Unsupported, Unreachable, Several, Error}) {
            SCOPED_TRACE(std::string(situationNames[from]) + " to " + situationNames[to]);
            struct : VirtualProbes {
                void TestBody() override {}
            } probes;
            const std::vector<std::string> before = plugSituation(probes, from, '1');
            WindowDriver program{probes.context};
            program.poll();  // settled: a probe that failed is asked again after 5 s only
            for (const std::string& path : before)
                probes.bus.remove(path);
            plugSituation(probes, to, '2');
            program.poll();
            if (from == Supported) {
                EXPECT_EQ(program.summary(), panelTakenAway);
                program.poll();
            }
            EXPECT_EQ(program.summary(), settled[to]);
        }
}

TEST_F(Poll, TheSameProbeKeepsItsPanelAndAnUnsupportedOneItsLabels) {
    WindowDriver program{context};
    EXPECT_EQ(program.text("serialNumberLabel"), "<b>Serial Number:</b> ");
    EXPECT_EQ(program.text("variantLabel"), "<b>Variant:</b> ");
    const auto probe = plug(3, "HR000001");
    program.poll();
    const VelantrixUpdaterWidget* panel = program.panel();
    program.poll();
    EXPECT_EQ(program.panel(), panel);
    EXPECT_EQ(probe->commandCount(sim::Command::Info), 1);  // its loader is not asked again
    // In its place a probe that cannot be reached ...
    bus.remove(pathOf("1-1"));
    plug(16, "04019999");
    program.poll();
    program.poll();
    // ... and then the same probe (its serial number) as one not supported: the labels stay.
    bus.remove(pathOf("1-1"));
    plug(4, "04019999");
    program.poll();
    EXPECT_EQ(program.summary(),
              "The attached Velantrix is not supported by Velantrix Update. | Velantrix Kestrel "
              "| 04019999 | hardware | -");
}

TEST_F(Poll, ThePanelShowsWhatTheProbeReportsAsTextAndTheNotesForReading) {
    // An <img> in a label that renders markup would have it read the named file.
    const char* markup = "<img src=/nonexistent>";
    plug(3, markup, sim::buildFirmwareImage({.majorVersion = 1, .buildText = markup}));
    WindowDriver program{context};
    EXPECT_EQ(program.summary(),
              "Device ready. | Velantrix Heron | &lt;img src=/nonexistent&gt; "
              "| hardware+firmware | 1.0 - &lt;img src=/nonexistent&gt;");
    const auto* notes = program.find<QTextEdit>("releaseNotesView");
    EXPECT_EQ(notes->toPlainText(), QString::fromLatin1(rowOf(3).releaseNotes));
    EXPECT_TRUE(notes->isReadOnly());
}

TEST_F(Poll, FailuresWaitForTheEventLoopAndGetABoxEachOneAfterTheOther) {
    WindowDriver program{context};
    reportingErrors([] { throw HException("Verify failed : crc check mismatch"); });
    reportingErrors([] { throw HException("write timed out"); });
    EXPECT_TRUE(program.boxes.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(program.boxes,
              (QStringList{"Verify failed : crc check mismatch", "write timed out"}));
}

TEST_F(Poll, TheWindowOpensCentredOnTheScreen) {
    const Updater window(context);
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((window.geometry().center() - centre).manhattanLength(), 2);
}
