#pragma once
// One office process owned by one backend instance: its own temporary user profile, its own
// pipe, its own process group, standard streams on /dev/null. The office launcher hands over to
// other processes, so ending it means ending its whole process group.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <sys/types.h>

namespace bf::automation::calc {

class OfficeProcess {
public:
    // Starts the office found in programDir. Throws bf::Error (1004) when it cannot be started.
    explicit OfficeProcess(const QString& programDir);
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // The UNO address of the office's component context on its private pipe.
    QString connectUrl() const;
    QString pipeName() const { return pipeName_; }
    // The command line the office was started with (without the program).
    const QStringList& arguments() const { return arguments_; }
    // Process id of the launcher, which is also the id of the office's process group.
    pid_t processGroup() const { return pid_; }
    // False once the launcher has exited (for instance because the office could not start).
    bool running();
    // Ends every process of the group, by its id: first waits up to grace for the launcher to
    // leave by itself (after the office was told to terminate), then by signal. Idempotent.
    void stop(std::chrono::milliseconds grace);

    // True when a display is at hand and the office has a plugin to use it: it then runs
    // invisible (documents can be shown) instead of headless.
    static bool canShowWindows(const QString& programDir);
    bool headless() const { return headless_; }

private:
    QTemporaryDir profile_;
    QString pipeName_;
    QStringList arguments_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    bool headless_ = true;
};

} // namespace bf::automation::calc
