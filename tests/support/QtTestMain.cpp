#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "tests/support/QtWarnings.h"

// Qt test programs drive real widgets on the offscreen platform, in a runtime folder of their own
// (no single-instance lock of a copy someone runs is met) and a state folder of their own (the
// window's history of updates), and fail on any Qt warning.
#ifdef _WIN32
constexpr const char* platformStateVariable = "LOCALAPPDATA";
#else
constexpr const char* platformStateVariable = "XDG_STATE_HOME";
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QTemporaryDir state;
    qputenv(platformStateVariable, state.path().toLocal8Bit());
    failTestsOnQtWarnings();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
