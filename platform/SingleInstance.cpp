#include "platform/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <filesystem>

#include "host/Environment.h"

namespace quernel {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr int kConnectTries = 30;  // the running copy may still be starting: 3 seconds

QString RuntimeFolder() {
    if (auto dir = GetEnv("XDG_RUNTIME_DIR")) return QString::fromStdString(*dir);
    return QDir::tempPath() + "/runtime-quernel-" + QString::number(::getuid());
}

}  // namespace

TSingleInstance::TSingleInstance(const std::string& title) {
    const QString base = RuntimeFolder() + "/" + QString::fromStdString(title);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".socket";
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::BecomeRunningCopy() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Only the death of the holder frees the lock, however long it runs.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) return false;
        lock_.reset();
        return true;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by a copy that was killed: the lock says it is gone.
    QLocalServer::removeServer(socketPath_);
    server_->listen(socketPath_);
    QObject::connect(server_.get(), &QLocalServer::newConnection, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine()) return;
                const QByteArray line = socket->readLine();
                socket->disconnectFromServer();
                if (line == kShowRequest && onShowRequest) onShowRequest();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket,
                             &QLocalSocket::deleteLater);
        }
    });
    return true;
}

void TSingleInstance::AskRunningCopyToShow() {
    QLocalSocket socket;
    for (int i = 0; i < kConnectTries; ++i) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(100)) break;
        socket.abort();
        QThread::msleep(100);
    }
    if (socket.state() != QLocalSocket::ConnectedState) return;
    socket.write(kShowRequest);
    socket.waitForBytesWritten(1000);
    // The running copy closes the connection once it has read the request.
    socket.waitForDisconnected(1000);
}

}  // namespace quernel
