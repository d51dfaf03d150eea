#include "tasklist/TaskListCommands.h"

#include "platform/Seams.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/CommonDefine.h"
#include "startup/ErrorReports.h"
#include "startup/MainProc.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace bf::tasklist {

namespace {

QString configured(const QString& key)
{
    QString text;
    if (clsSetting* setting = MainProc::Setting())
        setting->GetSetting(key, text);
    return text;
}

bool alreadyListed(const TaskRows& rows, const QString& path)
{
    const int count = rows.rowCount();
    for (int i = 1; i <= count; ++i)
        if (rows.sourceFileName(i).compare(path, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The hourglass for the life of one listing, restored on every way out.
class BusyPointer {
public:
    explicit BusyPointer(TaskRows& rows) : rows_(rows) { rows_.setBusyPointer(true); }
    ~BusyPointer()
    {
        try {
            rows_.setBusyPointer(false);
        } catch (...) {
        }
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    TaskRows& rows_;
};

Error folderError(std::int32_t number, const QString& folder, const std::error_code& ec)
{
    return Error(number, standardDescription(number) + QStringLiteral(": ") + folder + QStringLiteral(" (") +
                             QString::fromLocal8Bit(ec.message().c_str()) + ')');
}

} // namespace

std::int32_t RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        raise(err::Overflow);
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        r > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        raise(err::Overflow);
    return static_cast<std::int32_t>(r);
}

void AdjustColumnWidth(TaskRows& rows, std::int16_t column, const QString& text)
{
    trapProcedure(QStringLiteral("AdjustColumnWidth"), [&] {
        const std::int32_t w = RoundHalfEven(rows.textWidthTwips(text) + 200.0);
        if (rows.columnWidthTwips(column) < w)
            rows.setColumnWidthTwips(column, w);
    });
}

void UpdateListView(TaskRows& rows, automation::SpreadsheetApplication& app, const QString& WorkbookPath)
{
    std::shared_ptr<automation::Workbook> workbook;
    try {
        if (alreadyListed(rows, WorkbookPath))
            return;
        BusyPointer busy(rows);
        workbook = app.workbooks().Open(WorkbookPath);
        if (!workbook) {
            // The pointer goes back before the message, as on every other way out.
            rows.setBusyPointer(false);
            platform::msgBox(configured(QStringLiteral("ErrCantOpenWorkbook")));
            return;
        }
        for (const auto& sheet : workbook->Worksheets()) {
            rows.addRow(WorkbookPath, sheet->Name());
            const int n = rows.rowCount();
            // A name the list cannot hold comes back with "?" in it: such a sheet could not be
            // found again by name when splitting, so it is not listed.
            if (rows.worksheetName(n).contains(QLatin1Char('?'))) {
                rows.removeRow(n);
                continue;
            }
            AdjustColumnWidth(rows, 1, rows.sourceFileName(n));
            AdjustColumnWidth(rows, 2, rows.worksheetName(n));
        }
        auto closing = std::move(workbook);
        closing->Close(false);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        try {
            rows.setBusyPointer(false);
        } catch (...) {
        }
        try {
            showFileError(WorkbookPath, failure);
        } catch (...) {
        }
        if (workbook) {
            try {
                workbook->Close(false);
            } catch (...) {
            }
        }
    }
}

bool HasWorkbookEnding(const QString& fileName)
{
    return fileName.right(3).toUpper() == QLatin1String("XLS");
}

QStringList ListFolderWorkbooks(const QString& folder)
{
    namespace fs = std::filesystem;
    const fs::path dir(QFile::encodeName(folder).toStdString());
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw folderError(err::PathNotFound, folder, ec ? ec : std::make_error_code(std::errc::not_a_directory));
    QStringList names;
    fs::directory_iterator it(dir, ec);
    if (ec)
        throw folderError(err::PathFileAccessError, folder, ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()));
        // Hidden files (a leading dot) are left out, as the listing asks for ordinary files only.
        if (name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        names << name;
    }
    if (ec)
        throw folderError(err::PathFileAccessError, folder, ec);
    return names;
}

void AddFile(TaskRows& rows, automation::SpreadsheetApplication& app)
{
    auto* dialog = platform::seams().fileOpenDialog;
    if (!dialog)
        raise(err::ObjectVariableNotSet);
    const QString fileName = dialog->getOpenFileName(QStringLiteral("Excel Files (*.xls)"));
    if (fileName.isEmpty())
        return;
    if (HasWorkbookEnding(fileName))
        UpdateListView(rows, app, fileName);
}

namespace {
void addFolderPath(TaskRows& rows, automation::SpreadsheetApplication& app, QString folder)
{
    try {
        folder = AppendBackslash(folder);
        const QStringList names = ListFolderWorkbooks(folder);
        for (const QString& name : names)
            UpdateListView(rows, app, folder + name);
    } catch (...) {
        showFolderError(folder);
    }
}
} // namespace

void AddFolder(TaskRows& rows, automation::SpreadsheetApplication& app)
{
    QString folder;
    try {
        folder = BrowseFolder(QStringLiteral("Add all Excel files in the folder"));
    } catch (...) {
        showFolderError(folder);
        return;
    }
    if (folder.isEmpty())
        return;
    addFolderPath(rows, app, folder);
}

void AddDropped(TaskRows& rows, automation::SpreadsheetApplication& app, const QStringList& paths)
{
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            addFolderPath(rows, app, info.absoluteFilePath());
        else if (HasWorkbookEnding(path))
            UpdateListView(rows, app, path);
    }
}

void RemoveItem(TaskRows& rows)
{
    if (rows.rowCount() == 0)
        return;
    const int current = rows.currentRow();
    if (current == 0)
        raise(err::ObjectVariableNotSet);
    rows.removeRow(current);
    const int next = rows.currentRow();
    if (next != 0)
        rows.selectRow(next);
}

void ClearList(TaskRows& rows)
{
    if (rows.rowCount() == 0)
        return;
    const platform::MsgResult answer =
        platform::msgBox(QStringLiteral("Do you really want to clear the list"), platform::MsgButtons::YesNo,
                         platform::MsgIcon::Question, platform::MsgDefault::Second);
    if (answer == platform::MsgResult::Yes)
        rows.clearRows();
}

bool ConfirmExit(const TaskRows& rows)
{
    if (rows.rowCount() == 0)
        return true;
    return platform::msgBox(QStringLiteral("Do you really want to exit?"), platform::MsgButtons::YesNo,
                            platform::MsgIcon::Question, platform::MsgDefault::Second) == platform::MsgResult::Yes;
}

} // namespace bf::tasklist
