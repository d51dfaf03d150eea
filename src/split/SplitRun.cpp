#include "split/SplitRun.h"

#include "split/SplitNaming.h"
#include "split/SplitSteps.h"
#include "split/SplitState.h"
#include "startup/AppVersion.h"
#include "core/Conversions.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/ErrorReports.h"
#include "automation/SpreadsheetApplication.h"
#include "platform/Memory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace bf::split {

namespace {

// The blank is handed over as it is; the spreadsheet application trims it when it saves.
const QString kOutputExtension = QStringLiteral(".xls ");
const QString kOpenXmlOutputExtension = QStringLiteral(".xlsx ");

bool folderExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

// Creates one folder; false when a folder or file of that name exists already (it is never
// reused, so two runs cannot mix their output in one folder).
bool createFolderUnlessTaken(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0777) == 0)
        return true;
    const int code = errno;
    if (code == EEXIST)
        return false;
    std::int32_t number = err::PathFileAccessError;
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        number = err::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = err::PermissionDenied;
        break;
    default:
        break;
    }
    throw Error(number, QStringLiteral("cannot create the folder \"%1\": %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(code))));
}

void createFolder(const QString& path)
{
    if (!createFolderUnlessTaken(path))
        throw Error(err::FileAlreadyExists, QStringLiteral("cannot create the folder \"%1\": %2")
                                                .arg(path, QString::fromLocal8Bit(std::strerror(EEXIST))));
}

// Far more runs than one output folder gets in one second, or under one time stamp.
constexpr int kRunFolderNumbers = 1000;

// The run folder, created: runFolder itself, or when that name is taken "NAME (2)", "NAME (3)",
// ... as workbook folders are numbered. Each name is claimed by creating it, so two runs in the
// same second, or at two moments of one time stamp, never share a folder.
QString createRunFolder(const QString& runFolder)
{
    const QString name = runFolder.chopped(1); // without its trailing separator
    for (int n = 1; n <= kRunFolderNumbers; ++n) {
        const QString candidate = n == 1 ? runFolder : AppendBackslash(QStringLiteral("%1 (%2)").arg(name).arg(n));
        if (createFolderUnlessTaken(candidate))
            return candidate;
    }
    throw Error(err::FileAlreadyExists,
                QStringLiteral("cannot create a run folder: \"%1\" and its numbered alternatives up to \"%1 (%2)\" "
                               "all exist")
                    .arg(name)
                    .arg(kRunFolderNumbers));
}

// A name that would lead the save out of the run folder (a separator, "." or "..") or that the
// file system cannot hold (a NUL) is refused before anything is written under it.
bool holdsSeparatorOrNul(const QString& name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QChar(u'\0'));
}

void refuseUnsafeWorkbookFolder(const QString& shortName, const QString& workbookName)
{
    if (shortName == QLatin1String(".") || shortName == QLatin1String("..") || holdsSeparatorOrNul(shortName))
        throw Error(err::PathFileAccessError,
                    QStringLiteral("the workbook \"%1\" cannot have a folder of its own in the run folder: "
                                   "its short name \"%2\" names no folder inside it")
                        .arg(workbookName, shortName));
}

void refuseUnsafeWorksheetName(const QString& sheetName)
{
    if (holdsSeparatorOrNul(sheetName)) {
        QString shown = sheetName;
        shown.replace(QChar(u'\0'), QStringLiteral("\\0"));
        throw Error(err::PathFileAccessError,
                    QStringLiteral("the worksheet \"%1\" cannot name a file: its name holds a path "
                                   "separator or a NUL character")
                        .arg(shown));
    }
}

std::shared_ptr<automation::Workbook> activeWorkbook(automation::SpreadsheetApplication& app)
{
    auto book = app.ActiveWorkbook();
    if (!book)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("the spreadsheet application has no active workbook"));
    return book;
}

bool isMacroEnabledName(const QString& workbookName)
{
    return workbookName.endsWith(QLatin1String(".xlsm"), Qt::CaseInsensitive);
}

// A workbook whose name is no longer than the four characters dropped would write into the run
// folder itself, among the other workbooks' folders.
void refuseNameWithoutShortName(const QString& workbookName)
{
    if (workbookName.size() <= (HasOpenXmlEnding(workbookName) ? 5 : 4))
        throw Error(err::InvalidProcedureCall,
                    QStringLiteral("the workbook \"%1\" cannot have a folder of its own in the run folder: "
                                   "nothing of its name is left once its ending is dropped")
                        .arg(workbookName));
}

} // namespace

