#include "cli/RunMode.h"

#include "automation/SpreadsheetApplication.h"
#include "startup/AppContext.h"
#include "cli/TerminalSeams.h"
#include "cli/TerminalSplitView.h"
#include "split/SplitRun.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/ErrorReports.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace bf::cli {

namespace {

const char* const kRunModeHelp =
    "\n"
    "Splitting (any other command line):\n"
    "  brakenfold-split [--backend native|calc] [-o FOLDER] [--keep-going] WORKBOOK|FOLDER...\n"
    "      Splits workbooks into one workbook per worksheet, as the window's Split command\n"
    "      does. Each WORKBOOK (a file whose name ends in xls, .xlsx or .xlsm) and every .xls,\n"
    "      .xlsx and .xlsm file directly in each FOLDER is listed as Add File and Add Folder list it: a workbook already listed\n"
    "      is skipped, a worksheet whose name holds \"?\" is left out. The output goes to a new\n"
    "      run folder named by the time stamp under FOLDER given with -o (default: the\n"
    "      current directory): one folder per source workbook, one file per worksheet named\n"
    "      SHEET_Splitted_at_STAMP.xls (.xlsx for an .xlsx or .xlsm source). Existing files\n"
    "      are never replaced. When the run folder's name is taken (two runs in one second, or\n"
    "      at two moments of one stamp), the run uses STAMP (2), STAMP (3) and so on.\n"
    "      A worksheet of an .xlsm workbook is written as .xlsx, which holds no macros: a\n"
    "      one-sheet copy does not carry the workbook's VBA project. This is said once per\n"
    "      such workbook on standard error; it is not a failure.\n"
    "      Progress is shown on standard error when it is a terminal; reports go to standard\n"
    "      error; the last line on standard output is the run folder.\n"
    "      The run stops at the first worksheet that fails, as the window's does. With\n"
    "      --keep-going it goes on with the next one, and lists every failure at the end.\n"
    "      Exit status: 0 every input was listed and split; 1 the run failed or, with\n"
    "      --keep-going, a worksheet failed (the reports are on standard error); 2 the run\n"
    "      completed but an input could not be listed, or a wrong command line.\n";

const char* const kProgram = "brakenfold-split";

int usage(const QString& why)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, why.toLocal8Bit().constData(), kProgram);
    return 2;
}

struct CommandLine {
    QString backend = QStringLiteral("native");
    QString outputFolder = QStringLiteral(".");
    QStringList inputs;
    bool help = false;
    bool keepGoing = false;
};

// Returns an error text, or "" when the command line is good.
QString parse(int argc, char** argv, CommandLine& cl)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (optionsEnded || !a.startsWith('-') || a == QLatin1String("-")) {
            cl.inputs << a;
        } else if (a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.help = true;
        } else if (a == QLatin1String("--keep-going")) {
            cl.keepGoing = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--backend")) {
            if (i + 1 >= argc)
                return a + QStringLiteral(" needs a value");
            const QString value = QString::fromLocal8Bit(argv[++i]);
            (a == QLatin1String("-o") ? cl.outputFolder : cl.backend) = value;
        } else {
            return QStringLiteral("unknown option '%1'").arg(a);
        }
    }
    if (!cl.help && cl.inputs.isEmpty())
        return QStringLiteral("no workbook or folder given");
    if (cl.outputFolder.isEmpty())
        return QStringLiteral("-o needs a folder");
    return QString();
}

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

} // namespace

const char* runModeHelp() { return kRunModeHelp; }

int runMode(const automation::Backends& backends, int argc, char** argv)
{
    CommandLine cl;
    const QString problem = parse(argc, argv, cl);
    if (cl.help) {
        std::fputs(kRunModeHelp + 1, stdout);
        return 0;
    }
    if (!problem.isEmpty())
        return usage(problem);

    TerminalSeams terminal(chosenFolder(cl.outputFolder), programFolder());
    std::unique_ptr<automation::SpreadsheetApplication> app;
    try {
        app = backends.create(cl.backend, terminal.seams);
        // Nobody is there to answer a question: a save never asks, it refuses an existing file.
        app->setDisplayAlerts(false);
        app->setAskToUpdateLinks(false);
        app->setScreenUpdating(true);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s: error %d: %s\n", kProgram, e.number(), e.description().toLocal8Bit().constData());
        return 1;
    }
    AppContext context(terminal.seams);
    context.application = app.get();

    tasklist::InMemoryTaskRows rows;
    bool everyInputListed = true;
    for (const QString& input : cl.inputs)
        everyInputListed = listInput(context, rows, terminal.messageBox, input) && everyInputListed;

    TerminalSplitView view(rows, ::isatty(STDERR_FILENO) == 1);
    split::KeepGoing keepGoing;
    const QString runFolder =
        split::RunSplit(context, rows, view, QStringLiteral("mnuSplit_Click"), cl.keepGoing ? &keepGoing : nullptr);

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
