#include "xls/XlsWorkbook.h"

#include "platform/NewFile.h"
#include "xls/Cfb.h"
#include "xls/Globals.h"
#include "xls/XlsStatus.h"

#include <QFile>
#include <QFileInfo>


namespace bf::xls {

namespace {

// What a file that is not a compound file most likely is, from its first bytes.
QString sniffNonCompound(const QByteArray& head)
{
    if (head.isEmpty())
        return QStringLiteral("the file is empty");
    if (head.startsWith("PK\x03\x04"))
        return QStringLiteral("it is a zip file (an Excel 2007 or later workbook?)");
    const auto b0 = static_cast<std::uint8_t>(head[0]);
    if (head.size() >= 4 && (b0 == 0x09 || b0 == 0x00) && static_cast<std::uint8_t>(head[2]) < 0x20
        && (static_cast<std::uint8_t>(head[1]) == 0x00 || static_cast<std::uint8_t>(head[1]) == 0x02
            || static_cast<std::uint8_t>(head[1]) == 0x04 || static_cast<std::uint8_t>(head[1]) == 0x08))
        return QStringLiteral("it is an Excel 2.x-4.0 file, which is not supported");
    QByteArray lower = head.left(512).toLower();
    if (lower.startsWith("\xef\xbb\xbf"))
        lower = lower.mid(3);
    lower = lower.trimmed();
    if (lower.contains("<html") || lower.contains("<!doctype html") || lower.contains("<table"))
        return QStringLiteral("it is an HTML file");
    if (lower.startsWith("<?xml") || lower.startsWith("<"))
        return QStringLiteral("it is an XML file");
    return QStringLiteral("not a compound file");
}

// The reason a damaged file is refused, with what was found broken.
QString damaged(const QString& what) { return QStringLiteral("%1 (%2)").arg(toText(XlsStatus::Damaged), what); }

} // namespace

XlsWorkbook::XlsWorkbook() : globals_(std::make_unique<Globals>()) {}
XlsWorkbook::~XlsWorkbook() = default;

void XlsWorkbook::fail(XlsStatus status, const QString& reason) const
{
    throw XlsError(status, QStringLiteral("'%1' cannot be opened: %2").arg(path_, reason));
}

void XlsWorkbook::fail(XlsStatus status) const { fail(status, toText(status)); }

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString& path)
{
    std::unique_ptr<XlsWorkbook> wb(new XlsWorkbook);
    wb->path_ = path;
    const QFileInfo info(path);
    if (!info.exists())
        throw XlsError(XlsStatus::FileNotFound, QStringLiteral("'%1' was not found").arg(path));
    if (info.isDir())
        wb->fail(XlsStatus::NotAFile);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        wb->fail(XlsStatus::Unreadable, QStringLiteral("%1 (%2)").arg(toText(XlsStatus::Unreadable), file.errorString()));
    const QByteArray head = file.read(512);
    file.close();
    if (!head.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))
        wb->fail(XlsStatus::NotCompoundFile, toText(XlsStatus::NotCompoundFile) + QStringLiteral(": ") + sniffNonCompound(head));
    QString reason;
    wb->cfb_ = CfbFile::openPath(path, &reason);
    if (!wb->cfb_)
        wb->fail(XlsStatus::Damaged, damaged(reason));
    return finishOpen(std::move(wb));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::openBytes(const QByteArray& bytes, const QString& displayName)
{
    std::unique_ptr<XlsWorkbook> wb(new XlsWorkbook);
    wb->path_ = displayName;
    if (!bytes.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))
        wb->fail(XlsStatus::NotCompoundFile, toText(XlsStatus::NotCompoundFile) + QStringLiteral(": ") + sniffNonCompound(bytes.left(512)));
    QString reason;
    wb->cfb_ = CfbFile::openBytes(bytes, &reason);
    if (!wb->cfb_)
        wb->fail(XlsStatus::Damaged, damaged(reason));
    return finishOpen(std::move(wb));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::finishOpen(std::unique_ptr<XlsWorkbook> wb)
{
    for (const auto& e : wb->cfb_->entries()) {
        if (e.name == QLatin1String("\x06" "DataSpaces") || e.name == QLatin1String("EncryptionInfo"))
            wb->fail(XlsStatus::Encrypted);
    }
    // The version is decided by the first BOF, not by the stream's name; a dual-format file
    // carries an Excel 5.0/95 "Book" beside the Excel 97 "Workbook".
    bool sawBiff5 = false;
    bool sawStream = false;
    for (const QString& name : {QStringLiteral("Workbook"), QStringLiteral("Book")}) {
        auto stream = wb->cfb_->openStream(name);
        if (!stream)
            continue;
        sawStream = true;
        std::uint8_t bof[8];
        if (!stream->peek(0, 8, bof))
            continue;
        const std::uint16_t type = rd16(bof);
        const std::uint16_t vers = rd16(bof + 4);
        if (type == rt::Bof && rd16(bof + 2) >= 8 && vers == 0x0600) {
            wb->stream_ = std::move(stream);
            break;
        }
        if (type == rt::Bof && vers == 0x0500) {
            sawBiff5 = true;
            // An encrypted Excel 5.0/95 file: say what really stops it.
            std::uint64_t pos = 0;
            for (int n = 0; n < 4; ++n) {
                std::uint8_t h[4];
                if (!stream->peek(pos, 4, h))
                    break;
                if (rd16(h) == rt::FilePass)
                    wb->fail(XlsStatus::Encrypted);
                pos += 4 + rd16(h + 2);
            }
        }
    }
    if (!wb->stream_) {
        if (sawBiff5)
            wb->fail(XlsStatus::NotBiff8);
        if (!sawStream)
            wb->fail(XlsStatus::NoWorkbookStream);
        wb->fail(XlsStatus::Damaged, damaged(QStringLiteral("the Workbook stream does not start with a BIFF8 BOF record")));
    }
    wb->readGlobals();
    wb->checkSheets();
    return wb;
}

