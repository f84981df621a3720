// One running copy per user: a later start of the real program hands its first argument to the
// first copy whose lock it finds, and leaves (that it shows nothing, the start test says). A
// first copy whose lock is in another folder (a test's own runtime folder, say) is a guard of
// its own: the later starts that find its lock reach it alone.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

TEST(SingleInstance, ALaterStartHandsItsFirstArgumentToTheFirstCopyOfItsLock) {
    const QString id = QStringLiteral("Velantrix Update");
    SingleInstance first(id);
    QTemporaryDir elsewhere;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", elsewhere.path().toLocal8Bit());
    SingleInstance other(id);
    qputenv("XDG_RUNTIME_DIR", saved);
    ASSERT_FALSE(first.isRunning() || other.isRunning());
    QSignalSpy toFirst(&first, &SingleInstance::messageReceived);
    QSignalSpy toOther(&other, &SingleInstance::messageReceived);
    QProcessEnvironment here = QProcessEnvironment::systemEnvironment(), there = here;
    there.insert(QStringLiteral("XDG_RUNTIME_DIR"), elsewhere.path());
    const std::tuple<QStringList, QProcessEnvironment*, QSignalSpy*, QString> starts[] = {
        {{"first", "second"}, &here, &toFirst, "first"},
        {{}, &here, &toFirst, ""},
        {{"other"}, &there, &toOther, "other"}};
    for (const auto& [arguments, environment, received, message] : starts) {
        // The first copy keeps its event loop turning, as a running program does: a named pipe
        // (Windows) takes what the later one writes only as the first reads it.
        QProcess later;
        later.setProcessEnvironment(*environment);
        // Until the later start has left and its message is in: no time bound but CTest's.
        QEventLoop handedOver;
        const auto check = [&, received = received] {
            if (later.state() == QProcess::NotRunning && received->count() > 0)
                handedOver.quit();
        };
        QObject::connect(&later, &QProcess::finished, &handedOver, check);
        QObject::connect(&later, &QProcess::errorOccurred, &handedOver, &QEventLoop::quit);
        for (SingleInstance* guard : {&first, &other})
            QObject::connect(guard, &SingleInstance::messageReceived, &handedOver, check,
                             Qt::QueuedConnection);
        later.start(QStringLiteral(VX_APP_BINARY), arguments);
        handedOver.exec();
        EXPECT_EQ(later.exitCode(), 0);
        ASSERT_GT(received->count(), 0) << message.toStdString();
        EXPECT_EQ(received->takeFirst().at(0).toString(), message);
    }
    EXPECT_EQ(toFirst.count() + toOther.count(), 0);
}
