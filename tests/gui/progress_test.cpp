// The status line's bar while an update reports (that it takes every value is the install
// test's): drawn at most every 50 ms of the window's clock within a phase; a phase's end (an empty
// bar, no sentence) drawn with the next phase's sentence, or when the update is over; a phase
// that starts on the empty bar draws only its sentence.
#include <QLabel>
#include <QProgressBar>

#include "firmware/UpdateProcedure.h"
#include "tests/support/VirtualProbes.h"
#include "tests/support/WindowDriver.h"

namespace {

// The bar's value and the status line's text at each of their drawings.
struct Drawings : QObject {
    QList<int> values;
    QStringList sentences;
    bool eventFilter(QObject* widget, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        if (auto* bar = qobject_cast<QProgressBar*>(widget))
            values << bar->value();
        else
            sentences << qobject_cast<QLabel*>(widget)->text();
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
    program.find<QLabel>("statusLabel")->installEventFilter(&drawn);
    // Two phases of 1000 units, a report every 10 ms.
    for (const char* phase : {erasePhase.taskdesc, downloadPhase.taskdesc}) {
        program.window->progress(0, 1000, phase, nullptr);
        for (int step = 100; step <= 1000; step += 100) {
            clock.advanceUs(10'000);
            program.window->progress(step, -1, nullptr, nullptr);
        }
    }
    program.window->setPollingEnabled(true);  // as the panel does when its update is over
    QCoreApplication::processEvents();
    EXPECT_EQ(drawn.values, (QList<int>{0, 500, 0, 500, 0}));
    // Each sentence is drawn within the report that sets it, before the update goes on.
    EXPECT_EQ(drawn.sentences, (QStringList{"Erasing memory, do not remove Velantrix.",
                                            "Downloading firmware, do not remove Velantrix.", ""}));
}

}  // namespace
