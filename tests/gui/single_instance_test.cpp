// One running copy per user: a later start of the real program hands its first argument to the
// first and leaves (that it shows nothing, the start test says).
#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>

#include "app/SingleInstance.h"

TEST(SingleInstance, ALaterStartHandsItsFirstArgumentToTheFirst) {
    SingleInstance first(QStringLiteral("Velantrix Update"));
    ASSERT_FALSE(first.isRunning());
    QSignalSpy received(&first, &SingleInstance::messageReceived);
    const std::pair<QStringList, QString> starts[] = {{{"first", "second"}, "first"}, {{}, ""}};
    for (const auto& [arguments, message] : starts) {
        // The first copy keeps its event loop turning, as a running program does: a named pipe
        // (Windows) takes what the later one writes only as the first reads it.
        QProcess later;
        QSignalSpy finished(&later, &QProcess::finished);
        later.start(QStringLiteral(VX_APP_BINARY), arguments);
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_EQ(later.exitCode(), 0);
        ASSERT_TRUE(received.count() > 0 || received.wait(5000));
        EXPECT_EQ(received.takeFirst().at(0).toString(), message);
    }
}
