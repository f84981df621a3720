// The window and its poll: what it shows for no probe, one, several, one it cannot serve or
// cannot reach; the panel; the error box. (A loader that fails to answer is the fault matrix's.)
#include <QFont>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTextEdit>

#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"
#include "ui/ErrorReporter.h"

namespace {

using Poll = VirtualProbes;

const QString noProbe =
    "No devices connected, attach the Velantrix you wish to configure. |  |  |  | -";

}  // namespace

TEST_F(Poll, APanelComesStaysAndGoesWithItsProbe) {
    WindowDriver program{context};
    EXPECT_EQ(program.summary(), noProbe);
    EXPECT_EQ(program.text("serialNumberLabel"), "<b>Serial Number:</b> ");
    EXPECT_EQ(program.text("variantLabel"), "<b>Variant:</b> ");
    const auto probe = plug(3, "HR000001");
    program.poll();
    EXPECT_EQ(program.summary(),
              "Device ready. | Velantrix Heron | HR000001 | hardware+firmware | 2.10 - old");
    EXPECT_EQ(program.text("offeredVersionLabel"), version(imageVersionDescription(rowOf(3))));
    EXPECT_TRUE(program.installEnabled());
    // The same probe is left alone: its loader is not asked again.
    const VelantrixUpdaterWidget* panel = program.panel();
    program.poll();
    EXPECT_EQ(program.panel(), panel);
    EXPECT_EQ(probe->commandCount(sim::Command::Info), 1);
    // Unplugged: the first poll only takes the panel away, the next says what is attached.
    bus.detach(pathOf("1-1"));
    program.poll();
    EXPECT_EQ(program.summary(),
              "Device ready. | Velantrix Heron | HR000001 | hardware+firmware | -");
    program.poll();
    EXPECT_EQ(program.summary(), noProbe);
}

TEST_F(Poll, ASwappedProbeGetsAPanelOfItsOwnAndTwoAreOneTooMany) {
    plug(3, "HR000001", olderImage(), "1-1");
    WindowDriver program{context};
    bus.detach(pathOf("1-1"));
    plug(5, "EG000002", {}, "1-2");
    ASSERT_TRUE(program.pollUntilPanel());
    EXPECT_EQ(program.summary(),
              "Device ready. | Velantrix Egret | EG000002 | hardware+firmware "
              "| <i>Not Installed</i>");
    bus.reattach(pathOf("1-1"));
    program.poll();
    program.poll();
    EXPECT_EQ(program.summary(),
              "Multiple devices connected, attach only one Velantrix. |  |  |  | -");
}

TEST_F(Poll, ProbesItCannotServeOrCannotReachAreNamedAndLeftAlone) {
    WindowDriver program{context};
    plug(4, "04019999", {}, "1-1");  // product 4 is served from serial 04020000 on
    program.poll();
    EXPECT_EQ(program.summary(),
              "The attached Velantrix is not supported by Velantrix Update. |  |  |  | -");
    bus.remove(pathOf("1-1"));
    const auto kestrel = plug(16, "KS000016");
    program.poll();
    EXPECT_EQ(program.summary(),
              "The attached Velantrix cannot be updated over its USB connection "
              "by Velantrix Update. | Velantrix Kestrel | KS000016 | hardware | -");
    EXPECT_TRUE(kestrel->requests().empty());
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
    EXPECT_EQ(notes->lineWrapMode(), QTextEdit::NoWrap);
    // Wherever the platform honours a style hint (fontconfig does; the offscreen platform on
    // Windows, which only reads font files, does not), the notes come out fixed-pitch.
    QFont hintOnly(QStringLiteral("No Such Family"));
    hintOnly.setStyleHint(QFont::Monospace);
    if (QFontInfo(hintOnly).fixedPitch()) {
        EXPECT_EQ(QFontInfo(notes->font()).fixedPitch(), true);
    }
    EXPECT_TRUE(program.installButton()->isDefault());
    EXPECT_FALSE(program.find<QProgressBar>("progressBar")->isTextVisible());
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
    EXPECT_EQ(window.windowTitle(), "Velantrix Update");
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((window.geometry().center() - centre).manhattanLength(), 2);
}
