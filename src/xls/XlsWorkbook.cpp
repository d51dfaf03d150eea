#include "xls/XlsWorkbook.h"

#include "book/Cfb.h"
#include "book/WorkbookFile.h"
#include "xls/WorkbookData.h"

namespace bf::xls {

namespace {
// The kinds this engine reads: a damaged compound file is read as far as it goes, so that the
// refusal names the damage.
constexpr std::initializer_list<book::FileKind> kReadable = {book::FileKind::Biff8, book::FileKind::DamagedCompound};

XlsStatus statusOf(const book::Refusal& r)
{
    using K = book::FileKind;
    switch (r.why()) {
    case book::Refusal::Why::Missing: return XlsStatus::FileNotFound;
    case book::Refusal::Why::NotRegular: return XlsStatus::NotAFile;
    case book::Refusal::Why::Unreadable: return XlsStatus::Unreadable;
    case book::Refusal::Why::Kind: break;
    }
    switch (r.kind()) {
    case K::Biff5: return XlsStatus::NotBiff8;
    case K::EncryptedXls:
    case K::EncryptedOpenXml: return XlsStatus::Encrypted;
    case K::OtherCompound: return XlsStatus::NoWorkbookStream;
    default: return XlsStatus::NotCompoundFile;
    }
}

std::unique_ptr<WorkbookData> readWorkbook(const QString& path, book::Sniffed sniffed)
{
    auto wb = std::make_unique<WorkbookData>();
    wb->path = path;
    wb->cfb = std::move(sniffed.container);
    if (!wb->cfb)
        wb->damaged(sniffed.containerProblem);
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
    book::Sniffed sniffed;
    try {
        book::WorkbookFile file(path);
        file.require(kReadable);
        sniffed.container = file.takeContainer();
        sniffed.containerProblem = file.containerProblem();
    } catch (const book::Refusal& r) {
        throw XlsError(statusOf(r), r.message());
    }
    return std::unique_ptr<XlsWorkbook>(new XlsWorkbook(readWorkbook(path, std::move(sniffed))));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::openBytes(const QByteArray& bytes, const QString& displayName)
{
    book::Sniffed sniffed = book::sniffBytes(bytes);
    try {
        book::requireKind(sniffed.kind, displayName, kReadable);
    } catch (const book::Refusal& r) {
        throw XlsError(statusOf(r), r.message());
    }
    return std::unique_ptr<XlsWorkbook>(new XlsWorkbook(readWorkbook(displayName, std::move(sniffed))));
}

const QString& XlsWorkbook::path() const { return data_->path; }

const std::vector<SheetInfo>& XlsWorkbook::sheets() const { return data_->sheets; }

std::vector<SheetInfo> XlsWorkbook::worksheets() const { return book::worksheetsOf(data_->sheets); }

} // namespace bf::xls
