#include "xls/PivotCaches.h"

#include "xls/BiffString.h"
#include "xls/LinkTable.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <set>

namespace bf::xls {

namespace {
const QString kStorage = QStringLiteral("_SX_DB_CUR");
constexpr std::size_t kViewCacheIndex = 14; // SxView: iCache after the range and three positions

// The records of a cache definition's group after its SXSTREAMID.
bool belongsToCacheGroup(std::uint16_t t)
{
    switch (t) {
    case rt::SXVS: case rt::DConRef: case rt::DConName: case rt::DConBin: case rt::SXTbl: case rt::SXTBRGIITM:
    case rt::SxTbpg: case rt::DbQuery: case rt::SXDBEx: case rt::SXAddl: case rt::Continue:
        return true;
    default:
        return false;
    }
}

QString streamName(std::uint16_t id) { return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper(); }

bool hasStream(const book::CfbNode& storage, const QString& name)
{
    return std::any_of(storage.children.begin(), storage.children.end(),
                       [&](const book::CfbNode& c) { return !c.storage && c.name.compare(name, Qt::CaseInsensitive) == 0; });
}
} // namespace

void PivotCaches::read(const ExtractSource& src, const std::vector<SubRecord>& sheet)
{
    const auto& recs = src.globals();
    for (std::size_t i = 0; i < recs.size(); ++i) {
        if (recs[i].type != rt::SXStreamID)
            continue;
        Group g{i, i, recs[i].size >= 2 ? rd16(src.data(recs[i])) : std::uint16_t(0)};
        while (g.last + 1 < recs.size() && belongsToCacheGroup(recs[g.last + 1].type))
            ++g.last;
        groups_.push_back(g);
        i = g.last;
    }
    std::set<std::uint16_t> used;
    for (const SubRecord& sr : sheet)
        if (sr.depth == 1 && sr.rec.type == rt::SxView && sr.rec.size >= kViewCacheIndex + 2)
            used.insert(rd16(src.data(sr.rec) + kViewCacheIndex));
    book::CfbNode storage;
    if (used.empty() || !src.workbook().cfb->readStorage(kStorage, &storage))
        return;
    std::uint16_t next = 0;
    for (std::uint16_t old : used) {
        if (old >= groups_.size() || !hasStream(storage, streamName(groups_[old].streamId)))
            return;
        newIndex_[old] = next++;
    }
    keep_ = true;
}

std::uint16_t PivotCaches::newIndex(std::uint16_t old) const
{
    const auto it = newIndex_.find(old);
    return it == newIndex_.end() ? old : it->second;
}

bool PivotCaches::copyGroup(ByteSink& out, const ExtractSource& src, std::size_t i, const QString& sourcePath, std::size_t* last) const
{
    const auto g = std::find_if(groups_.begin(), groups_.end(), [i](const Group& x) { return x.first == i; });
    if (g == groups_.end())
        return false;
    *last = g->last;
    if (!keep_ || !newIndex_.count(static_cast<std::uint16_t>(g - groups_.begin())))
        return true;
    for (std::size_t j = g->first; j <= g->last; ++j) {
        const RecRef& r = src.globals()[j];
        out.record(r.type, repointPivotSource(r.type, src.data(r), r.size, src.info().name, sourcePath));
    }
    return true;
}

bool PivotCaches::storage(const book::CfbFile& cfb, book::CfbNode* out) const
{
    if (!keep_ || !cfb.readStorage(kStorage, out))
        return false;
    std::vector<book::CfbNode> kept;
    for (book::CfbNode& c : out->children)
        for (const auto& [old, now] : newIndex_)
            if (!c.storage && c.name.compare(streamName(groups_[old].streamId), Qt::CaseInsensitive) == 0)
                kept.push_back(std::move(c));
    out->children = std::move(kept);
    return true;
}

std::vector<std::uint8_t> repointPivotSource(std::uint16_t type, const std::uint8_t* d, std::size_t size,
                                             const QString& keptSheet, const QString& sourcePath)
{
    // DCONREF: the range (6 bytes), then the file: cch, flags, characters; 0x02 first for a
    // sheet of this workbook.
    std::vector<std::uint8_t> same(d, d + size);
    QString file;
    std::size_t used = 0;
    if (type != rt::DConRef || size < 9 || !decodeChars(d + 9, size - 9, rd16(d + 6), d[8] & 1, &file, &used))
        return same;
    if (file.isEmpty() || file.at(0) != QChar(0x02) || file.mid(1) == keptSheet || sourcePath.isEmpty())
        return same; // another workbook already, the kept sheet itself, or no link to the source
    std::vector<std::uint8_t> out(d, d + 6);
    appendUnicodeString(out, encodeSourcePath(sourcePath, file.mid(1)), true);
    return out;
}

} // namespace bf::xls