void XlsWorkbook::readGlobals()
{
    CfbStream& s = *stream_;
    auto& recs = globals_->records;
    std::uint64_t pos = 0;
    bool first = true;
    // From the string table on (usually the bulk of the globals) only record headers are read,
    // so listing does not load the text of every cell; extraction loads the stream anyway.
    bool sparse = false;
    std::vector<std::uint8_t> scratch;
    for (;;) {
        std::uint8_t h[4];
        if (sparse ? !s.peek(pos, 4, h) : !s.ensure(pos + 4))
            fail(XlsStatus::Damaged, damaged(QStringLiteral("the workbook globals end before their EOF record")));
        const std::uint8_t* head = sparse ? h : s.data() + pos;
        const std::uint16_t type = rd16(head);
        const std::uint16_t size = rd16(head + 2);
        if (type == rt::Sst && !first)
            sparse = true;
        const std::uint8_t* d = nullptr;
        if (!sparse) {
            if (!s.ensure(pos + 4 + size))
                fail(XlsStatus::Damaged, damaged(QStringLiteral("a record runs past the end of the Workbook stream")));
            d = s.data() + pos + 4;
        } else if (type == rt::BoundSheet8 || type == rt::FilePass) {
            scratch.resize(size);
            if (!s.peek(pos + 4, size, scratch.data()))
                fail(XlsStatus::Damaged, damaged(QStringLiteral("a record runs past the end of the Workbook stream")));
            d = scratch.data();
        } else if (pos + 4 + size > s.size()) {
            fail(XlsStatus::Damaged, damaged(QStringLiteral("a record runs past the end of the Workbook stream")));
        }
        if (first) {
            if (size < 16 || rd16(d + 2) != kBofGlobals)
                fail(XlsStatus::Damaged, damaged(QStringLiteral("the Workbook stream does not start with the workbook globals")));
            globals_->bofBuild = rd16(d + 4);
            first = false;
        }
        recs.push_back({static_cast<std::uint32_t>(pos), type, size});
        pos += 4 + size;
        if (type == rt::FilePass)
            fail(XlsStatus::Encrypted);
        if (type == rt::BoundSheet8) {
            if (size < 8)
                fail(XlsStatus::Damaged, damaged(QStringLiteral("a sheet list entry is too short")));
            SheetInfo info;
            info.index = static_cast<int>(sheets_.size());
            info.offset = rd32(d);
            info.visibility = d[4] & 0x03;
            switch (d[5]) {
            case 0: info.type = SheetType::Worksheet; break;
            case 1: info.type = SheetType::Macro; break;
            case 2: info.type = SheetType::Chart; break;
            case 6: info.type = SheetType::Module; break;
            default: info.type = SheetType::Other; break;
            }
            std::size_t used = 0;
            if (!decodeShortXLUnicodeString(d + 6, size - 6, &info.name, &used))
                fail(XlsStatus::Damaged, damaged(QStringLiteral("a sheet name runs past its record")));
            sheets_.push_back(std::move(info));
        }
        if (type == rt::Eof)
            break;
        if (pos > 0xFFFFFFF0u)
            fail(XlsStatus::Damaged, damaged(QStringLiteral("the workbook globals are too large")));
    }
    globals_->end = static_cast<std::uint32_t>(pos);
    if (sheets_.empty())
        fail(XlsStatus::Damaged, damaged(QStringLiteral("the workbook has no sheet list")));
}

void XlsWorkbook::checkSheets()
{
    CfbStream& s = *stream_;
    for (SheetInfo& sheet : sheets_) {
        std::uint8_t bof[8];
        const auto broken = [&](const char* what) {
            fail(XlsStatus::Damaged, damaged(QStringLiteral("sheet '%1' %2").arg(sheet.name, QLatin1String(what))));
        };
        if (sheet.offset < globals_->end || !s.peek(sheet.offset, 8, bof))
            broken("lies outside the Workbook stream");
        if (rd16(bof) != rt::Bof || rd16(bof + 2) < 8)
            broken("does not start where the sheet list says");
        const std::uint16_t dt = rd16(bof + 6);
        if (sheet.type != SheetType::Worksheet)
            continue;
        if (dt != kBofWorksheet)
            broken("does not start with a worksheet BOF record");
        // Dialog sheets share the worksheet kind; their WsBool record tells them apart. It
        // comes among the first records of the substream, before the cells.
        std::uint64_t pos = sheet.offset + 4 + rd16(bof + 2);
        for (int n = 0; n < 64; ++n) {
            std::uint8_t h[6];
            if (!s.peek(pos, 4, h))
                broken("is cut short");
            const std::uint16_t type = rd16(h);
            const std::uint16_t size = rd16(h + 2);
            if (type == rt::WsBool) {
                if (size >= 2 && s.peek(pos + 4, 2, h + 4) && (rd16(h + 4) & 0x0010))
                    sheet.type = SheetType::Dialog;
                break;
            }
            if (type == rt::Eof || type == rt::Dimensions || type == rt::Bof)
                break;
            pos += 4 + size;
        }
    }
}

std::vector<SheetInfo> XlsWorkbook::worksheets() const
{
    std::vector<SheetInfo> out;
    for (const SheetInfo& s : sheets_)
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
