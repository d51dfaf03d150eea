// Opening a workbook: choosing its workbook stream, reading the globals substream and the
// sheet list, and checking that every sheet starts where the list says.
#include "book/FileKind.h"
#include "xls/BiffString.h"
#include "xls/ByteIO.h"
#include "xls/RecordIds.h"
#include "xls/WorkbookData.h"

namespace bf::xls {

void WorkbookData::fail(XlsStatus status, const QString& reason) const
{
    throw XlsError(status, QStringLiteral("'%1' cannot be opened: %2").arg(path, reason));
}

void WorkbookData::damaged(const QString& what) const
{
    fail(XlsStatus::Damaged, QStringLiteral("%1 (%2)").arg(toText(XlsStatus::Damaged), what));
}

namespace {
constexpr std::uint16_t kWsBoolDialog = 0x0010; // WsBool flag of a dialog sheet
} // namespace

void WorkbookData::chooseStream()
{
    // The file was told a BIFF8 workbook (or a damaged compound file) by its first BOF, not by
    // the stream's name: a dual-format file carries an Excel 5.0/95 "Book" beside the "Workbook".
    for (const QString& name : {QStringLiteral("Workbook"), QStringLiteral("Book")}) {
        auto candidate = cfb->openStream(name);
        std::uint8_t bof[8];
        if (candidate && candidate->peek(0, 8, bof) && rd16(bof) == rt::Bof && rd16(bof + 2) >= 8 && rd16(bof + 4) == kBiff8) {
            stream = std::move(candidate);
            return;
        }
    }
    damaged(QStringLiteral("the Workbook stream does not start with a BIFF8 BOF record"));
}

void WorkbookData::readGlobals()
{
    using Read = RecordReader::Read;
    RecordReader reader(*stream, 0);
    // From the string table on (usually the bulk of the globals) only record headers are read,
    // so listing does not load the text of every cell; extraction loads the stream anyway.
    Read how = Read::Keep;
    for (;;) {
        RecRef r;
        if (!reader.header(&r, how))
            damaged(QStringLiteral("the workbook globals end before their EOF record"));
        const bool first = globals.empty();
        if (r.type == rt::Sst && !first)
            how = Read::Peek;
        const std::uint8_t* d = nullptr;
        if (how == Read::Keep || r.type == rt::BoundSheet8 || r.type == rt::FilePass)
            d = reader.data(how);
        if (how == Read::Keep || r.type == rt::BoundSheet8 || r.type == rt::FilePass ? !d : !reader.complete())
            damaged(QStringLiteral("a record runs past the end of the Workbook stream"));
        if (first && (r.size < 16 || rd16(d + 2) != kBofGlobals))
            damaged(QStringLiteral("the Workbook stream does not start with the workbook globals"));
        globals.push_back(r);
        if (r.type == rt::FilePass)
            fail(XlsStatus::Encrypted, book::describe(book::FileKind::EncryptedXls));
        if (r.type == rt::BoundSheet8)
            addSheet(d, r.size);
        if (r.type == rt::Eof)
            break;
        if (reader.pos() > 0xFFFFFFF0u)
            damaged(QStringLiteral("the workbook globals are too large"));
    }
    globalsEnd = static_cast<std::uint32_t>(reader.pos());
    if (sheets.empty())
        damaged(QStringLiteral("the workbook has no sheet list"));
}

void WorkbookData::addSheet(const std::uint8_t* d, std::uint16_t size)
{
    if (size < 8)
        damaged(QStringLiteral("a sheet list entry is too short"));
    SheetInfo info;
    info.index = static_cast<int>(sheets.size());
    info.offset = rd32(d);
    info.visibility = static_cast<book::Visibility>(d[4] & 0x03);
    switch (d[5]) {
    case 0: info.kind = SheetKind::Worksheet; break;
    case 1: info.kind = SheetKind::Macro; break;
    case 2: info.kind = SheetKind::Chart; break;
    case 6: info.kind = SheetKind::Module; break;
    default: info.kind = SheetKind::Other; break;
    }
    std::size_t used = 0;
    if (!decodeShortXLUnicodeString(d + 6, size - 6, &info.name, &used))
        damaged(QStringLiteral("a sheet name runs past its record"));
    sheets.push_back(std::move(info));
}

void WorkbookData::checkSheets()
{
    for (SheetInfo& sheet : sheets) {
        std::uint8_t bof[8];
        const auto broken = [&](const char* what) {
            damaged(QStringLiteral("sheet '%1' %2").arg(sheet.name, QLatin1String(what)));
        };
        if (sheet.offset < globalsEnd || !stream->peek(sheet.offset, 8, bof))
            broken("lies outside the Workbook stream");
        if (rd16(bof) != rt::Bof || rd16(bof + 2) < 8)
            broken("does not start where the sheet list says");
        if (sheet.kind != SheetKind::Worksheet)
            continue;
        if (rd16(bof + 6) != kBofWorksheet)
            broken("does not start with a worksheet BOF record");
        findDialog(sheet, sheet.offset);
    }
}

// Dialog sheets share the worksheet kind; their WsBool record tells them apart. It comes among
// the first records of the substream, before the cells.
void WorkbookData::findDialog(SheetInfo& sheet, std::uint64_t pos)
{
    RecordReader reader(*stream, pos);
    RecRef r;
    reader.header(&r, RecordReader::Read::Peek); // the BOF, read already
    for (int n = 0; n < 64; ++n) {
        if (!reader.header(&r, RecordReader::Read::Peek))
            damaged(QStringLiteral("sheet '%1' is cut short").arg(sheet.name));
        if (r.type == rt::WsBool) {
            const std::uint8_t* d = r.size >= 2 ? reader.peekFirst(2) : nullptr;
            if (d && (rd16(d) & kWsBoolDialog))
                sheet.kind = SheetKind::Dialog;
            return;
        }
        if (r.type == rt::Eof || r.type == rt::Dimensions || r.type == rt::Bof)
            return;
    }
}

} // namespace bf::xls
