#include "cli/RunMode.h"

#include "automation/SpreadsheetApplication.h"
#include "startup/AppContext.h"
#include "automation/Keyring.h"
#include "cli/Passwords.h"
#include "cli/TerminalSeams.h"
#include "cli/TerminalSplitView.h"
#include "split/SplitJobs.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/ErrorReports.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace bf::cli {

namespace {

const char* const kProgram = "brakenfold-split";

// The chooser's answer: absolute, no trailing separator unless it is the root.
QString chosenFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }

QString programFolder()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.canonicalFilePath();
    return target.isEmpty() ? QDir::currentPath() : QFileInfo(target).absolutePath();
}

// Lists one command-line input into rows as Add File or Add Folder would. Returns false when it
// could not be listed in full (the reason has been reported on standard error).
bool listInput(const AppContext& context, tasklist::TaskRows& rows, const StderrMessageBox& box,
               const QString& input)
{
    const int reportsBefore = box.shownCount();
    const QString path = QDir::cleanPath(QFileInfo(input).absoluteFilePath());
    if (QFileInfo(path).isDir()) {
        QString folder;
        try {
            folder = AppendBackslash(path);
            for (const QString& name : tasklist::ListFolderWorkbooks(folder))
                tasklist::UpdateListView(context, rows, folder + name);
        } catch (...) {
            showFolderError(context.seams, folder);
        }
    } else if (tasklist::HasWorkbookEnding(path)) {
        tasklist::UpdateListView(context, rows, path);
    } else {
        // The window's Add File passes such a name by in silence; here somebody named it.
        const bool exists = QFileInfo::exists(path);
        context.seams.msgBox(fileReportText(exists ? err::SpreadsheetFailure : err::FileNotFound,
                                        exists ? QStringLiteral("not listed: the name does not end in xls, .xlsx or .xlsm")
                                               : standardDescription(err::FileNotFound),
                                        path));
    }
    return box.shownCount() == reportsBefore;
}

// Nobody is there to answer a question: a save never asks, it refuses an existing file.
void setUpForSplit(automation::SpreadsheetApplication& app, const CommandLine& cl)
{
    app.setDisplayAlerts(false);
    app.setAskToUpdateLinks(false);
    app.setScreenUpdating(true);
    app.setDecryptOutputs(cl.decrypt);
    if (cl.values)
        app.setBreakLinks(true);
}

// The command line's --jobs, or one job per core on the native backend and one on any other.
int jobsOf(const CommandLine& cl)
{
    if (cl.jobs > 0)
        return cl.jobs;
    if (cl.backend != QLatin1String("native"))
        return 1;
    return std::clamp(QThread::idealThreadCount(), 1, kMaxJobs);
}

} // namespace

int runMode(const automation::Backends& backends, const CommandLine& cl)
{
    TerminalSeams terminal(chosenFolder(cl.outputFolder), programFolder());
    std::unique_ptr<automation::SpreadsheetApplication> app;
    try {
        app = backends.create(cl.backend, terminal.seams);
        setUpForSplit(*app, cl);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s: error %d: %s\n", kProgram, e.number(), e.description().toLocal8Bit().constData());
        return 1;
    }
    automation::Keyring keyring;
    const QString passwordProblem = preparePasswords(cl, keyring);
    if (!passwordProblem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, passwordProblem.toLocal8Bit().constData());
        return 2;
    }
    AppContext context(terminal.seams);
    context.application = app.get();
    context.keyring = &keyring;

    tasklist::InMemoryTaskRows rows;
    bool everyInputListed = true;
    for (const QString& input : cl.operands)
        everyInputListed = listInput(context, rows, terminal.messageBox, input) && everyInputListed;

    TerminalSplitView view(rows, ::isatty(STDERR_FILENO) == 1);
    split::KeepGoing keepGoing;
    std::mutex promptTurn;
    const split::JobMakers makers{[&](const platform::Seams& seams) {
                                      auto jobApp = backends.create(cl.backend, seams);
                                      setUpForSplit(*jobApp, cl);
                                      return jobApp;
                                  },
                                  [&] { return jobKeyring(keyring, promptTurn); }};
    const QString runFolder = split::RunSplitInJobs(context, rows, view, jobsOf(cl), makers,
                                                    cl.keepGoing ? &keepGoing : nullptr, &cl.options);

    // What a failed run left open is closed here, as the window does at exit.
    try {
        app->workbooks().Close();
        app->Quit();
    } catch (...) {
    }

    if (runFolder.isEmpty())
        return 1;
    std::printf("%s\n", runFolder.toLocal8Bit().constData());
    std::fflush(stdout);
    if (keepGoing.failedRows > 0)
        return 1;
    return everyInputListed ? 0 : 2;
}

} // namespace bf::cli
