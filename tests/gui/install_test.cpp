// Whole updates through the install button: each variant the program has a link for is
// written, verified and read back, with the button and the poll off while it runs, and the
// window alive and saying so while a probe restarts into its loader. (A probe pulled out in the
// middle is the fault matrix's.)
#include <QProgressBar>
#include <tuple>

#include "firmware/UpdateHistory.h"
#include "platform/HistoryFile.h"
#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"

using Install = VirtualProbes;

TEST_F(Install, EveryLinkedVariantIsWrittenVerifiedAndReadBackWhileTheWindowWaits) {
    const std::tuple<uint16_t, std::vector<uint8_t>, QString> variants[] = {
        {3, olderImage(), ""},
        {5, {}, ""},
        {6, olderImage(), "Waiting for the Velantrix to come back (attempt 1 of 11)."}};
    for (const auto& [productId, installed, firstWait] : variants) {
        SCOPED_TRACE(productId);
        const auto probe = plug(productId, "SN000001", installed);
        const FirmwareImage& row = rowOf(productId);
        WindowDriver program{context};
        ASSERT_TRUE(program.panel());
        // Inside every report: the button and the poll are off, and the window shows it.
        QStringList phases;
        const auto* bar = program.find<QProgressBar>("progressBar");
        QObject::connect(
            program.panel(), &UpdaterWidget::progress, program.panel(),
            [&](int done, int, const char* task, const char*) {
                EXPECT_FALSE(program.installEnabled() || program.window->isPollingEnabled());
                if (task)
                    phases << QString::fromLatin1(task);
                const bool whole = done == static_cast<int>(row.size);
                EXPECT_EQ(bar->maximum(), static_cast<int>(row.size));
                EXPECT_EQ(bar->value(), whole ? 0 : done);
                EXPECT_EQ(program.status(), whole ? "" : phases.back() + ".");
            });
        // What the status line said whenever the event loop ran while waiting for a restart.
        QStringList waiting;
        QTimer loop;
        QObject::connect(&loop, &QTimer::timeout, [&] {
            if (!program.status().startsWith(QStringLiteral("Waiting")))
                return;
            waiting << program.status();
            EXPECT_FALSE(program.installEnabled() || program.window->isPollingEnabled());
        });
        loop.start(0);
        EXPECT_EQ(program.pressInstall(), "");
        EXPECT_EQ(waiting.value(0), firstWait);
        EXPECT_TRUE(program.updated() && program.installEnabled());
        EXPECT_TRUE(program.window->isPollingEnabled());
        EXPECT_TRUE(holds(*probe, row));
        EXPECT_EQ(phases, (QStringList{"Erasing memory, do not remove Velantrix",
                                       "Downloading firmware, do not remove Velantrix",
                                       "Verifying firmware"}));

        // The stale panel goes at the next poll; the one after reads the new version back.
        program.poll();
        EXPECT_FALSE(program.panel());
        program.poll();
        ASSERT_TRUE(program.panel());
        EXPECT_EQ(program.text("installedVersionLabel"), version(imageVersionDescription(row)));
        bus.remove(pathOf("1-1"));
    }
}

// Each press adds one line to the history, in the test program's own state folder.
TEST_F(Install, EveryUpdateTheWindowRunsIsRecorded) {
    const std::string file = platform::defaultHistoryPath().value();
    const std::size_t earlier = readHistory(file).entries.size();  // the other tests' updates
    const auto probe = plug(3, "SN000001");
    probe->on(sim::Command::Write, 2).fail();
    WindowDriver program{context};
    ASSERT_TRUE(program.panel());
    const QString failure = program.pressInstall();
    EXPECT_EQ(program.pressInstall(), "");
    const HistoryRead read = readHistory(file);
    ASSERT_EQ(read.entries.size(), earlier + 2);
    const UpdateRecord& failed = read.entries[earlier].record;
    EXPECT_EQ(failed.message, failure.toStdString());
    EXPECT_TRUE(failed.result == UpdateResult::Failed && failed.partWay && !failed.after);
    const UpdateRecord& updated = read.entries[earlier + 1].record;
    EXPECT_TRUE(updated.result == UpdateResult::Updated && !updated.partWay);
    EXPECT_EQ(updated.serialNumber + "|" + updated.variant, "SN000001|Velantrix Heron");
    EXPECT_EQ(updated.before.value() + " -> " + updated.after.value(),
              "2.10 - old -> 2.16 - Build: 2019032603.38702");
    EXPECT_EQ(updated.imageSize, 112408u);
}
