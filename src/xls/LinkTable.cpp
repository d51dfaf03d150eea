#include "xls/LinkTable.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace bf::xls {

namespace {
constexpr std::uint16_t kSelfSupBook = 0x0401; // the SUPBOOK marker of a workbook's own link

// The reference table's entries from its record and CONTINUE records, joined.
std::vector<Xti> parseExternSheet(const ExtractSource& src, const std::vector<std::uint8_t>& table)
{
    if (table.size() < 2)
        src.damaged(QStringLiteral("the reference table is too short"));
    const std::size_t n = rd16(table.data());
    if (table.size() < 2 + 6 * n)
        src.damaged(QStringLiteral("the reference table is too short"));
    std::vector<Xti> xtis;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = table.data() + 2 + 6 * i;
        xtis.push_back({rd16(p), rd16(p + 2), rd16(p + 4)});
    }
    return xtis;
}
} // namespace

void LinkTable::read(const ExtractSource& src)
{
    const auto& recs = src.globals();
    std::vector<std::uint8_t> table;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const RecRef& r = recs[i];
        const std::uint8_t* d = src.data(r);
        switch (r.type) {
        case rt::SupBook:
            supBooks_.push_back({i});
            if (r.size >= 4 && rd16(d + 2) == kSelfSupBook && selfSupBook_ < 0)
                selfSupBook_ = static_cast<int>(supBooks_.size() - 1);
            break;
        case rt::ExternName: case rt::XCT: case rt::CRN:
            if (!supBooks_.empty())
                supBooks_.back().push_back(i);
            break;
        case rt::Continue:
            // A CONTINUE belongs to the record before it.
            if (!supBooks_.empty() && supBooks_.back().back() == i - 1)
                supBooks_.back().push_back(i);
            if (hasExternSheet_ && !table.empty() && (recs[i - 1].type == rt::ExternSheet || recs[i - 1].type == rt::Continue)
                && table.size() < 2 + 6 * std::size_t(rd16(table.data())))
                table.insert(table.end(), d, d + r.size);
            break;
        case rt::ExternSheet:
            hasExternSheet_ = true;
            table.assign(d, d + r.size);
            break;
        default:
            break;
        }
    }
    if (hasExternSheet_)
        xtis_ = parseExternSheet(src, table);
}

bool LinkTable::reachesOtherSheets(const Xti& x, int kept) const
{
    if (!isSelf(x) || x.first == kXtiWorkbook || x.first == kXtiDeleted || x.last == kXtiDeleted)
        return false;
    return !(x.first == kept && x.last == kept);
}

void LinkTable::chooseLinkedSheets(const std::set<std::uint16_t>& usedXtis, int kept, int sheetCount,
                                   const QString& sourcePath)
{
    usedXtis_ = usedXtis;
    std::set<int> sheets;
    for (std::uint16_t i : usedXtis) {
        const Xti* x = xti(i);
        if (!x || !reachesOtherSheets(*x, kept))
            continue;
        // A sheet the workbook does not have is linked to nothing: the reference dangles, as in the source.
        for (int s = std::min(x->first, x->last); s <= std::max(x->first, x->last) && s < sheetCount; ++s)
            sheets.insert(s);
    }
    linkedSheets_.assign(sheets.begin(), sheets.end());
    pathTooLong_ = !linkedSheets_.empty() && encodeSourcePath(sourcePath).size() > 255;
}

std::uint16_t LinkTable::linkPosition(int sheet) const
{
    const auto it = std::lower_bound(linkedSheets_.begin(), linkedSheets_.end(), sheet);
    return it != linkedSheets_.end() && *it == sheet ? static_cast<std::uint16_t>(it - linkedSheets_.begin()) : kXtiDeleted;
}

