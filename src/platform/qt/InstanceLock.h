#pragma once
// The per-user instance lock, a lock file in the runtime folder, and beside it the local socket
// on which the instance that holds it takes the files of a second start.
#include "platform/Seams.h"

#include <QLockFile>
#include <QLocalServer>
#include <memory>

namespace bf::platform::qt {

class QtInstanceLock : public InstanceLockSeam {
public:
    // folder: where the lock and the socket live; "" for $XDG_RUNTIME_DIR, else the temporary folder.
    explicit QtInstanceLock(QString folder = {});
    ~QtInstanceLock() override;
    QtInstanceLock(const QtInstanceLock&) = delete;
    QtInstanceLock& operator=(const QtInstanceLock&) = delete;

    bool tryAcquire() override;
    bool handToRunningInstance(const QStringList& paths) override;
    void receiveHandedPaths(PathsReceiver receive) override;

private:
    QString folder() const;
    QString socketPath() const;
    void listen();
    void accept();
    void deliver(const QStringList& paths);

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    PathsReceiver receive_;
    QStringList waiting_; // handed before there was a receiver
};

} // namespace bf::platform::qt
