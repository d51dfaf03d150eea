#include "split/SplitRun.h"

#include "platform/Seams.h"
#include "split/SplitNaming.h"
#include "split/SplitState.h"
#include "startup/AppVersion.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/CommonDefine.h"
#include "startup/ErrorReports.h"
#include "startup/MainProc.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace bf::split {

namespace {

const QString kSplittedAt = QStringLiteral("_Splitted_at_");
// The blank is handed over as it is; the spreadsheet application trims it when it saves.
const QString kOutputExtension = QStringLiteral(".xls ");

automation::SpreadsheetApplication& application()
{
    automation::SpreadsheetApplication* app = MainProc::ExcelApp();
    if (!app)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no spreadsheet application is running"));
    return *app;
}

bool folderExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

// Creates one folder. A folder (or file) that exists already is a failure, never reused, so two
// runs cannot mix their output in one run folder.
void createFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0777) == 0)
        return;
    const int code = errno;
    std::int32_t number = err::PathFileAccessError;
    switch (code) {
    case EEXIST:
        number = err::FileAlreadyExists;
        break;
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

// The row count as the run holds it: a 16-bit signed number.
std::int16_t rowCountOf(const tasklist::TaskRows& rows)
{
    const int count = rows.rowCount();
    if (count > std::numeric_limits<std::int16_t>::max())
        throw Error(err::Overflow, QStringLiteral("Overflow: the task list has %1 rows, more than 32767").arg(count));
    return static_cast<std::int16_t>(count);
}

std::shared_ptr<automation::Workbook> activeWorkbook(automation::SpreadsheetApplication& app)
{
    auto book = app.ActiveWorkbook();
    if (!book)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("the spreadsheet application has no active workbook"));
    return book;
}

} // namespace

QString RunSplit(tasklist::TaskRows& rows, SplitView& view, const QString& procName)
{
    bool inSplitState = false;
    try {
        QString caption;
        if (clsSetting* setting = MainProc::Setting())
            setting->GetSetting(QStringLiteral("frmMainCaption"), caption);
        view.setCaption(caption + GetVersionString());

        if (rows.rowCount() == 0) {
            platform::msgBox(QStringLiteral("Please select some Excel workbook at first"));
            return QString();
        }

        QString outputFolder = BrowseFolder(QStringLiteral("Please select output folder"));
        if (!folderExists(outputFolder)) {
            platform::msgBox(QStringLiteral("Please select a output folder and try again"));
            return QString();
        }

        const QString stamp = GetNowString();
        outputFolder = PrepareOutputFolder(outputFolder, stamp);
        createFolder(outputFolder);

        InitControlStateBeforeSplit(rows, view);
        inSplitState = true;
        view.repaintNow();

        const std::int16_t count = rowCountOf(rows);
        automation::SpreadsheetApplication& app = application();
        for (int i = 1; i <= count; ++i) {
            const QString workbookPath = rows.sourceFileName(i);
            if (app.workbooks().Count() == 0)
                app.workbooks().Open(workbookPath);
            // Consecutive rows of one workbook keep it open; the comparison counts letter case.
            auto source = activeWorkbook(app);
            if (source->FullName() != workbookPath) {
                source->Close(false);
                app.workbooks().Open(workbookPath);
                source = activeWorkbook(app);
            }

            const QString workbookName = source->Name();
            const QString shortName = GetWorkbookShortName(workbookName);
            refuseUnsafeWorkbookFolder(shortName, workbookName);
            const QString workbookFolder = AppendBackslash(AppendBackslash(outputFolder) + shortName);
            if (!folderExists(workbookFolder))
                createFolder(workbookFolder);

            const QString sheetName = rows.worksheetName(i);
            refuseUnsafeWorksheetName(sheetName);
            source->WorksheetByName(sheetName)->Copy();
            auto copy = activeWorkbook(app);
            copy->SaveAs(workbookFolder + sheetName + kSplittedAt + stamp + kOutputExtension);
            copy->Close(false);

            SetCurrentListItem(rows, static_cast<std::int16_t>(i));
            view.setProgressValue(2.0f * static_cast<float>(i));
            view.repaintNow();
        }

        if (app.workbooks().Count() > 0)
            app.workbooks().Close();
        inSplitState = false;
        RestoreControlStateAfterSplit(view);
        SetCurrentListItem(rows, 1);
        view.repaintNow();
        platform::msgBox(QStringLiteral("Mission complete!"));

        platform::ShellSeam* shell = platform::seams().shell;
        if (!shell || !shell->openFolder(outputFolder))
            throw Error(err::FileNotFound,
                        QStringLiteral("the file manager could not be started to show \"%1\"").arg(outputFolder));
        return outputFolder;
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // The pointer, the bar and the events go back to idle before the report, so the window
        // is not left busy once the user has read it. Open workbooks stay for the next run.
        if (inSplitState) {
            try {
                RestoreControlStateAfterSplit(view);
                view.repaintNow();
            } catch (...) {
            }
        }
        try {
            showProcedureError(procName, failure);
        } catch (...) {
        }
        return QString();
    }
}

} // namespace bf::split
