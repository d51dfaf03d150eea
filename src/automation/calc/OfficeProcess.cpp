#include "automation/calc/OfficeProcess.h"

#include "core/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bf::automation::calc {

namespace {

// Waits up to timeout for the launcher to exit; true when it has been reaped.
bool waitForExit(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// True while any process of the group is alive (signal 0 only checks).
bool groupAlive(pid_t group) { return ::kill(-group, 0) == 0; }

bool waitForGroupGone(pid_t group, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (groupAlive(group)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

bool OfficeProcess::canShowWindows(const QString& programDir)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    // An office installed without a window-system plugin (the "nogui" packages) cannot use the
    // display: asked to, it crashes on the first document.
    return !QDir(programDir).entryList({QStringLiteral("libvclplug_*.so")}, QDir::Files).isEmpty();
}

OfficeProcess::OfficeProcess(const QString& programDir)
{
    const QString program = QDir(programDir).filePath(QStringLiteral("soffice"));
    if (!QFileInfo(program).isExecutable())
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("LibreOffice is not installed: '%1' was not found").arg(program));
    if (!profile_.isValid())
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("no temporary folder for the office profile: %1").arg(profile_.errorString()));

    // A name no other office on the machine uses: a pipe, never a TCP port anyone could reach.
    pipeName_ = QStringLiteral("brakenfold_%1_%2")
                    .arg(::getpid())
                    .arg(QUuid::createUuid().toString(QUuid::Id128));
    headless_ = !canShowWindows(programDir);
    arguments_ << (headless_ ? QStringLiteral("--headless") : QStringLiteral("--invisible"))
               << QStringLiteral("--nologo") << QStringLiteral("--norestore") << QStringLiteral("--nodefault")
               << QStringLiteral("--nolockcheck")
               << QStringLiteral("-env:UserInstallation=%1")
                      .arg(QString::fromUtf8(QUrl::fromLocalFile(profile_.path()).toEncoded()))
               << QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipeName_);

    // Everything the child needs is prepared before posix_spawn: nothing is allocated after it.
    const std::string programBytes = program.toStdString();
    std::vector<std::string> argStore;
    argStore.push_back(programBytes);
    for (const QString& a : arguments_)
        argStore.push_back(a.toStdString());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // A process group of its own: the group id is the launcher's pid, so the whole office can be
    // ended by that id without touching any other office on the machine.
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigmask(&attr, &noneBlocked);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int rc = ::posix_spawn(&pid_, programBytes.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        pid_ = -1;
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("LibreOffice could not be started: %1").arg(QString::fromLocal8Bit(std::strerror(rc))));
    }
}

OfficeProcess::~OfficeProcess() { stop(std::chrono::milliseconds(0)); }

QString OfficeProcess::connectUrl() const
{
    return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName_);
}

bool OfficeProcess::running()
{
    if (pid_ <= 0 || reaped_)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
        reaped_ = true;
        return false;
    }
    return true;
}

void OfficeProcess::stop(std::chrono::milliseconds grace)
{
    if (pid_ <= 0)
        return;
    using std::chrono::milliseconds;
    // After the office was asked to terminate, the launcher usually leaves by itself.
    if (!reaped_ && grace.count() > 0)
        reaped_ = waitForExit(pid_, grace);
    // The launcher must be reaped before the group can be seen empty: a zombie still belongs to it.
    ::kill(-pid_, SIGTERM);
    if (!reaped_)
        reaped_ = waitForExit(pid_, milliseconds(3000));
    if (!waitForGroupGone(pid_, milliseconds(3000))) {
        ::kill(-pid_, SIGKILL);
        if (!reaped_)
            reaped_ = waitForExit(pid_, milliseconds(3000));
        // Members that are not our children are reaped by init; wait so that the profile folder
        // is no longer in use when it is removed.
        waitForGroupGone(pid_, milliseconds(3000));
    }
    pid_ = -1;
    profile_.remove();
}

} // namespace bf::automation::calc
