// The per-user single-instance lock: a second holder is refused while the first lives, and the
// lock is free again once the first is gone (also after a crash: a stale lock is taken over).
#include "platform/qt/QtSeams.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <unistd.h>
#include <gtest/gtest.h>

TEST(InstanceLock, SecondInstanceIsRefusedUntilTheFirstEnds)
{
    bf::test::TempDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    {
        bf::platform::qt::QtInstanceLock first;
        ASSERT_TRUE(first.tryAcquire());
        bf::platform::qt::QtInstanceLock second;
        EXPECT_FALSE(second.tryAcquire());
    }
    bf::platform::qt::QtInstanceLock third;
    EXPECT_TRUE(third.tryAcquire());
}

TEST(InstanceLock, LockLeftByADeadProcessIsTakenOver)
{
    bf::test::TempDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    // A lock file naming a process that no longer exists, as a crash leaves it.
    const QString name = QStringLiteral("brakenfold-%1.lock").arg(getuid());
    runtime.write(name, QStringLiteral("999999\n%1\n%2\n")
                           .arg(QCoreApplication::applicationName(), QSysInfo::machineHostName())
                           .toUtf8());
    bf::platform::qt::QtInstanceLock lock;
    EXPECT_TRUE(lock.tryAcquire());
}
