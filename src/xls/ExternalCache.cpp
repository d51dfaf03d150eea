#include "xls/ExternalCache.h"

#include "xls/BiffString.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace bf::xls {

namespace {
// The longest text a cached value holds.
constexpr int kMaxCachedText = 255;

// Which cells some areas cover, asked in ascending row order: the areas are swept row by row
// with a counter per column, so n cells and m areas cost about n + m * width.
class AreaCover {
public:
    explicit AreaCover(const std::vector<Rect>& rects) : byStart_(rects), byEnd_(rects)
    {
        std::sort(byStart_.begin(), byStart_.end(), [](const Rect& a, const Rect& b) { return a.r1 < b.r1; });
        std::sort(byEnd_.begin(), byEnd_.end(), [](const Rect& a, const Rect& b) { return a.r2 < b.r2; });
    }
    bool covers(std::uint32_t row, std::uint32_t col)
    {
        while (started_ < byStart_.size() && byStart_[started_].r1 <= row)
            add(byStart_[started_++], 1);
        while (ended_ < byEnd_.size() && byEnd_[ended_].r2 < row)
            add(byEnd_[ended_++], -1);
        return col < count_.size() && count_[col] > 0;
    }

private:
    void add(const Rect& a, int delta)
    {
        for (std::uint32_t c = a.c1; c <= a.c2 && c < count_.size(); ++c)
            count_[c] += delta;
    }
    std::vector<Rect> byStart_, byEnd_;
    std::size_t started_ = 0, ended_ = 0;
    std::array<int, 256> count_{};
};

// A value cell of the sheet: its record and, in a MulRk, its place there.
struct Candidate {
    std::uint32_t row, col, rec, sub;
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

// The value record i of a sheet holds for its cell number sub; false when it holds none.
bool cellValue(const ExtractSource& src, const std::vector<SubRecord>& recs, const Candidate& at,
               const std::function<const SstReader*()>& sharedStrings, CachedValue* v)
{
    const RecRef& r = recs[at.rec].rec;
    const std::uint8_t* d = src.data(r);
    std::size_t used = 0;
    switch (r.type) {
    case rt::Number:
        if (r.size < 14)
            return false;
        *v = CachedValue{kNumber, 0, 0, {}};
        std::memcpy(&v->number, d + 6, 8);
        return true;
    case rt::RK: case rt::MulRk:
        if (4 + 6 * std::size_t(at.sub) + 6 > r.size)
            return false;
        *v = CachedValue{kNumber, rkValue(rd32(d + 4 + 6 * at.sub + 2)), 0, {}};
        return true;
    case rt::LabelSst: {
        const SstReader* sst = r.size >= 10 ? sharedStrings() : nullptr;
        SstString s;
        if (!sst || !sst->read(rd32(d + 6), &s))
            return false;
        *v = CachedValue{kText, 0, 0, s.text()};
        return true;
    }
    case rt::Label: case rt::RString:
        v->kind = kText;
        return decodeXLUnicodeString(d + 6, r.size - 6, &v->text, &used);
    case rt::BoolErr:
        if (r.size < 8)
            return false;
        *v = CachedValue{d[7] ? kError : kBool, 0, d[6], {}};
        return true;
    case rt::Formula:
        return r.size >= 20 && formulaValue(src, recs, at.rec, v);
    default:
        return false;
    }
}

// The value cells of a sheet inside the areas' bounding box, in row and column order.
std::vector<Candidate> candidates(const ExtractSource& src, const std::vector<SubRecord>& recs, const std::vector<Rect>& rects)
{
    Rect box = rects.front();
    for (const Rect& x : rects)
        box = {std::min(box.r1, x.r1), std::max(box.r2, x.r2), std::min(box.c1, x.c1), std::max(box.c2, x.c2)};
    std::vector<Candidate> found;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const RecRef& r = recs[i].rec;
        if (recs[i].depth != 1 || r.size < 6)
            continue;
        const std::uint8_t* d = src.data(r);
        const std::uint32_t row = rd16(d), col = rd16(d + 2);
        const std::uint32_t count = r.type == rt::MulRk ? (r.size - 6) / 6 : 1;
        for (std::uint32_t c = 0; c < count && row >= box.r1 && row <= box.r2; ++c)
            if (col + c >= box.c1 && col + c <= box.c2)
                found.push_back({row, col + c, static_cast<std::uint32_t>(i), c});
    }
    // Sheets hold their cells in this order already, as a rule.
    const auto before = [](const Candidate& a, const Candidate& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; };
    if (!std::is_sorted(found.begin(), found.end(), before))
        std::stable_sort(found.begin(), found.end(), before);
    return found;
}

} // namespace

