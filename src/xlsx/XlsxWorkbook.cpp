#include "xlsx/XlsxWorkbook.h"
#include "book/Cfb.h"
#include "book/WorkbookFile.h"
#include "platform/InputFile.h"

#include "xlsx/Formula.h"
#include "xlsx/Package.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Tables.h"
#include "xlsx/Worksheet.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlReader.h"
#include "xlsx/XmlScanner.h"

#include <algorithm>
#include <utility>

namespace bf::xlsx {

namespace {

// Parts up to this size are inflated in one call rather than streamed.
constexpr std::uint64_t kWholeReadBytes = 16u << 20;
const QString kStrictPrefix = QStringLiteral("http://purl.oclc.org/ooxml/");

XlsxStatus statusOf(const book::Refusal& r)
{
    using K = book::FileKind;
    switch (r.why()) {
    case book::Refusal::Why::Missing: return XlsxStatus::FileNotFound;
    case book::Refusal::Why::NotRegular:
    case book::Refusal::Why::Unreadable: return XlsxStatus::ReadFailed;
    case book::Refusal::Why::Kind: break;
    }
    switch (r.kind()) {
    case K::EncryptedXls:
    case K::EncryptedOpenXml: return XlsxStatus::Encrypted;
    case K::Biff8:
    case K::Biff5:
    case K::OtherCompound:
    case K::DamagedCompound: return XlsxStatus::LegacyBinary;
    case K::Xlsb: return XlsxStatus::BinaryWorkbook;
    default: return XlsxStatus::NotZip;
    }
}

SheetKind kindOf(const QString& relKind)
{
    if (relKind == QLatin1String("worksheet"))
        return SheetKind::Worksheet;
    if (relKind == QLatin1String("chartsheet"))
        return SheetKind::Chart;
    if (relKind == QLatin1String("dialogsheet"))
        return SheetKind::Dialog;
    if (relKind.endsWith(QLatin1String("acrosheet")))
        return SheetKind::Macro;
    return SheetKind::Other;
}

book::Visibility visibilityOf(const QString& state)
{
    if (state == QLatin1String("hidden"))
        return book::Visibility::Hidden;
    if (state == QLatin1String("veryHidden"))
        return book::Visibility::VeryHidden;
    return book::Visibility::Visible;
}

} // namespace

XlsxWorkbook::XlsxWorkbook() = default;
XlsxWorkbook::~XlsxWorkbook() = default;

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::open(const QString& path, const QString& displayName)
{
    const QString name = displayName.isEmpty() ? path : displayName;
    std::unique_ptr<platform::InputFile> file;
    try {
        book::WorkbookFile workbook(path);
        workbook.require({book::FileKind::OpenXml});
        file = workbook.takeFile();
    } catch (const book::Refusal& r) {
        throw XlsxError(statusOf(r), r.message());
    }
    return read(std::make_unique<Package>(std::move(file), name));
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::openBytes(const QByteArray& bytes,
                                                      const QString& displayName)
{
    try {
        book::requireKind(book::sniffBytes(bytes).kind, displayName, {book::FileKind::OpenXml});
    } catch (const book::Refusal& r) {
        throw XlsxError(statusOf(r), r.message());
    }
    return read(std::make_unique<Package>(bytes, displayName));
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::read(std::unique_ptr<Package> package)
{
    std::unique_ptr<XlsxWorkbook> wb(new XlsxWorkbook());
    wb->path_ = package->displayName();
    wb->package_ = std::move(package);
    wb->readPackage();
    wb->readSheets();
    return wb;
}

QString XlsxWorkbook::detail(const QString& part) const
{
    return package_->displayName() + QStringLiteral(", part ") + part;
}

void XlsxWorkbook::readPackage()
{
    packageRels_ = readRelationships(*package_, QString());
    const Relationship* office = nullptr;
    for (const Relationship& r : packageRels_) {
        if (r.kind() == QLatin1String("officeDocument") && !r.external) {
            office = &r;
            break;
        }
    }
    if (!office) {
        for (const Relationship& r : packageRels_)
            if (r.type.startsWith(kStrictPrefix))
                fail(XlsxStatus::StrictConformance, package_->displayName());
        fail(XlsxStatus::NoWorkbookPart, package_->displayName());
    }
    if (office->type.startsWith(kStrictPrefix))
        fail(XlsxStatus::StrictConformance, package_->displayName());
    workbookPart_ = office->part;
    if (!package_->find(workbookPart_))
        fail(XlsxStatus::NoWorkbookPart, package_->displayName());
    contentTypes_ = ContentTypes::read(*package_);
    const QString type = contentTypes_.typeOf(workbookPart_);
    if (type.contains(QLatin1String("binary")) || workbookPart_.endsWith(QLatin1String(".bin")))
        throw XlsxError(XlsxStatus::BinaryWorkbook, book::refusalText(package_->displayName(), book::FileKind::Xlsb));
    workbookRels_ = readRelationships(*package_, workbookPart_);
    for (const Relationship& r : workbookRels_)
        if (kindOf(r.kind()) == SheetKind::Other)
            sharedWorkbookRels_.push_back(r);
}

void XlsxWorkbook::readSheets()
{
    const QString what = detail(workbookPart_);
    XmlReader reader(package_->read(workbookPart_), what);
    static const char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    while (reader.nextElement()) {
        if (reader.depth() == 0 && reader.namespaceUri().startsWith(kStrictPrefix))
            fail(XlsxStatus::StrictConformance, package_->displayName());
        if (reader.localName() == QLatin1String("definedName") && reader.depth() == 2) {
            DefinedName n;
            n.folded = foldName(reader.attribute("name").value_or(QString()).toStdString());
            n.localSheet = reader.attribute("localSheetId").value_or(QStringLiteral("-1")).toInt();
            n.formula = reader.readText().toStdString();
            definedNames_.push_back(std::move(n));
            continue;
        }
        if (reader.localName() != QLatin1String("sheet") || reader.depth() != 2)
            continue;
        SheetInfo s;
        s.name = reader.attribute("name").value_or(QString());
        s.index = int(sheets_.size());
        s.visibility = visibilityOf(reader.attribute("state").value_or(QString()));
        s.relId = reader.attribute("id", kRelNs).value_or(QString());
        const Relationship* rel = findById(workbookRels_, s.relId);
        if (!rel || rel->external)
            fail(XlsxStatus::MissingPart, what + QStringLiteral(", sheet ") + s.name);
        s.kind = kindOf(rel->kind());
        s.part = rel->part;
        if (!package_->find(s.part))
            fail(XlsxStatus::MissingPart, detail(s.part));
        sheets_.push_back(std::move(s));
    }
}

std::vector<SheetInfo> XlsxWorkbook::worksheets() const { return book::worksheetsOf(sheets_); }

// A part as chunks: a small one inflated in one call, a large one streamed (the string table
// of a large export inflates to many times the file).
std::function<void(QByteArray&)> XlsxWorkbook::chunksOf(const PartEntry& entry) const
{
    if (entry.size <= kWholeReadBytes) {
        auto whole = std::make_shared<QByteArray>(package_->read(entry));
        return [whole](QByteArray& chunk) { chunk = std::exchange(*whole, QByteArray()); };
    }
    std::shared_ptr<PartReader> reader = package_->stream(entry);
    return [reader](QByteArray& chunk) { reader->read(chunk, 1 << 20); };
}

const SharedStrings& XlsxWorkbook::sharedStrings() const
{
    if (!sharedStrings_) {
        sharedStrings_ = std::make_unique<SharedStrings>();
        for (const Relationship& r : workbookRels_) {
            const PartEntry* entry = r.external ? nullptr : package_->find(r.part);
            if (r.kind() == QLatin1String("sharedStrings") && entry) {
                sharedStrings_ = std::make_unique<SharedStrings>(chunksOf(*entry), detail(r.part), entry->size);
                break;
            }
        }
    }
    return *sharedStrings_;
}

std::shared_ptr<const FormulaTargets> XlsxWorkbook::formulaTargets() const
{
    if (!formulaTargets_) {
        std::vector<QString> names;
        for (const SheetInfo& s : sheets_)
            names.push_back(s.name);
        auto targets = std::make_shared<FormulaTargets>(std::move(names));
        for (TableInfo& t : workbookTables(*this))
            targets->addTable(std::move(t));
        for (const DefinedName& n : definedNames_)
            targets->addDefinedName(n.folded);
        formulaTargets_ = std::move(targets);
    }
    return formulaTargets_;
}

const SheetUse* XlsxWorkbook::sheetUse(int index) const
{
    const auto withCells = std::count_if(sheets_.begin(), sheets_.end(),
                                         [](const SheetInfo& s) { return s.kind != SheetKind::Chart; });
    if (withCells == 1 && definedNames_.empty())
        return nullptr;
    std::unique_ptr<SheetUse>& use = sheetUses_[index];
    if (!use) {
        // Streamed whatever its size: the sheet may then be copied with its compressed bytes.
        // Small chunks first: the pass often stops at an early formula reading another sheet.
        const SheetInfo& s = sheets_.at(std::size_t(index));
        std::shared_ptr<PartReader> reader = package_->stream(*package_->find(s.part));
        auto chunks = [reader, size = qsizetype(16) << 10](QByteArray& chunk) mutable {
            reader->read(chunk, size);
            size = std::min<qsizetype>(size * 2, 1 << 20);
        };
        use = std::make_unique<SheetUse>(scanWorksheet(chunks, formulaTargets(), index, sharedStrings().size(), detail(s.part)));
    }
    return use.get();
}

QByteArray XlsxWorkbook::workbookPartFor(int index) const
{
    if (workbookPieces_.empty())
        workbookPieces_ = splitWorkbook(package_->read(workbookPart_), detail(workbookPart_));
    return workbookFor(workbookPieces_, index);
}

QByteArray XlsxWorkbook::appPropertiesFor(const QString& part, const QString& name) const
{
    static const QByteArray mark("\x01sheet-name\x01");
    if (appTemplate_.isEmpty())
        appTemplate_ = rewriteAppProperties(package_->read(part), QString::fromLatin1(mark), detail(part));
    QByteArray out = appTemplate_;
    return out.replace(mark, QByteArray::fromStdString(escapeXml(name.toStdString(), false)));
}

} // namespace bf::xlsx
