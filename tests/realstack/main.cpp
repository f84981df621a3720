#include <gtest/gtest.h>

#include <QApplication>

// The window and panel are real widgets, so the tests need an application object; the offscreen
// platform keeps them independent of a display.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
