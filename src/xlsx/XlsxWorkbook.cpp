#include "xlsx/XlsxWorkbook.h"
#include "core/Error.h"
#include "platform/InputFile.h"

#include "xlsx/Formula.h"
#include "xlsx/Package.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Tables.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlReader.h"
#include "xlsx/XmlScanner.h"

#include <QFile>
#include <QFileInfo>

#include <gsf/gsf.h>

namespace bf::xlsx {

namespace {

const QByteArray kZipMagic("PK\x03\x04", 4);
const QByteArray kCompoundMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
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

std::vector<SheetInfo> XlsxWorkbook::worksheets() const
{
    std::vector<SheetInfo> out;
    for (const SheetInfo& s : sheets_)
        if (s.kind == SheetKind::Worksheet)
            out.push_back(s);
    return out;
}

const SharedStrings& XlsxWorkbook::sharedStrings() const
{
    if (!sharedStrings_) {
        sharedStrings_ = std::make_unique<SharedStrings>();
        for (const Relationship& r : workbookRels_) {
            if (r.kind() == QLatin1String("sharedStrings") && !r.external && package_->find(r.part)) {
                sharedStrings_ = std::make_unique<SharedStrings>(package_->read(r.part), detail(r.part));
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
