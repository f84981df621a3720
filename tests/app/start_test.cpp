// main as a user starts it: the first start shows the window and ends when it is closed; a
// start while another copy runs shows nothing and leaves at once. main runs on the program's own
// platform and clock, so its window lists this machine's USB devices (once: it is closed at once).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "app/SingleInstance.h"
#include "tests/support/QtWarnings.h"

int velantrixMain(int argc, char** argv);

namespace {

// What the program shows, seen from inside the application object it makes: once the event
// loop runs, the user looks at the windows there are and closes them; with none, nothing else
// would end the loop.
QStringList shownWindows;
QString desktopFileName;
bool anotherCopyRuns = false;

void watchTheProgram() {
    if (anotherCopyRuns)
        new SingleInstance(QStringLiteral("Velantrix Update"), qApp);
    QTimer::singleShot(0, qApp, [] {
        desktopFileName = QGuiApplication::desktopFileName();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->close())
                shownWindows << window->windowTitle();
        }
        if (shownWindows.isEmpty())
            QCoreApplication::exit(1);
    });
}
Q_COREAPP_STARTUP_FUNCTION(watchTheProgram)

struct Start : ::testing::Test {
    QTemporaryDir runtime;  // the single-instance lock of this test alone

    int start(QByteArray argument = {}) {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        failTestsOnQtWarnings();
        shownWindows.clear();
        QByteArray name("velantrix-update");
        char* argv[] = {name.data(), argument.data(), nullptr};
        return velantrixMain(argument.isEmpty() ? 1 : 2, argv);
    }
};

}  // namespace

TEST_F(Start, TheFirstStartShowsTheWindowAndEndsWhenItIsClosed) {
    EXPECT_EQ(start(), 0);
    EXPECT_EQ(shownWindows, QStringList{QStringLiteral("Velantrix Update")});
    EXPECT_EQ(desktopFileName, "io.velantrix.Update");
}

TEST_F(Start, AStartWhileAnotherCopyRunsShowsNothing) {
    anotherCopyRuns = true;
    EXPECT_EQ(start("probe.bin"), 0);
    EXPECT_TRUE(shownWindows.isEmpty());
}
