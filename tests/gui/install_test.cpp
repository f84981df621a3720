// Whole updates through the install button: each variant the program has a link for is
// written, verified and read back, with the button and the poll off while it runs, and the
// window alive and saying so while a probe restarts into its loader. (A probe pulled out in the
// middle is the fault matrix's.)
#include <QProgressBar>
#include <tuple>

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
