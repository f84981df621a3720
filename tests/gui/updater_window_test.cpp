#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "BoxWatcher.h"
#include "ui/ErrorReporter.h"
#include "ui/Updater.h"

namespace {

struct WindowTest : ::testing::Test {
    Updater window;
    QLabel* status = window.findChild<QLabel*>(QStringLiteral("statusLabel"));
    QProgressBar* bar = window.findChild<QProgressBar*>(QStringLiteral("progressBar"));
};

}  // namespace

TEST_F(WindowTest, StatusLineBecomesOneSentence) {
    window.setStatus(QStringLiteral("write timed out"), false);
    EXPECT_EQ(status->text(), QStringLiteral("Write timed out."));
    window.setStatus(QStringLiteral("already a sentence."), true);
    EXPECT_EQ(status->text(), QStringLiteral("Already a sentence."));
    window.setStatus(QString(), false);
    EXPECT_EQ(status->text(), QString());
}

TEST_F(WindowTest, ProgressShowsTaskThenResetsAtTheTotal) {
    window.progress(0, 1000, "Erasing memory, do not remove Velantrix", "bytes");
    EXPECT_EQ(status->text(), QStringLiteral("Erasing memory, do not remove Velantrix."));
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->value(), 0);

    window.progress(400, -1, nullptr, nullptr);
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->value(), 400);
    EXPECT_EQ(status->text(), QStringLiteral("Erasing memory, do not remove Velantrix."));

    window.progress(1000, -1, nullptr, nullptr);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(status->text(), QString());
}

TEST_F(WindowTest, EmptyLabelsShowTheirBoldCaptionsAlone) {
    window.setSerialNumber(QString());
    window.setVariant(QString());
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("serialNumberLabel"))->text(),
              QStringLiteral("<b>Serial Number:</b> "));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("variantLabel"))->text(),
              QStringLiteral("<b>Variant:</b> "));
    window.setVariant(QStringLiteral("Velantrix Heron"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("variantLabel"))->text(),
              QStringLiteral("<b>Variant:</b> Velantrix Heron"));
}

TEST_F(WindowTest, ThreeFramedAreasAndTheSwitches) {
    QStringList titles;
    for (auto* group : window.findChildren<QGroupBox*>())
        titles << group->title();
    EXPECT_EQ(titles, (QStringList{"Hardware", "Firmware", "Status"}));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Velantrix Update"));
    EXPECT_TRUE(window.isPollingEnabled());
    EXPECT_TRUE(window.isPanelCurrent());
    window.setPollingEnabled(false);
    window.invalidatePanel();
    EXPECT_FALSE(window.isPollingEnabled());
    EXPECT_FALSE(window.isPanelCurrent());
}

TEST(WindowGeometry, GoldenSizeFromAverageCharacterWidthAndCentred) {
    // Look for a pixel size at which the font's average character width is 7.
    QFont font;
    bool found = false;
    for (int pixels = 6; pixels < 30 && !found; ++pixels) {
        font.setPixelSize(pixels);
        found = QFontMetrics(font).averageCharWidth() == 7;
    }
    if (found) {
        EXPECT_EQ(Updater::sizeForColumns(font, 120, Updater::AspectGolden), QSize(840, 519));
        EXPECT_EQ(Updater::sizeForColumns(font, 120, Updater::Aspect4x3), QSize(840, 630));
        EXPECT_EQ(Updater::sizeForColumns(font, 120, Updater::Aspect16x9), QSize(840, 472));
    }

    Updater window;
    const QSize expected = Updater::sizeForColumns(window.font(), 120, Updater::AspectGolden);
    EXPECT_EQ(window.size(), expected);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int cx = (screen.left() + screen.right()) / 2;
    const int cy = (screen.top() + screen.bottom()) / 2;
    EXPECT_EQ(window.pos(), QPoint(cx - expected.width() / 2, cy - expected.height() / 2));
}

TEST(ErrorBox, TitledErrorWithTheMessageUnchangedAndOneOkButton) {
    BoxWatcher watcher;
    reportingErrors([] { throw HException("Verify failed : crc check mismatch"); });
    reportingErrors([] { throw HException("write timed out"); });
    // The boxes wait for the event loop, one after the other.
    EXPECT_TRUE(watcher.boxes.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("Error"));
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("Verify failed : crc check mismatch"));
    EXPECT_TRUE(watcher.boxes[0].okOnly);
    EXPECT_EQ(watcher.boxes[1].text, QStringLiteral("write timed out"));
}