namespace steps {

std::int16_t rowCountOf(const tasklist::TaskRows& rows)
{
    const int count = rows.rowCount();
    if (count > std::numeric_limits<std::int16_t>::max())
        throw Error(err::Overflow, QStringLiteral("Overflow: the task list has %1 rows, more than 32767").arg(count));
    return static_cast<std::int16_t>(count);
}

RunFolder prepareRun(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const SplitOptions& options)
{
    view.setCaption(context.configured(QStringLiteral("frmMainCaption")) + GetVersionString(context.seams));
    if (rows.rowCount() == 0) {
        context.seams.msgBox(QStringLiteral("Please select some Excel workbook at first"));
        return {};
    }
    const QString chosen = context.seams.browseFolder(QStringLiteral("Please select output folder"));
    if (!folderExists(chosen)) {
        context.seams.msgBox(QStringLiteral("Please select a output folder and try again"));
        return {};
    }
    RunFolder run;
    run.stamp = GetNowString(context);
    const QString runFolder = run.stamp.isEmpty() ? QString() : PrepareOutputFolder(context.seams, chosen, run.stamp);
    if (runFolder.isEmpty())
        return {}; // the clock's or the naming's failure has been reported
    for (int i = 1; i <= rows.rowCount(); ++i)
        run.leftOut.push_back(options.leavesOut(rows.sheetFacts(i).visibility));
    // The default names are checked row by row as each is written; other templates before the
    // run folder is made, so a refused name leaves nothing behind.
    const bool byDefault = options.nameTemplate == kDefaultNameTemplate;
    run.names = outputNamesOf(rows, NameTemplate::parse(options.nameTemplate), run.stamp, run.leftOut, !byDefault);
    run.path = createRunFolder(runFolder);
    return run;
}

book::ValuesDrops splitRow(const AppContext& context, const RowTarget& row, const QString& runPath, const FolderNamer& folderFor,
              QSet<QString>& macrosNoted, const MacrosNoter& noteMacros, bool byDefault)
{
    automation::SpreadsheetApplication& app = context.spreadsheet();
    const QString& workbookPath = row.workbookPath;
    if (app.workbooks().Count() == 0)
        context.openWorkbook(workbookPath);
    auto source = activeWorkbook(app);
    if (source->FullName() != workbookPath) {
        source->Close(false);
        context.openWorkbook(workbookPath);
        source = activeWorkbook(app);
    }

    const QString workbookName = source->Name();
    refuseNameWithoutShortName(workbookName);
    const QString shortName = GetWorkbookShortName(context.seams, workbookName);
    refuseUnsafeWorkbookFolder(shortName, workbookName);
    const QString folderName = folderFor(source->FullName(), shortName);
    const QString workbookFolder = AppendBackslash(AppendBackslash(runPath) + folderName);
    if (!folderExists(workbookFolder))
        createFolder(workbookFolder);

    if (byDefault)
        refuseUnsafeWorksheetName(row.sheetName);
    source->WorksheetByName(row.sheetName)->Copy();
    const book::ValuesDrops dropped = app.takeValuesDrops();
    auto copy = activeWorkbook(app);
    copy->SaveAs(workbookFolder + row.outputName +
                 (HasOpenXmlEnding(workbookName) ? kOpenXmlOutputExtension : kOutputExtension));
    copy->Close(false);
    if (isMacroEnabledName(workbookName) && !macrosNoted.contains(source->FullName())) {
        macrosNoted.insert(source->FullName());
        noteMacros(source->FullName());
    }
    return dropped;
}

void applyLinkChoice(const AppContext& context)
{
    if (!context.setting)
        return;
    const QString text = context.configured(QStringLiteral("BreakLinks"));
    bool values = false;
    try {
        values = !text.isEmpty() && CBool(text);
    } catch (const Error&) {
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the value \"%1\" of the key \"BreakLinks\" in "
                                                      "Config.cfg is no Boolean (1 or 0)").arg(text));
    }
    context.spreadsheet().setBreakLinks(values);
}

