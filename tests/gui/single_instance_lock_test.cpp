// Only a live first copy may turn a start away: a lock nobody holds is taken over, and where no
// lock can be made the program starts anyway and says why.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

namespace {

struct SingleInstanceLock : ::testing::Test {
    QTemporaryDir runtime;
    QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const QString id = QStringLiteral("lock-test");
    const QString path = (qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit()),
                          SingleInstance::lockFilePath(id));
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved); }
};

}  // namespace

TEST_F(SingleInstanceLock, AnEmptyOrGarbledLockIsTakenOver) {
    for (const QByteArray& contents : {QByteArray(), QByteArray("\x01garbage\nno pid here\n")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        SingleInstance first(id);
        EXPECT_FALSE(first.isRunning()) << contents.toStdString();
        SingleInstance second(id);
        EXPECT_TRUE(second.isRunning()) << "the new lock must hold";
    }
}

TEST_F(SingleInstanceLock, WithoutAPossibleLockTheProgramStartsAndSaysWhy) {
    ASSERT_TRUE(QDir().mkpath(path));  // a folder where the lock file should go
    testing::internal::CaptureStderr();
    SingleInstance first(id);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(first.isRunning());
    EXPECT_NE(said.find("cannot make the lock file"), std::string::npos) << said;
}
