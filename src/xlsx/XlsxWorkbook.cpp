#include "xlsx/XlsxWorkbook.h"
#include "core/Error.h"
#include "platform/InputFile.h"

#include "xlsx/Package.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlReader.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

#include <gsf/gsf.h>

namespace bf::xlsx {

namespace {

const QByteArray kZipMagic("PK\x03\x04", 4);
const QByteArray kCompoundMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// Parts up to this size are inflated in one call rather than streamed.
constexpr std::uint64_t kWholeReadBytes = 16u << 20;
const QString kStrictPrefix = QStringLiteral("http://purl.oclc.org/ooxml/");

// A compound file holding an encrypted package is a password-protected Open XML workbook.
bool holdsEncryptedPackage(const QByteArray& bytes)
{
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                           gsf_off_t(bytes.size()), FALSE);
    GsfInfile* ole = input ? gsf_infile_msole_new(input, nullptr) : nullptr;
    bool found = false;
    if (ole) {
        GsfInput* child = gsf_infile_child_by_name(ole, "EncryptedPackage");
        found = child != nullptr;
        if (child)
            g_object_unref(child);
        g_object_unref(ole);
    }
    if (input)
        g_object_unref(input);
    return found;
}

SheetKind kindOf(const QString& relKind)
{
    if (relKind == QLatin1String("worksheet"))
        return SheetKind::Worksheet;
    if (relKind == QLatin1String("chartsheet"))
        return SheetKind::Chartsheet;
    if (relKind == QLatin1String("dialogsheet"))
        return SheetKind::Dialogsheet;
    if (relKind.endsWith(QLatin1String("acrosheet")))
        return SheetKind::Macrosheet;
    return SheetKind::Other;
}

std::uint8_t visibilityOf(const QString& state)
{
    if (state == QLatin1String("hidden"))
        return 1;
    if (state == QLatin1String("veryHidden"))
        return 2;
    return 0;
}

} // namespace

XlsxWorkbook::XlsxWorkbook() = default;
XlsxWorkbook::~XlsxWorkbook() = default;

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::open(const QString& path)
{
    if (!QFileInfo::exists(path))
        fail(XlsxStatus::FileNotFound, path);
    QByteArray bytes;
    try {
        // A FIFO, a device or a folder under a workbook's name is refused at once, never waited on.
        bytes = platform::InputFile(path).readAll();
    } catch (const Error& e) {
        fail(XlsxStatus::ReadFailed, e.description());
    }
    auto wb = openBytes(bytes, path);
    wb->path_ = path;
    return wb;
}

std::unique_ptr<XlsxWorkbook> XlsxWorkbook::openBytes(const QByteArray& bytes,
                                                      const QString& displayName)
{
    if (bytes.startsWith(kCompoundMagic))
        fail(holdsEncryptedPackage(bytes) ? XlsxStatus::Encrypted : XlsxStatus::LegacyBinary, displayName);
    if (!bytes.startsWith(kZipMagic) && !bytes.startsWith(QByteArray("PK\x05\x06", 4)))
        fail(XlsxStatus::NotZip, displayName);
    std::unique_ptr<XlsxWorkbook> wb(new XlsxWorkbook());
    wb->path_ = displayName;
    wb->package_ = std::make_unique<Package>(bytes, displayName);
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
        fail(XlsxStatus::BinaryWorkbook, package_->displayName());
    workbookRels_ = readRelationships(*package_, workbookPart_);
}

void XlsxWorkbook::readSheets()
{
    const QString what = detail(workbookPart_);
    XmlReader reader(package_->read(workbookPart_), what);
    static const char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    while (reader.nextElement()) {
        if (reader.depth() == 0 && reader.namespaceUri().startsWith(kStrictPrefix))
            fail(XlsxStatus::StrictConformance, package_->displayName());
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

std::vector<SheetInfo> XlsxWorkbook::worksheets() const
{
    std::vector<SheetInfo> out;
    for (const SheetInfo& s : sheets_)
        if (s.kind == SheetKind::Worksheet)
            out.push_back(s);
    return out;
}

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

bool looksLikeOpenXml(const QByteArray& head)
{
    return head.startsWith(kZipMagic);
}

bool looksLikeOpenXml(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(8);
    if (looksLikeOpenXml(head))
        return true;
    return head == kCompoundMagic && file.size() < (std::int64_t(1) << 31)
        && holdsEncryptedPackage(head + file.readAll());
}

} // namespace bf::xlsx
