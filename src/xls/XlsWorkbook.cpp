#include "xls/XlsWorkbook.h"

#include "core/Error.h"
#include "platform/InputFile.h"
#include "platform/NewFile.h"
#include "xls/FileKind.h"
#include "xls/WorkbookData.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <optional>

namespace bf::xls {

namespace {
// The container of a file or of bytes in memory, refused when it is none.
void openContainer(WorkbookData& wb, const QByteArray& head, const std::function<std::unique_ptr<CfbFile>(QString*)>& open)
{
    if (!hasCompoundFileSignature(head))
        wb.fail(XlsStatus::NotCompoundFile, toText(XlsStatus::NotCompoundFile) + QStringLiteral(": ") + describeNonCompound(head));
    QString reason;
    wb.cfb = open(&reason);
    if (!wb.cfb)
        wb.damaged(reason);
}

std::unique_ptr<WorkbookData> readWorkbook(std::unique_ptr<WorkbookData> wb)
{
    wb->chooseStream();
    wb->readGlobals();
    wb->checkSheets();
    return wb;
}
} // namespace

XlsWorkbook::XlsWorkbook(std::unique_ptr<WorkbookData> data) : data_(std::move(data)) {}
XlsWorkbook::~XlsWorkbook() = default;

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString& path)
{
    auto wb = std::make_unique<WorkbookData>();
    wb->path = path;
    const QFileInfo info(path);
    if (!info.exists())
        throw XlsError(XlsStatus::FileNotFound, QStringLiteral("'%1' was not found").arg(path));
    if (info.isDir())
        wb->fail(XlsStatus::NotAFile);
    // A FIFO or a device under a workbook's name is refused at once, never waited on; the
    // container is then read from the very file checked.
    std::optional<platform::InputFile> file;
    try {
        file.emplace(path);
    } catch (const Error& e) {
        wb->fail(XlsStatus::Unreadable, e.description());
    }
    const QByteArray head = file->readHead(512);
    openContainer(*wb, head, [&](QString* reason) { return CfbFile::openPath(file->descriptorPath(), reason); });
    return std::unique_ptr<XlsWorkbook>(new XlsWorkbook(readWorkbook(std::move(wb))));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::openBytes(const QByteArray& bytes, const QString& displayName)
{
    auto wb = std::make_unique<WorkbookData>();
    wb->path = displayName;
    openContainer(*wb, bytes.left(512), [&](QString* reason) { return CfbFile::openBytes(bytes, reason); });
    return std::unique_ptr<XlsWorkbook>(new XlsWorkbook(readWorkbook(std::move(wb))));
}

const QString& XlsWorkbook::path() const { return data_->path; }

const std::vector<SheetInfo>& XlsWorkbook::sheets() const { return data_->sheets; }

std::vector<SheetInfo> XlsWorkbook::worksheets() const
{
    std::vector<SheetInfo> out;
    for (const SheetInfo& s : data_->sheets)
        if (s.type == SheetType::Worksheet)
            out.push_back(s);
    return out;
}

QStringList listWorksheets(const QString& path)
{
    const auto wb = XlsWorkbook::open(path);
    QStringList lines;
    for (const SheetInfo& s : wb->worksheets())
        lines << path + '\t' + s.name;
    return lines;
}

void extractWorksheetToFile(const QString& source, const QString& sheetName, const QString& target)
{
    const auto wb = XlsWorkbook::open(source);
    for (const SheetInfo& s : wb->worksheets()) {
        if (s.name == sheetName) {
            const QByteArray bytes = wb->extract(s.index, QFileInfo(source).absoluteFilePath());
            platform::writeNewFile(target, bytes, false);
            return;
        }
    }
    throw XlsError(XlsStatus::NoSuchWorksheet, QStringLiteral("'%1' has no worksheet named '%2'").arg(source, sheetName));
}

} // namespace bf::xls
