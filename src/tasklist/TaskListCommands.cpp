#include "tasklist/TaskListCommands.h"

#include "automation/SpreadsheetApplication.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "startup/ErrorReports.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace bf::tasklist {

namespace {

bool alreadyListed(const TaskRows& rows, const QString& path)
{
    const int count = rows.rowCount();
    for (int i = 1; i <= count; ++i)
        if (rows.sourceFileName(i) == path) // file names tell letter case apart
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

void AdjustColumnWidth(const platform::Seams& seams, TaskRows& rows, std::int16_t column, const QString& text)
{
    trapProcedure(seams, QStringLiteral("AdjustColumnWidth"), [&] {
        const std::int32_t w = RoundHalfEven(rows.textWidthTwips(text) + 200.0);
        if (rows.columnWidthTwips(column) < w)
            rows.setColumnWidthTwips(column, w);
    });
}

namespace {
bool passwordCancelled(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const automation::PasswordError& e) {
        return e.why() == automation::PasswordError::Why::Cancelled;
    } catch (...) {
        return false;
    }
}
} // namespace

void UpdateListView(const AppContext& context, TaskRows& rows, const QString& WorkbookPath)
{
    std::shared_ptr<automation::Workbook> workbook;
    try {
        if (alreadyListed(rows, WorkbookPath))
            return;
        BusyPointer busy(rows);
        workbook = context.openWorkbook(WorkbookPath);
        if (!workbook) {
            // The pointer goes back before the message, as on every other way out.
            rows.setBusyPointer(false);
            context.seams.msgBox(context.configured(QStringLiteral("ErrCantOpenWorkbook")));
            return;
        }
        int position = 0;
        for (const auto& sheet : workbook->Worksheets()) {
            ++position;
            rows.addRow(WorkbookPath, sheet->Name());
            const int n = rows.rowCount();
            rows.setSheetFacts(n, {position, sheet->Visibility()});
            // A worksheet whose name holds "?", a character sheet names may not hold, is left
            // out: the list shows names as read, and the split finds a sheet by that name.
            if (rows.worksheetName(n).contains(QLatin1Char('?'))) {
                rows.removeRow(n);
                continue;
            }
            AdjustColumnWidth(context.seams, rows, 1, rows.sourceFileName(n));
            AdjustColumnWidth(context.seams, rows, 2, rows.worksheetName(n));
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
            // A workbook whose password the user did not give is skipped without a message.
            if (!passwordCancelled(failure))
                showFileError(context.seams, WorkbookPath, failure);
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
    return fileName.right(3).toUpper() == QLatin1String("XLS") || HasOpenXmlEnding(fileName);
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
        if (name.startsWith(QLatin1Char('.')) ||
            !(name.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive) || HasOpenXmlEnding(name)))
            continue;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        names << name;
    }
    if (ec)
        throw folderError(err::PathFileAccessError, folder, ec);
    // The file system's own order is none in particular: by name, letter case aside, and for
    // names that differ only in case, in a fixed order of their own.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byName = a.compare(b, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });
    return names;
}

void AddFile(const AppContext& context, TaskRows& rows)
{
    context.spreadsheet(); // nothing is asked while no spreadsheet application is running
    auto* dialog = context.seams.fileOpenDialog;
    if (!dialog)
        raise(err::ObjectVariableNotSet);
    const QString fileName = dialog->getOpenFileName(QStringLiteral("Excel Files (*.xls;*.xlsx;*.xlsm)"));
    if (fileName.isEmpty())
        return;
    if (HasWorkbookEnding(fileName))
        UpdateListView(context, rows, fileName);
}

namespace {
void addFolderPath(const AppContext& context, TaskRows& rows, QString folder)
{
    try {
        folder = AppendBackslash(folder);
        const QStringList names = ListFolderWorkbooks(folder);
        for (const QString& name : names)
            UpdateListView(context, rows, folder + name);
    } catch (...) {
        showFolderError(context.seams, folder);
    }
}
} // namespace

void AddFolder(const AppContext& context, TaskRows& rows)
{
    context.spreadsheet(); // nothing is asked while no spreadsheet application is running
    QString folder;
    try {
        folder = context.seams.browseFolder(QStringLiteral("Add all Excel files in the folder"));
    } catch (...) {
        showFolderError(context.seams, folder);
        return;
    }
    if (folder.isEmpty())
        return;
    addFolderPath(context, rows, folder);
}

void AddDropped(const AppContext& context, TaskRows& rows, const QStringList& paths)
{
    context.spreadsheet(); // nothing is listed while no spreadsheet application is running
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            addFolderPath(context, rows, info.absoluteFilePath());
        else if (HasWorkbookEnding(path))
            UpdateListView(context, rows, path);
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

void ClearList(const platform::Seams& seams, TaskRows& rows)
{
    if (rows.rowCount() == 0)
        return;
    const platform::MsgResult answer =
        seams.msgBox(QStringLiteral("Do you really want to clear the list"), platform::MsgButtons::YesNo,
                         platform::MsgIcon::Question, platform::MsgDefault::Second);
    if (answer == platform::MsgResult::Yes)
        rows.clearRows();
}

bool ConfirmExit(const platform::Seams& seams, const TaskRows& rows)
{
    if (rows.rowCount() == 0)
        return true;
    return seams.msgBox(QStringLiteral("Do you really want to exit?"), platform::MsgButtons::YesNo,
                            platform::MsgIcon::Question, platform::MsgDefault::Second) == platform::MsgResult::Yes;
}

} // namespace bf::tasklist