Xti LinkTable::mapped(const Xti& x, int kept) const
{
    if (isSelf(x)) {
        if (x.first == kXtiWorkbook || x.first == kXtiDeleted || x.last == kXtiDeleted)
            return {0, x.first, x.last};
        if (x.first == kept && x.last == kept)
            return {0, 0, 0};
        if (!sourceLink())
            return {0, kXtiDeleted, kXtiDeleted};
        return {1, linkPosition(x.first), linkPosition(x.last)};
    }
    // Other supporting links keep their order after the self and source links.
    std::uint16_t idx = sourceLink() ? 2 : 1;
    for (std::size_t s = 0; s < supBooks_.size() && s < x.supBook; ++s)
        if (static_cast<int>(s) != selfSupBook_)
            ++idx;
    return {idx, x.first, x.last};
}

void LinkTable::write(ByteSink& out, const ExtractSource& src, const QString& sourcePath,
                      const std::vector<std::vector<std::uint8_t>>& names,
                      const std::function<void(ByteSink&)>& writeSourceCaches) const
{
    std::uint8_t self[4];
    wr16(self, 1);
    wr16(self + 2, kSelfSupBook);
    out.record(rt::SupBook, self, 4);
    if (sourceLink()) {
        // At most 2 + 258 + 65 bytes per sheet name: a record holds about 120 sheets.
        std::vector<std::uint8_t> rec{static_cast<std::uint8_t>(linkedSheets_.size()), static_cast<std::uint8_t>(linkedSheets_.size() >> 8)};
        appendUnicodeString(rec, encodeSourcePath(sourcePath), true);
        for (int s : linkedSheets_)
            appendUnicodeString(rec, src.sheets()[static_cast<std::size_t>(s)].name, true);
        out.record(rt::SupBook, rec);
        for (const auto& name : names)
            out.record(rt::ExternName, name);
        writeSourceCaches(out);
    }
    for (std::size_t s = 0; s < supBooks_.size(); ++s) {
        if (static_cast<int>(s) == selfSupBook_)
            continue;
        for (std::size_t i : supBooks_[s]) {
            const RecRef& r = src.globals()[i];
            out.put(src.at(r.pos), 4 + r.size);
        }
    }
    writeExternSheet(out, src.sheet());
}

void LinkTable::writeExternSheet(ByteSink& out, int kept) const
{
    std::vector<std::uint8_t> es(2 + 6 * xtis_.size());
    wr16(es.data(), static_cast<std::uint16_t>(xtis_.size()));
    for (std::size_t i = 0; i < xtis_.size(); ++i) {
        // Entries nothing kept uses stay in place, so formulas keep their indexes, but name no
        // sheet: the new workbook says nothing of the sheets it does not read.
        const bool unused = !usedXtis_.count(static_cast<std::uint16_t>(i)) && reachesOtherSheets(xtis_[i], kept);
        const Xti x = unused ? Xti{0, kXtiDeleted, kXtiDeleted} : mapped(xtis_[i], kept);
        wr16(es.data() + 2 + 6 * i, x.supBook);
        wr16(es.data() + 4 + 6 * i, x.first);
        wr16(es.data() + 6 + 6 * i, x.last);
    }
    // Long tables continue in CONTINUE records, split between entries.
    std::size_t done = 0;
    std::uint16_t type = rt::ExternSheet;
    while (done < es.size() || done == 0) {
        std::size_t take = std::min(es.size() - done, (type == rt::ExternSheet ? 2 : 0) + (kMaxRecordData - 2) / 6 * 6);
        out.record(type, es.data() + done, take);
        done += take;
        type = rt::Continue;
        if (take == 0)
            break;
    }
}

QString encodeSourcePath(const QString& sourcePath, const QString& sheet)
{
    QStringList parts = QFileInfo(sourcePath).absoluteFilePath().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!sheet.isEmpty() && !parts.isEmpty())
        parts.last() = QLatin1Char('[') + parts.last() + QLatin1Char(']') + sheet;
    return QStringLiteral("\x01\x02") + parts.join(QChar(0x03));
}

} // namespace bf::xls
