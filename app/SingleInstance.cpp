#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>

namespace {

// One name per user and id: the runtime folder is per user already; the temporary folder,
// used where there is none, may be shared by every user (/tmp), so the name also carries the
// user's home folder, which is theirs alone on every system.
QString baseName(const QString& applicationId) {
    const QByteArray key = (QDir::homePath() + QLatin1Char('\n') + applicationId).toUtf8();
    const QByteArray hash =
        QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("velantrix-single-%1").arg(QString::fromLatin1(hash));
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
    primary = lock->tryLock(0);
    if (primary)
        listen();
}

SingleInstance::~SingleInstance() {
    server.reset();
    if (primary)
        lock->unlock();
}

QString SingleInstance::lockFilePath(const QString& applicationId) {
    return runtimeFolder() + QLatin1Char('/') + baseName(applicationId) + QStringLiteral(".lock");
}

QString SingleInstance::serverName(const QString& applicationId) {
    return runtimeFolder() + QLatin1Char('/') + baseName(applicationId) + QStringLiteral(".sock");
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
