#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// Keeps one running copy of the program per user and application id. The first process to ask
// holds a lock file and listens on a local socket; later ones find the lock taken and may send
// the running one a text. A lock left behind by a process that died, or one that tells no owner
// (empty, garbled), is taken over; where no lock can be made at all, the program runs without the
// check and says so on standard error.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& applicationId, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another process with the same id already runs.
    bool isRunning() const { return !primary; }

    // Hands `message` to the running process, waiting at most `timeoutMs`. False when it could
    // not be delivered in time.
    bool sendMessage(const QString& message, int timeoutMs);

    // Where the lock and the socket live for `applicationId`; exposed for tests.
    static QString lockFilePath(const QString& applicationId);
    static QString serverName(const QString& applicationId);

signals:
    void messageReceived(const QString& message);

private:
    // First: this process holds the lock. Second: a live process holds it. Unguarded: no lock
    // can be made here (the folder cannot be written, say), so this process runs unchecked.
    enum class Outcome { First, Second, Unguarded };
    Outcome acquire();
    void listen();

    QString id;
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<QLocalServer> server;
    bool primary = false;
};
