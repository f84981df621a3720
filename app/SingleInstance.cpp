#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <cstdio>

namespace {

// One name per user and id: the runtime folder is per user already; the temporary folder,
// used where there is none, may be shared by every user (/tmp), so the name also carries the
// user's home folder, which is theirs alone on every system.
QString hashedName(const QString& key) {
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("velantrix-single-%1").arg(QString::fromLatin1(hash));
}

QString baseName(const QString& applicationId) {
    return hashedName(QDir::homePath() + QLatin1Char('\n') + applicationId);
}

QString runtimeFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath();
}

}  // namespace

SingleInstance::SingleInstance(const QString& applicationId, QObject* parent)
    : QObject(parent), id(applicationId) {
    lock = std::make_unique<QLockFile>(lockFilePath(id));
    // A stale time of 0 means: stale only when the process that wrote the lock is gone.
    lock->setStaleLockTime(0);
    switch (acquire()) {
        case Outcome::First:
            primary = true;
            listen();
            break;
        case Outcome::Second:
            break;
        case Outcome::Unguarded:
            // Better two windows than none: without a lock nothing tells a second start apart.
            primary = true;
            std::fprintf(stderr,
                         "velantrix-update: cannot make the lock file %s, so starting without "
                         "the check for a running copy\n",
                         qPrintable(QDir::toNativeSeparators(lockFilePath(id))));
            break;
    }
}

SingleInstance::Outcome SingleInstance::acquire() {
    if (lock->tryLock(0))
        return Outcome::First;
    if (lock->error() == QLockFile::LockFailedError) {
        // The lock of a process that is gone has been taken over already; what is left is held
        // by a live process, unless it tells no owner at all (empty or garbled, after a crash
        // while it was written): only a live first copy may turn this start away.
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock->getLockInfo(&pid, &host, &application) && pid > 0)
            return Outcome::Second;
        lock->removeStaleLockFile();
        if (lock->tryLock(0))
            return Outcome::First;
    }
    return Outcome::Unguarded;
}

SingleInstance::~SingleInstance() {
    server.reset();
    if (primary)
        lock->unlock();
}

QString SingleInstance::lockFilePath(const QString& applicationId) {
    return runtimeFolder() + QLatin1Char('/') + baseName(applicationId) + QStringLiteral(".lock");
}

// On Windows the local socket is a named pipe, whose names are one namespace for the whole
// machine, not paths: the name stands for the lock file, so that each lock has its own pipe.
// Elsewhere it is a socket file beside the lock.
QString SingleInstance::serverName(const QString& applicationId) {
#ifdef Q_OS_WIN
    return hashedName(lockFilePath(applicationId));
#else
    return runtimeFolder() + QLatin1Char('/') + baseName(applicationId) + QStringLiteral(".sock");
#endif
}

void SingleInstance::listen() {
    const QString name = serverName(id);
    // We hold the lock, so a socket file still there belongs to a process that died.
    QLocalServer::removeServer(name);
    server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name))
        return;  // without the socket we still run; messages are lost
    connect(server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto deliver = [this, socket] {
                while (socket->canReadLine()) {
                    emit messageReceived(QString::fromUtf8(socket->readLine()).chopped(1));
                }
            };
            connect(socket, &QLocalSocket::readyRead, this, deliver);
            deliver();  // a short message may be in before we started listening for it
        }
    });
}

bool SingleInstance::sendMessage(const QString& message, int timeoutMs) {
    if (primary)
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName(id));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray line = message.toUtf8();
    line.replace('\n', ' ');
    socket.write(line + '\n');
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}