// What a run with values in place of links left out, counted ("2 validation rules and 1
// conditional format that read other sheets were dropped."); "" when nothing was.
QString valuesDropLine(const book::ValuesDrops& d)
{
    const auto counted = [](int n, const char* one, const char* many) {
        return n == 0 ? QString() : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QStringList kinds;
    for (const QString& k : {counted(d.names, "defined name", "defined names"),
                             counted(d.validations, "validation rule", "validation rules"),
                             counted(d.conditionalFormats, "conditional format", "conditional formats"),
                             counted(d.chartSeries, "chart series", "chart series")})
        if (!k.isEmpty())
            kinds << k;
    QString line;
    if (!kinds.isEmpty()) {
        const QString last = kinds.takeLast();
        const bool one = kinds.isEmpty() && (d.names + d.validations + d.conditionalFormats + d.chartSeries) == 1;
        line = QStringLiteral("\r\n") + (kinds.isEmpty() ? last : kinds.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last)
             + (one ? QStringLiteral(" that reads other sheets was dropped: values cannot stand for it.")
                    : QStringLiteral(" that read other sheets were dropped: values cannot stand for them."));
    }
    if (d.references > 0)
        line += QStringLiteral("\r\n%1 reference%2 to other sheets in names, rules or charts became #REF!.")
                    .arg(d.references)
                    .arg(d.references == 1 ? QString() : QStringLiteral("s"));
    return line;
}

QString failureLine(tasklist::TaskRows& rows, int i, const std::exception_ptr& failure)
{
    const ErrorInfo info = errorInfoOf(failure);
    return QStringLiteral("%1: %2: Err %3: %4").arg(rows.sourceFileName(i), rows.worksheetName(i)).arg(info.number).arg(info.description);
}

void finishRun(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& outputFolder,
               const QStringList& failures, qsizetype leftOut, const book::ValuesDrops& dropped)
{
    RestoreControlStateAfterSplit(context, view);
    SetCurrentListItem(context.seams, rows, 1);
    view.repaintNow();
    const QString leftOutLine =
        leftOut == 0 ? QString()
                     : QStringLiteral("\r\n%1 hidden worksheet%2 left out, as the options ask.")
                           .arg(leftOut)
                           .arg(leftOut == 1 ? QStringLiteral(" was") : QStringLiteral("s were"));
    const QString note = valuesDropLine(dropped);
    if (failures.isEmpty())
        context.seams.msgBox(QStringLiteral("Mission complete!") + leftOutLine + note);
    else
        context.seams.msgBox(QStringLiteral("%1 of %2 worksheets could not be split:\r\n").arg(failures.size()).arg(rows.rowCount()) +
                             failures.join(QStringLiteral("\r\n")) + leftOutLine + note);

    // The run is done however this ends: a folder nothing shows is named, to be opened by hand.
    const platform::OpenFailed sayNotShown = [&seams = context.seams, outputFolder] {
        seams.msgBox(QStringLiteral("The run folder could not be shown: no program on this computer opens \"%1\".")
                         .arg(QDir::toNativeSeparators(outputFolder)),
                     platform::MsgButtons::Ok, platform::MsgIcon::Information);
    };
    platform::ShellSeam* shell = context.seams.shell;
    if (!shell || !shell->openFolder(outputFolder, sayNotShown))
        sayNotShown();
}

} // namespace steps

using namespace steps;

QString RunSplit(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& procName,
                 KeepGoing* keepGoing, const SplitOptions* options)
{
    const RowLoop rowAfterRow = [&](RunFolder& run, bool byDefault) {
        const std::int16_t count = rowCountOf(rows);
        const FolderNamer folderFor = [&run](const QString& path, const QString& shortName) {
            return run.folders.nameFor(path, shortName);
        };
        const MacrosNoter noteMacros = [&view](const QString& path) { view.macrosNotKept(path); };
        QStringList failures;
        for (int i = 1; i <= count; ++i) {
            try {
                if (!run.leftOut.at(std::size_t(i - 1)))
                    run.dropped += splitRow(context, {rows.sourceFileName(i), rows.worksheetName(i), run.names.at(i - 1)}, run.path,
                             folderFor, run.macrosNoted, noteMacros, byDefault);
            } catch (...) {
                if (!keepGoing)
                    throw;
                showProcedureError(context.seams, procName, std::current_exception());
                failures << failureLine(rows, i, std::current_exception());
                keepGoing->failedRows = static_cast<int>(failures.size());
            }
            SetCurrentListItem(context.seams, rows, static_cast<std::int16_t>(i));
            view.setProgressValue(2.0f * static_cast<float>(i));
            view.repaintNow();
        }
        return failures;
    };
    return runSplitWith(context, rows, view, procName, options, rowAfterRow);
}

namespace steps {

QString runSplitWith(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& procName,
                     const SplitOptions* options, const RowLoop& rowLoop)
{
    bool inSplitState = false;
    try {
        applyLinkChoice(context);
        const SplitOptions chosen = options ? *options : splitOptionsFrom(context);
        const bool byDefault = chosen.nameTemplate == kDefaultNameTemplate;
        RunFolder run = prepareRun(context, rows, view, chosen);
        if (run.path.isEmpty())
            return QString();

        InitControlStateBeforeSplit(context, rows, view);
        inSplitState = true;
        view.repaintNow();

        const QStringList failures = rowLoop(run, byDefault);
        automation::SpreadsheetApplication& app = context.spreadsheet();
        if (app.workbooks().Count() > 0)
            app.workbooks().Close();
        platform::releaseFreeMemory();
        inSplitState = false;
        finishRun(context, rows, view, run.path, failures, std::count(run.leftOut.begin(), run.leftOut.end(), true),
                  run.dropped);
        return run.path;
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // The pointer, the bar and the events go back to idle before the report, so the window
        // is not left busy once the user has read it. Open workbooks stay for the next run.
        if (inSplitState) {
            try {
                RestoreControlStateAfterSplit(context, view);
                view.repaintNow();
            } catch (...) {
            }
        }
        try {
            showProcedureError(context.seams, procName, failure);
        } catch (...) {
        }
        return QString();
    }
}

} // namespace steps

} // namespace bf::split
