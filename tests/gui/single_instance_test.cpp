#include <gtest/gtest.h>

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

namespace {

// Each test gets its own runtime folder, so it never meets a copy a developer has running.
struct SingleInstanceTest : ::testing::Test {
    QTemporaryDir runtime;
    QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    void SetUp() override { qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit()); }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved); }

    // Starts the real program as a second instance and answers its exit status.
    int runSecondInstance(const QStringList& arguments) {
        QProcess second;
        second.start(QStringLiteral(VX_APP_BINARY), arguments);
        EXPECT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        return second.exitCode();
    }
};

}  // namespace

TEST_F(SingleInstanceTest, SecondStartForwardsItsFirstArgumentAndExitsZero) {
    SingleInstance first(QStringLiteral("Velantrix Update"));
    ASSERT_FALSE(first.isRunning());
    QSignalSpy received(&first, &SingleInstance::messageReceived);

    EXPECT_EQ(runSecondInstance({QStringLiteral("first"), QStringLiteral("second")}), 0);
    ASSERT_TRUE(received.count() > 0 || received.wait(5000));
    EXPECT_EQ(received.takeFirst().at(0).toString(), QStringLiteral("first"));

    EXPECT_EQ(runSecondInstance({}), 0);
    ASSERT_TRUE(received.count() > 0 || received.wait(5000));
    EXPECT_EQ(received.takeFirst().at(0).toString(), QString());
    EXPECT_FALSE(first.isRunning());
}

TEST_F(SingleInstanceTest, OnlyTheFirstObjectRunsAndALockLeftByADeadProcessIsTakenOver) {
    {
        SingleInstance first(QStringLiteral("test-id"));
        SingleInstance second(QStringLiteral("test-id"));
        EXPECT_FALSE(first.isRunning());
        EXPECT_TRUE(second.isRunning());
    }

    // Leave behind the lock of a process that has ended: a real lock whose owner is dead.
    const QString path = SingleInstance::lockFilePath(QStringLiteral("test-id"));
    QByteArray contents;
    {
        QLockFile real(path);
        ASSERT_TRUE(real.tryLock(0));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    QProcess finished;
    finished.start(QStringLiteral("true"));
    ASSERT_TRUE(finished.waitForStarted());
    const qint64 deadPid = finished.processId();
    ASSERT_TRUE(finished.waitForFinished());
    contents = QByteArray::number(deadPid) + contents.mid(contents.indexOf('\n'));
    QFile lock(path);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(contents);
    lock.close();

    SingleInstance afterCrash(QStringLiteral("test-id"));
    EXPECT_FALSE(afterCrash.isRunning());
}
