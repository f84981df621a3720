#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "tests/support/QtWarnings.h"

// Qt test programs drive real widgets on the offscreen platform, in a runtime folder of their own
// (no single-instance lock of a copy someone runs is met), and fail on any Qt warning.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    failTestsOnQtWarnings();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
