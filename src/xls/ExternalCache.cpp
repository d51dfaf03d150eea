#include "xls/ExternalCache.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace bf::xls {

namespace {
// The kinds of a cached value.
constexpr std::uint8_t kNumber = 0x01;
constexpr std::uint8_t kText = 0x02;
constexpr std::uint8_t kBool = 0x04;
constexpr std::uint8_t kError = 0x10;

struct CachedValue {
    std::uint8_t kind;
    double number = 0;
    std::uint8_t code = 0;
    QString text;
};
using CellValues = std::map<std::pair<std::uint32_t, std::uint32_t>, CachedValue>; // (row, col)

// Whether a cell lies in one of the areas read (box: the areas' bounding box).
class AreaSet {
public:
    explicit AreaSet(const std::vector<Rect>& rects) : rects_(rects), box_(rects.front())
    {
        for (const Rect& x : rects) {
            box_.r1 = std::min(box_.r1, x.r1);
            box_.r2 = std::max(box_.r2, x.r2);
            box_.c1 = std::min(box_.c1, x.c1);
            box_.c2 = std::max(box_.c2, x.c2);
        }
    }
    bool contains(std::uint32_t r, std::uint32_t c) const
    {
        if (r < box_.r1 || r > box_.r2 || c < box_.c1 || c > box_.c2)
            return false;
        return std::any_of(rects_.begin(), rects_.end(), [&](const Rect& x) { return r >= x.r1 && r <= x.r2 && c >= x.c1 && c <= x.c2; });
    }

private:
    const std::vector<Rect>& rects_;
    Rect box_;
};

double rkValue(std::uint32_t rk)
{
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 1) ? value / 100 : value;
}

// The text of a formula's string result: the String record after it, past the records that
// may stand between.
bool formulaText(const ExtractSource& src, const std::vector<SubRecord>& recs, std::size_t i, QString* text)
{
    std::size_t j = i + 1;
    while (j < recs.size() && recs[j].rec.type != rt::String && recs[j].depth == 1
           && (recs[j].rec.type == rt::ShrFmla || recs[j].rec.type == rt::Array || recs[j].rec.type == rt::Table))
        ++j;
    if (j >= recs.size() || recs[j].rec.type != rt::String)
        return false;
    std::size_t used = 0;
    return decodeXLUnicodeString(src.data(recs[j].rec), recs[j].rec.size, text, &used);
}

// The cached result of a Formula record; false when it has none to give.
bool formulaValue(const ExtractSource& src, const std::vector<SubRecord>& recs, std::size_t i, CachedValue* v)
{
    const std::uint8_t* val = src.data(recs[i].rec) + 6;
    if (rd16(val + 6) != 0xFFFF) {
        v->kind = kNumber;
        std::memcpy(&v->number, val, 8);
    } else if (val[0] == 0x00) {
        if (!formulaText(src, recs, i, &v->text))
            return false;
        v->kind = kText;
    } else if (val[0] == 0x01) {
        v->kind = kBool;
        v->code = val[2];
    } else if (val[0] == 0x02) {
        v->kind = kError;
        v->code = val[2];
    } else {
        v->kind = kText; // empty text
    }
    return true;
}

// The values of the cells of one sheet's record i that lie in the areas.
void readCells(const ExtractSource& src, const std::vector<SubRecord>& recs, std::size_t i, const AreaSet& areas,
               const std::function<const SstReader*()>& sharedStrings, CellValues& cells)
{
    const RecRef& r = recs[i].rec;
    const std::uint8_t* d = src.data(r);
    const std::uint32_t row = rd16(d), col = rd16(d + 2);
    CachedValue v{};
    switch (r.type) {
    case rt::Number:
        if (r.size < 14 || !areas.contains(row, col))
            return;
        v.kind = kNumber;
        std::memcpy(&v.number, d + 6, 8);
        cells[{row, col}] = v;
        break;
    case rt::RK: case rt::MulRk: {
        const std::size_t count = r.type == rt::RK ? 1 : (r.size - 6) / 6;
        for (std::size_t c = 0; c < count; ++c) {
            const std::size_t off = 4 + 6 * c;
            if (off + 6 <= r.size && areas.contains(row, col + std::uint32_t(c)))
                cells[{row, col + std::uint32_t(c)}] = CachedValue{kNumber, rkValue(rd32(d + off + 2)), 0, {}};
        }
        break;
    }
    case rt::LabelSst: {
        if (r.size < 10 || !areas.contains(row, col))
            return;
        const SstReader* sst = sharedStrings();
        SstString s;
        if (!sst || !sst->read(rd32(d + 6), &s))
            return;
        cells[{row, col}] = CachedValue{kText, 0, 0, s.text()};
        break;
    }
    case rt::Label: case rt::RString: {
        std::size_t used = 0;
        if (areas.contains(row, col) && decodeXLUnicodeString(d + 6, r.size - 6, &v.text, &used))
            cells[{row, col}] = CachedValue{kText, 0, 0, v.text};
        break;
    }
    case rt::BoolErr:
        if (r.size >= 8 && areas.contains(row, col))
            cells[{row, col}] = CachedValue{d[7] ? kError : kBool, 0, d[6], {}};
        break;
    case rt::Formula:
        if (r.size >= 20 && areas.contains(row, col) && formulaValue(src, recs, i, &v))
            cells[{row, col}] = v;
        break;
    default:
        break;
    }
}

