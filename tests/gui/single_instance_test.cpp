// One running copy per user: a later start of the real program hands its first argument to the
// first and leaves (that it shows nothing, the start test says).
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>

#include "app/SingleInstance.h"

TEST(SingleInstance, ALaterStartHandsItsFirstArgumentToTheFirst) {
    SingleInstance first(QStringLiteral("Velantrix Update"));
    ASSERT_FALSE(first.isRunning());
    QSignalSpy received(&first, &SingleInstance::messageReceived);
    const std::pair<QStringList, QString> starts[] = {{{"first", "second"}, "first"}, {{}, ""}};
    for (const auto& [arguments, message] : starts) {
        QProcess later;
        // Until the later start has left and its message is in: no time bound but CTest's.
        QEventLoop handedOver;
        const auto check = [&] {
            if (later.state() == QProcess::NotRunning && received.count() > 0)
                handedOver.quit();
        };
        QObject::connect(&later, &QProcess::finished, &handedOver, check);
        QObject::connect(&later, &QProcess::errorOccurred, &handedOver, &QEventLoop::quit);
        QObject::connect(&first, &SingleInstance::messageReceived, &handedOver, check,
                         Qt::QueuedConnection);
        later.start(QStringLiteral(VX_APP_BINARY), arguments);
        handedOver.exec();
        EXPECT_EQ(later.exitCode(), 0);
        ASSERT_GT(received.count(), 0);
        EXPECT_EQ(received.takeFirst().at(0).toString(), message);
    }
}
