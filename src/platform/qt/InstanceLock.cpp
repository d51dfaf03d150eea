#include "platform/qt/InstanceLock.h"

#include "platform/qt/HandedPaths.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <unistd.h>

namespace bf::platform::qt {

namespace {
// How long a second start waits for the running instance. One that is busy (a long split) takes
// the paths when it is free: they wait in the socket, and the second start ends all the same.
constexpr int kConnectMs = 5000;
constexpr int kAcknowledgeMs = 10000;
constexpr char kTaken = 'k';
} // namespace

QtInstanceLock::QtInstanceLock(QString folder) : folder_(std::move(folder)) {}

QtInstanceLock::~QtInstanceLock()
{
    if (server_)
        server_->close();
}

QString QtInstanceLock::folder() const
{
    if (!folder_.isEmpty())
        return folder_;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString QtInstanceLock::socketPath() const
{
    return folder() + QStringLiteral("/brakenfold-%1.socket").arg(getuid());
}

bool QtInstanceLock::tryAcquire()
{
    const QString dir = folder();
    QDir().mkpath(dir);
    lock_ = std::make_unique<QLockFile>(dir + QStringLiteral("/brakenfold-%1.lock").arg(getuid()));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0))
        return false;
    listen();
    return true;
}

void QtInstanceLock::listen()
{
    // The lock is ours: a socket left by an instance that ended without closing it is stale.
    QLocalServer::removeServer(socketPath());
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket a second start cannot hand anything over, and says the program runs.
    if (!server_->listen(socketPath())) {
        server_.reset();
        return;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { accept(); });
}

void QtInstanceLock::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, received] {
            *received += socket->readAll();
            const HandedPaths handed = decodeHandedPaths(*received);
            if (handed.state == HandedPaths::State::Incomplete)
                return;
            if (handed.state == HandedPaths::State::Complete) {
                socket->write(&kTaken, 1);
                socket->flush();
                deliver(handed.paths);
            }
            socket->disconnectFromServer();
        });
    }
}

void QtInstanceLock::deliver(const QStringList& paths)
{
    waiting_ << paths;
    // From the event loop, never from within the socket's own signal.
    QTimer::singleShot(0, server_.get(), [this] {
        if (receive_ && !waiting_.isEmpty())
            receive_(std::exchange(waiting_, {}));
    });
}

void QtInstanceLock::receiveHandedPaths(PathsReceiver receive)
{
    receive_ = std::move(receive);
    if (server_ && !waiting_.isEmpty())
        deliver({});
}

bool QtInstanceLock::handToRunningInstance(const QStringList& paths)
{
    const QByteArray message = encodeHandedPaths(paths);
    if (message.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(kConnectMs))
            return false;
    if (socket.waitForReadyRead(kAcknowledgeMs))
        return socket.read(1) == QByteArray(1, kTaken);
    // Refused, or still busy: a busy instance takes them later.
    return socket.state() == QLocalSocket::ConnectedState;
}

} // namespace bf::platform::qt