// One pass over the sheet: the cells the areas cover, with their values; a later record for
// the same cell wins.
std::vector<CachedCell> readCachedValues(const ExtractSource& src, const SheetInfo& info, const std::vector<Rect>& rects,
                                         const std::function<const SstReader*()>& sharedStrings)
{
    std::vector<CachedCell> cells;
    if (info.kind != SheetKind::Worksheet && info.kind != SheetKind::Dialog && info.kind != SheetKind::Macro)
        return cells;
    const auto recs = src.substream(info.offset);
    AreaCover cover(rects);
    for (const Candidate& c : candidates(src, recs, rects)) {
        CachedValue v{};
        if (!cover.covers(c.row, c.col) || !cellValue(src, recs, c, sharedStrings, &v))
            continue;
        if (!cells.empty() && cells.back().row == c.row && cells.back().col == c.col)
            cells.back().value = std::move(v);
        else
            cells.push_back({c.row, c.col, std::move(v)});
    }
    return cells;
}

namespace {
// One cached value as it stands in a CRN record.
void appendValue(std::vector<std::uint8_t>& crn, const CachedValue& v)
{
    crn.push_back(v.kind);
    std::uint8_t eight[8] = {};
    if (v.kind == kNumber) {
        std::memcpy(eight, &v.number, 8);
        crn.insert(crn.end(), eight, eight + 8);
    } else if (v.kind == kText) {
        appendUnicodeString(crn, v.text.left(kMaxCachedText), true); // all a cached text holds
    } else {
        eight[0] = v.code;
        crn.insert(crn.end(), eight, eight + 8);
    }
}

// One CRN per run of neighbouring cells in a row, closed before it would outgrow a record.
std::vector<std::vector<std::uint8_t>> crnRecords(const std::vector<CachedCell>& cells)
{
    std::vector<std::vector<std::uint8_t>> crns;
    std::vector<std::uint8_t> cur, value;
    std::uint32_t row = 0, lastCol = 0;
    auto flush = [&] {
        if (cur.empty())
            return;
        cur[0] = static_cast<std::uint8_t>(lastCol);
        crns.push_back(std::move(cur));
        cur.clear();
    };
    for (const CachedCell& c : cells) {
        value.clear();
        appendValue(value, c.value);
        if (!cur.empty() && (c.row != row || c.col != lastCol + 1 || cur.size() + value.size() > kMaxRecordData))
            flush();
        if (cur.empty()) {
            row = c.row;
            cur = {0, static_cast<std::uint8_t>(c.col), static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(row >> 8)};
        }
        lastCol = c.col;
        cur.insert(cur.end(), value.begin(), value.end());
    }
    flush();
    return crns;
}
} // namespace

void writeExternalCaches(ByteSink& out, const ExtractSource& src, const CacheRects& rects,
                         const std::function<const SstReader*()>& sharedStrings,
                         const std::function<std::uint16_t(int)>& linkPosition)
{
    for (const auto& [sheetIndex, areas] : rects) {
        const SheetInfo& info = src.sheets()[static_cast<std::size_t>(sheetIndex)];
        auto crns = crnRecords(readCachedValues(src, info, areas, sharedStrings));
        std::uint8_t xct[4];
        wr16(xct, static_cast<std::uint16_t>(std::min<std::size_t>(crns.size(), 0x7FFF))); // a signed count
        wr16(xct + 2, linkPosition(sheetIndex));
        if (crns.size() > 0x7FFF)
            crns.resize(0x7FFF);
        out.record(rt::XCT, xct, 4);
        for (const auto& c : crns)
            out.record(rt::CRN, c);
    }
}

} // namespace bf::xls
