#include "book/FileKind.h"

#include "book/Cfb.h"

#include <QFile>

#include <zip.h>

#include <functional>
#include <optional>

namespace bf::book {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kEof = 0x000A;

// A password is announced by FILEPASS among the first records of the globals, before the list
// of sheets.
bool hasFilePass(CfbStream& stream)
{
    std::uint64_t pos = 0;
    std::uint8_t header[4];
    for (int n = 0; n < 16 && stream.peek(pos, 4, header); ++n) {
        const std::uint16_t type = le16(header);
        if (type == kFilePass)
            return true;
        if (type == kBoundSheet || type == kEof)
            break;
        pos += 4 + le16(header + 2);
    }
    return false;
}

// A password-protected package, or a workbook with rights management or a password.
std::optional<FileKind> encryptionOf(const CfbFile& cfb)
{
    std::optional<FileKind> kind;
    for (const auto& e : cfb.entries()) {
        if (e.name == QLatin1String("EncryptedPackage"))
            return FileKind::EncryptedOpenXml;
        if (e.name == QLatin1String("EncryptionInfo") || e.name == QLatin1String("\x06" "DataSpaces"))
            kind = FileKind::EncryptedXls;
    }
    return kind;
}

FileKind kindOfCompound(const CfbFile& cfb)
{
    if (const auto encrypted = encryptionOf(cfb))
        return *encrypted;
    // The version is decided by the first BOF, not by the stream's name; a dual-format file
    // carries an Excel 5.0/95 "Book" beside the Excel 97 "Workbook".
    bool sawStream = false, sawBiff5 = false;
    for (const QString& name : {QStringLiteral("Workbook"), QStringLiteral("Book")}) {
        auto stream = cfb.openStream(name);
        std::uint8_t bof[8];
        sawStream |= stream != nullptr;
        if (!stream || !stream->peek(0, 8, bof) || le16(bof) != kBof)
            continue;
        const bool biff8 = le16(bof + 2) >= 8 && le16(bof + 4) == 0x0600;
        if (!biff8 && le16(bof + 4) != 0x0500)
            continue;
        if (hasFilePass(*stream))
            return FileKind::EncryptedXls;
        if (biff8)
            return FileKind::Biff8;
        sawBiff5 = true;
    }
    if (sawBiff5)
        return FileKind::Biff5;
    return sawStream ? FileKind::DamagedCompound : FileKind::OtherCompound;
}

// An OpenDocument package names its type in an uncompressed first entry called "mimetype".
bool isOpenDocument(const QByteArray& head)
{
    return head.mid(30, 8) == "mimetype" && head.mid(38).startsWith("application/vnd.oasis.opendocument");
}

FileKind kindOfZip(zip_t* zip)
{
    const bool binary = zip && zip_name_locate(zip, "xl/workbook.bin", ZIP_FL_NOCASE) >= 0;
    if (zip)
        zip_discard(zip);
    return binary ? FileKind::Xlsb : FileKind::OpenXml;
}

// A record stream of Excel 2.x-4.0: a BOF of those versions (some writers leave the id's low
// byte 0) with a short size.
bool isOldBiff(const QByteArray& head)
{
    if (head.size() < 4 || static_cast<std::uint8_t>(head[2]) >= 0x20)
        return false;
    const std::uint16_t id = le16(reinterpret_cast<const std::uint8_t*>(head.constData()));
    for (std::uint16_t bof : {0x0009, 0x0209, 0x0409, 0x0809})
        if (id == bof || id == (bof & 0xFF00))
            return true;
    return false;
}

bool isText(const QByteArray& head)
{
    if (head.startsWith("\xff\xfe") || head.startsWith("\xfe\xff"))
        return true;
    for (char c : head)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            return false;
    return !head.startsWith("ID;"); // a symbolic-link spreadsheet is text a spreadsheet reads
}

FileKind kindOfPlain(const QByteArray& head)
{
    if (isOldBiff(head))
        return FileKind::OldBiff;
    QByteArray lower = head.left(512).toLower();
    if (lower.startsWith("\xef\xbb\xbf"))
        lower = lower.mid(3);
    lower = lower.trimmed();
    if (lower.contains("<html") || lower.contains("<!doctype html") || lower.contains("<table"))
        return FileKind::Html;
    if (lower.startsWith("<?xml") || lower.startsWith("<"))
        return FileKind::Xml;
    return isText(head) ? FileKind::Text : FileKind::Unknown;
}

Sniffed sniff(const QByteArray& head, const std::function<std::unique_ptr<CfbFile>(QString*)>& openCompound,
              const std::function<zip_t*()>& openZip)
{
    Sniffed out;
    if (head.isEmpty())
        out.kind = FileKind::Empty;
    else if (head.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1")) {
        out.container = openCompound(&out.containerProblem);
        out.kind = out.container ? kindOfCompound(*out.container) : FileKind::DamagedCompound;
    } else if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        out.kind = isOpenDocument(head) ? FileKind::OpenDocument : kindOfZip(openZip());
    else
        out.kind = kindOfPlain(head);
    return out;
}

} // namespace

QString describe(FileKind kind)
{
    switch (kind) {
    case FileKind::Biff8: return QStringLiteral("it is an Excel 97-2003 workbook, not an Open XML one");
    case FileKind::Biff5: return QStringLiteral("it is an Excel 5.0/95 workbook, which is not supported");
    case FileKind::EncryptedXls: return QStringLiteral("it is a password-protected Excel 97-2003 workbook");
    case FileKind::EncryptedOpenXml: return QStringLiteral("it is a password-protected Open XML workbook");
    case FileKind::OtherCompound: return QStringLiteral("it is a compound file holding no workbook");
    case FileKind::DamagedCompound: return QStringLiteral("it is a damaged compound file");
    case FileKind::OpenXml: return QStringLiteral("it is a zip package (an Open XML workbook?), not an Excel 97-2003 workbook");
    case FileKind::Xlsb: return QStringLiteral("it is an Excel binary workbook (.xlsb), which is not supported");
    case FileKind::OpenDocument: return QStringLiteral("it is an OpenDocument file, which is not supported");
    case FileKind::OldBiff: return QStringLiteral("it is an Excel 2.x-4.0 file, which is not supported");
    case FileKind::Html: return QStringLiteral("it is an HTML file, not a workbook");
    case FileKind::Xml: return QStringLiteral("it is an XML file, not a workbook");
    case FileKind::Text: return QStringLiteral("it is a text file, not a workbook");
    case FileKind::Empty: return QStringLiteral("the file is empty");
    case FileKind::Unknown: break;
    }
    return QStringLiteral("it is not a workbook");
}

Sniffed sniffBytes(const QByteArray& bytes)
{
    return sniff(
        bytes.left(512), [&](QString* problem) { return CfbFile::openBytes(bytes, problem); },
        [&]() -> zip_t* {
            zip_source_t* source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, nullptr);
            zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, nullptr) : nullptr;
            if (source && !zip)
                zip_source_free(source);
            return zip;
        });
}

Sniffed sniffFile(const QByteArray& head, const QString& openablePath)
{
    return sniff(
        head, [&](QString* problem) { return CfbFile::openPath(openablePath, problem); },
        [&] { return zip_open(QFile::encodeName(openablePath).constData(), ZIP_RDONLY, nullptr); });
}

} // namespace bf::book
