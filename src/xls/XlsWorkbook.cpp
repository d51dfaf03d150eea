#include "xls/XlsWorkbook.h"

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "core/Error.h"
#include "xls/Cfb.h"
#include "xls/Globals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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

const char* kNotExcel = "not an Excel 97-2003 workbook: ";

} // namespace

XlsWorkbook::XlsWorkbook() : globals_(std::make_unique<Globals>()) {}
XlsWorkbook::~XlsWorkbook() = default;

void XlsWorkbook::fail(const QString& reason) const
{
    throw Error(err::SpreadsheetFailure, QStringLiteral("'%1' cannot be opened: %2").arg(path_, reason));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString& path)
{
    std::unique_ptr<XlsWorkbook> wb(new XlsWorkbook);
    wb->path_ = path;
    const QFileInfo info(path);
    if (!info.exists())
        throw Error(err::FileNotFound, QStringLiteral("'%1' was not found").arg(path));
    if (info.isDir())
        wb->fail(QStringLiteral("it is a folder, not a workbook"));
    // A FIFO or a device under a workbook's name is refused at once, never waited on.
    std::optional<platform::InputFile> file;
    try {
        file.emplace(path);
    } catch (const Error& e) {
        wb->fail(e.description());
    }
    const QByteArray head = file->readHead(512);
    if (!head.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))
        wb->fail(kNotExcel + sniffNonCompound(head));
    QString reason;
    // The container is read from the very file checked above.
    wb->cfb_ = CfbFile::openPath(file->descriptorPath(), &reason);
    if (!wb->cfb_)
        wb->fail(QStringLiteral("the file is damaged (%1)").arg(reason));
    return finishOpen(std::move(wb));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::openBytes(const QByteArray& bytes, const QString& displayName)
{
    std::unique_ptr<XlsWorkbook> wb(new XlsWorkbook);
    wb->path_ = displayName;
    if (!bytes.startsWith("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))
        wb->fail(kNotExcel + sniffNonCompound(bytes.left(512)));
    QString reason;
    wb->cfb_ = CfbFile::openBytes(bytes, &reason);
    if (!wb->cfb_)
        wb->fail(QStringLiteral("the file is damaged (%1)").arg(reason));
    return finishOpen(std::move(wb));
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::finishOpen(std::unique_ptr<XlsWorkbook> wb)
{
    for (const auto& e : wb->cfb_->entries()) {
        if (e.name == QLatin1String("\x06" "DataSpaces") || e.name == QLatin1String("EncryptionInfo"))
            wb->fail(QStringLiteral("the workbook is password-protected"));
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
                    wb->fail(QStringLiteral("the workbook is password-protected"));
                pos += 4 + rd16(h + 2);
            }
        }
    }
    if (!wb->stream_) {
        if (sawBiff5)
            wb->fail(QStringLiteral("Excel 5.0/95 workbooks are not supported"));
        if (!sawStream)
            wb->fail(kNotExcel + QStringLiteral("no Workbook stream"));
        wb->fail(QStringLiteral("the file is damaged (the Workbook stream does not start with a BIFF8 BOF record)"));
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
            fail(QStringLiteral("the file is damaged (the workbook globals end before their EOF record)"));
        const std::uint8_t* head = sparse ? h : s.data() + pos;
        const std::uint16_t type = rd16(head);
        const std::uint16_t size = rd16(head + 2);
        if (type == rt::Sst && !first)
            sparse = true;
        const std::uint8_t* d = nullptr;
        if (!sparse) {
            if (!s.ensure(pos + 4 + size))
                fail(QStringLiteral("the file is damaged (a record runs past the end of the Workbook stream)"));
            d = s.data() + pos + 4;
        } else if (type == rt::BoundSheet8 || type == rt::FilePass) {
            scratch.resize(size);
            if (!s.peek(pos + 4, size, scratch.data()))
                fail(QStringLiteral("the file is damaged (a record runs past the end of the Workbook stream)"));
            d = scratch.data();
        } else if (pos + 4 + size > s.size()) {
            fail(QStringLiteral("the file is damaged (a record runs past the end of the Workbook stream)"));
        }
        if (first) {
            if (size < 16 || rd16(d + 2) != kBofGlobals)
                fail(QStringLiteral("the file is damaged (the Workbook stream does not start with the workbook globals)"));
            globals_->bofBuild = rd16(d + 4);
            first = false;
        }
        recs.push_back({static_cast<std::uint32_t>(pos), type, size});
        pos += 4 + size;
        if (type == rt::FilePass)
            fail(QStringLiteral("the workbook is password-protected"));
        if (type == rt::BoundSheet8) {
            if (size < 8)
                fail(QStringLiteral("the file is damaged (a sheet list entry is too short)"));
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
                fail(QStringLiteral("the file is damaged (a sheet name runs past its record)"));
            sheets_.push_back(std::move(info));
        }
        if (type == rt::Eof)
            break;
        if (pos > 0xFFFFFFF0u)
            fail(QStringLiteral("the file is damaged (the workbook globals are too large)"));
    }
    globals_->end = static_cast<std::uint32_t>(pos);
    if (sheets_.empty())
        fail(QStringLiteral("the file is damaged (the workbook has no sheet list)"));
}

void XlsWorkbook::checkSheets()
{
    CfbStream& s = *stream_;
    for (SheetInfo& sheet : sheets_) {
        std::uint8_t bof[8];
        const auto damaged = [&](const char* what) {
            fail(QStringLiteral("the file is damaged (sheet '%1' %2)").arg(sheet.name, QLatin1String(what)));
        };
        if (sheet.offset < globals_->end || !s.peek(sheet.offset, 8, bof))
            damaged("lies outside the Workbook stream");
        if (rd16(bof) != rt::Bof || rd16(bof + 2) < 8)
            damaged("does not start where the sheet list says");
        const std::uint16_t dt = rd16(bof + 6);
        if (sheet.type != SheetType::Worksheet)
            continue;
        if (dt != kBofWorksheet)
            damaged("does not start with a worksheet BOF record");
        // Dialog sheets share the worksheet kind; their WsBool record tells them apart. It
        // comes among the first records of the substream, before the cells.
        std::uint64_t pos = sheet.offset + 4 + rd16(bof + 2);
        for (int n = 0; n < 64; ++n) {
            std::uint8_t h[6];
            if (!s.peek(pos, 4, h))
                damaged("is cut short");
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

void writeNewFile(const QString& target, const QByteArray& bytes, bool replace, platform::WriteFault fault)
{
    const QFileInfo info(target);
    if (info.exists() && !replace)
        throw Error(err::FileAlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    if (info.isDir())
        throw Error(err::PathFileAccessError, QStringLiteral("'%1' is a folder").arg(target));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw Error(err::PathNotFound, QStringLiteral("the folder of '%1' does not exist").arg(target));
    platform::WriteFailure failure;
    const auto mode = replace ? platform::WriteMode::Replace : platform::WriteMode::NewFile;
    if (platform::writeWholeFile(target, bytes, mode, fault, &failure))
        return;
    if (failure.code == EEXIST && !replace)
        throw Error(err::FileAlreadyExists, QStringLiteral("'%1' already exists").arg(target));
    throw Error(err::PathFileAccessError, QStringLiteral("'%1' could not be written: %2").arg(target, failure.reason));
}

void extractWorksheetToFile(const QString& source, const QString& sheetName, const QString& target)
{
    const auto wb = XlsWorkbook::open(source);
    for (const SheetInfo& s : wb->worksheets()) {
        if (s.name == sheetName) {
            const QByteArray bytes = wb->extract(s.index, QFileInfo(source).absoluteFilePath());
            writeNewFile(target, bytes, false);
            return;
        }
    }
    throw Error(err::SubscriptOutOfRange, QStringLiteral("'%1' has no worksheet named '%2'").arg(source, sheetName));
}

} // namespace bf::xls
