#include <gtest/gtest.h>

#include <QApplication>

// GUI tests drive real widgets, so they need an application object; the offscreen platform
// keeps them independent of a display.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
