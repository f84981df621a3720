// A probe whose loader never answers, on the real stack and as a person meets it: the window is
// on screen before the probe is talked to, says what is wrong within 4 s, and never keeps the
// user waiting more than 3 s, since the probe is asked again only every 5 s. Time is the
// program's (virtual) clock; each tick of the poll timer is a second of it.
#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

#include "RealStack.h"
#include "tests/support/WindowDriver.h"

namespace {

// Notes the program's time and the probe's requests when the window first paints.
struct FirstPaint : QObject {
    explicit FirstPaint(const sim::VirtualProbe& watched) : probe(watched) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            requests = probe.requests().size();
        }
        return false;
    }
    const sim::VirtualProbe& probe;
    bool seen = false;
    std::size_t requests = 0;
};

}  // namespace

TEST_F(RealStack, ASilentLoaderNeitherHidesNorFreezesTheWindow) {
    const auto probe = plug(3);
    for (int occurrence = 1; occurrence <= 20; ++occurrence)
        probe->on(sim::Command::Info, occurrence).noReply();

    auto window = std::make_unique<Updater>(context);  // as main makes and shows it
    mainWindow = window.get();
    window->findChild<QTimer*>(QStringLiteral("pollTimer"))->stop();
    FirstPaint paint(*probe);
    window->installEventFilter(&paint);
    window->show();
    const uint64_t start = clock.elapsedUs();
    uint64_t longestBusyUs = 0;
    std::vector<uint64_t> asked;  // when the probe was asked for its loader's information
    const auto busy = [&](const std::function<void()>& work) {
        const uint64_t before = clock.elapsedUs();
        const int infosBefore = probe->commandCount(sim::Command::Info);
        work();
        longestBusyUs = std::max(longestBusyUs, clock.elapsedUs() - before);
        if (probe->commandCount(sim::Command::Info) > infosBefore)
            asked.push_back(before - start);
    };
    // The first poll waits for the window system to show the window (in real time: a few ms;
    // the events that end the wait are what this loop waits for).
    const auto* status = window->findChild<QLabel*>(QStringLiteral("statusLabel"));
    busy([&] {
        while (status->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
    EXPECT_TRUE(paint.seen);
    EXPECT_EQ(paint.requests, 0u) << "the window painted after the probe was talked to";
    EXPECT_EQ(status->text(), "Hardware error: target JTAG adapter data link read timed out.");
    EXPECT_LE(clock.elapsedUs() - start, 4'000'000u);

    for (int tick = 0; tick < 9; ++tick) {
        clock.sleepMs(1000);
        busy([&] { QMetaObject::invokeMethod(window.get(), "poll"); });
    }
    EXPECT_LE(longestBusyUs, 3'000'000u);
    ASSERT_GE(asked.size(), 2u);
    for (std::size_t i = 1; i < asked.size(); ++i)
        EXPECT_GE(asked[i] - asked[i - 1], 5'000'000u) << "asked again too soon";

    mainWindow = nullptr;
}
