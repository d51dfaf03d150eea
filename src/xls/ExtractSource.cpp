#include "xls/ExtractSource.h"

#include "book/Cfb.h"
#include "xls/RecordIds.h"

namespace bf::xls {

ExtractSource::ExtractSource(const WorkbookData& wb, int sheet) : wb_(wb), sheet_(sheet)
{
    // The globals now; the sheets as they are walked.
    if (!wb_.stream->ensure(wb_.globalsEnd))
        damaged(QStringLiteral("the Workbook stream cannot be read"));
    data_ = wb_.stream->data();
    if (sheet_ < 0 || sheet_ >= static_cast<int>(wb_.sheets.size()) || info().kind != SheetKind::Worksheet)
        fail(XlsStatus::NotAWorksheet, toText(XlsStatus::NotAWorksheet));
}

void ExtractSource::fail(XlsStatus status, const QString& why) const
{
    const bool named = sheet_ >= 0 && sheet_ < static_cast<int>(wb_.sheets.size());
    const QString name = named ? info().name : QString::number(sheet_);
    throw XlsError(status, QStringLiteral("worksheet '%1' of '%2' cannot be copied: %3").arg(name, wb_.path, why));
}

void ExtractSource::damaged(const QString& what) const
{
    fail(XlsStatus::Damaged, what + QStringLiteral(" (damaged file)"));
}

// "sheet 'A' has no end record and runs into sheet 'B'", by the substreams' positions.
QString ExtractSource::lostEnd(std::uint32_t start, std::uint32_t next) const
{
    QString sheet = QStringLiteral("a sheet"), into = QStringLiteral("the next substream");
    for (const SheetInfo& s : wb_.sheets) {
        if (s.offset == start)
            sheet = QStringLiteral("sheet '%1'").arg(s.name);
        if (s.offset == next)
            into = QStringLiteral("sheet '%1'").arg(s.name);
    }
    return QStringLiteral("%1 has no end record and runs into %2").arg(sheet, into);
}

std::vector<SubRecord> ExtractSource::substream(std::uint32_t start) const
{
    std::vector<SubRecord> recs;
    RecordReader reader(*wb_.stream, start);
    int depth = 0;
    for (;;) {
        RecRef r;
        if (!reader.header(&r, RecordReader::Read::Keep))
            damaged(QStringLiteral("the sheet runs past the end of the Workbook stream"));
        if (!reader.data(RecordReader::Read::Keep))
            damaged(QStringLiteral("a record runs past the end of the Workbook stream"));
        if (r.type == rt::Bof) {
            // Only charts nest in a sheet: any other BOF means the sheet lost its end record.
            if (depth > 0 && (r.size < 4 || rd16(data(r) + 2) != kBofChart))
                damaged(lostEnd(start, r.pos));
            ++depth;
        }
        recs.push_back({r, depth});
        if (r.type == rt::Eof && --depth <= 0)
            break;
        if (depth > 8)
            damaged(QStringLiteral("sheets are nested too deeply"));
    }
    return recs;
}

} // namespace bf::xls
