// The status line's bar while an update reports (that it takes every value is the install
// test's): drawn at most every 50 ms of the window's clock within a phase, and at a phase's end
// always with its last value, then empty; a phase that starts on the empty bar draws only its
// sentence.
#include <QProgressBar>

#include "firmware/UpdateProcedure.h"
#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"

namespace {

// The bar's value at each of its drawings.
struct Drawings : QObject {
    QList<int> values;
    bool eventFilter(QObject* bar, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            values << qobject_cast<QProgressBar*>(bar)->value();
        return false;
    }
};

TEST_F(VirtualProbes, TheBarIsDrawnByTheWindowsClockAndAtEveryPhaseEnd) {
    WindowDriver program{context};
    program.window->show();
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
    Drawings drawn;
    program.find<QProgressBar>("progressBar")->installEventFilter(&drawn);
    // Two phases of 1000 units, a report every 10 ms.
    for (const char* phase : {erasePhase.taskdesc, downloadPhase.taskdesc}) {
        program.window->progress(0, 1000, phase, nullptr);
        for (int step = 100; step <= 1000; step += 100) {
            clock.advanceUs(10'000);
            program.window->progress(step, -1, nullptr, nullptr);
        }
    }
    EXPECT_EQ(drawn.values, (QList<int>{0, 500, 1000, 0, 500, 1000, 0}));
}

}  // namespace