CellValues readCachedValues(const ExtractSource& src, const SheetInfo& info, const std::vector<Rect>& rects,
                            const std::function<const SstReader*()>& sharedStrings)
{
    CellValues cells;
    if (info.type != SheetType::Worksheet && info.type != SheetType::Dialog && info.type != SheetType::Macro)
        return cells;
    const AreaSet areas(rects);
    const auto recs = src.substream(info.offset);
    for (std::size_t i = 0; i < recs.size(); ++i)
        if (recs[i].depth == 1 && recs[i].rec.size >= 6)
            readCells(src, recs, i, areas, sharedStrings, cells);
    return cells;
}

// One cached value as it stands in a CRN record.
void appendValue(std::vector<std::uint8_t>& crn, const CachedValue& v)
{
    crn.push_back(v.kind);
    std::uint8_t eight[8] = {};
    if (v.kind == kNumber) {
        std::memcpy(eight, &v.number, 8);
        crn.insert(crn.end(), eight, eight + 8);
    } else if (v.kind == kText) {
        appendUnicodeString(crn, v.text.left(0xFFFF / 2), true);
    } else {
        eight[0] = v.code;
        crn.insert(crn.end(), eight, eight + 8);
    }
}

// One CRN per run of neighbouring cells in a row.
std::vector<std::vector<std::uint8_t>> crnRecords(const ExtractSource& src, const CellValues& cells)
{
    std::vector<std::vector<std::uint8_t>> crns;
    std::vector<std::uint8_t> cur;
    std::uint32_t curRow = 0, firstCol = 0, lastCol = 0;
    auto flush = [&] {
        if (cur.empty())
            return;
        cur[0] = static_cast<std::uint8_t>(lastCol);
        cur[1] = static_cast<std::uint8_t>(firstCol);
        crns.push_back(std::move(cur));
        cur.clear();
    };
    for (const auto& [rc, v] : cells) {
        if (!cur.empty() && (rc.first != curRow || rc.second != lastCol + 1 || cur.size() > 7000))
            flush();
        if (cur.empty()) {
            curRow = rc.first;
            firstCol = rc.second;
            cur = {0, 0, static_cast<std::uint8_t>(curRow), static_cast<std::uint8_t>(curRow >> 8)};
        }
        lastCol = rc.second;
        appendValue(cur, v);
        if (cur.size() > kMaxRecordData)
            src.fail(XlsStatus::CannotCopy, QStringLiteral("a cell it refers to on another sheet holds too much text"));
    }
    flush();
    return crns;
}
} // namespace

void writeExternalCaches(ByteSink& out, const ExtractSource& src, const CacheRects& rects,
                         const std::function<const SstReader*()>& sharedStrings)
{
    for (const auto& [sheetIndex, areas] : rects) {
        const SheetInfo& info = src.sheets()[static_cast<std::size_t>(sheetIndex)];
        auto crns = crnRecords(src, readCachedValues(src, info, areas, sharedStrings));
        std::uint8_t xct[4];
        wr16(xct, static_cast<std::uint16_t>(std::min<std::size_t>(crns.size(), 0x7FFF)));
        wr16(xct + 2, static_cast<std::uint16_t>(sheetIndex));
        if (crns.size() > 0x7FFF)
            crns.resize(0x7FFF);
        out.record(rt::XCT, xct, 4);
        for (const auto& c : crns)
            out.record(rt::CRN, c);
    }
}

} // namespace bf::xls
