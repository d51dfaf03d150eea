#include "xls/SheetCopy.h"

#include "xls/FormulaSites.h"
#include "xls/RecordIds.h"
#include "xls/References.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace bf::xls {

namespace {
// Records of pivot views: dropped when their caches do not go along (the cells stay).
bool isPivotSheetRecord(std::uint16_t t)
{
    switch (t) {
    case rt::SxView: case rt::Sxvd: case rt::SXVI: case rt::SXIvd: case rt::SXLI: case rt::SXPI: case rt::SXDI:
    case rt::SxRule: case rt::SxEx: case rt::SxFilt: case rt::SxDXF: case rt::SxName: case rt::SxSelect: case rt::SXPair:
    case rt::SxFmla: case rt::SxFormat: case rt::SXVDEx: case rt::SXFormula: case rt::QsiSXTag: case rt::SXViewEx:
    case rt::SXTH: case rt::SXPIEx: case rt::SXVDTEx: case rt::SXViewEx9: case rt::SXAddl:
        return true;
    default:
        return false;
    }
}

constexpr std::uint16_t kWindowSelectedAndShown = 0x0600; // Window2 fSelected | fPaged
constexpr std::uint16_t kFormulaShared = 0x0008;          // Formula flag: part of a shared formula
} // namespace

SheetCopy::SheetCopy(const ExtractSource& src, const std::vector<SubRecord>& records, const book::FirstUseNumbering& strings,
                     const LinkTable& links, const NameTable& names, const PivotCaches& pivots,
                     std::map<std::size_t, std::vector<std::uint8_t>> ruleRecords)
    : src_(src), records_(records), strings_(strings), links_(links), names_(names), pivots_(pivots)
{
    for (const auto& [r, depth] : records_) {
        // Shared formulas, and array formulas when values are asked: every cell they cover
        // keeps its value.
        const bool array = r.type == rt::Array && links_.valuesOnly();
        if (depth != 1 || (r.type != rt::ShrFmla && !array))
            continue;
        const std::size_t cceAt = array ? 12 : 8;
        if (r.size < cceAt + 2)
            continue;
        const std::uint8_t* d = src_.data(r);
        const std::size_t cce = rd16(d + cceAt);
        if (cceAt + 2 + cce <= r.size && readsOtherSheets(d + cceAt + 2, cce))
            spanningShared_.insert({rd16(d), d[4]});
    }
    if (links_.valuesOnly())
        planValueCells(std::move(ruleRecords));
}

// With values each cell whose formula reads another sheet becomes a Number, BoolErr or Label
// record of its stored result; records grow or shrink, and the row blocks' offsets after them
// move to match. A shared or array formula goes when every cell that used it went.
void SheetCopy::planValueCells(std::map<std::size_t, std::vector<std::uint8_t>> ruleRecords)
{
    std::map<std::uint32_t, std::int64_t> delta;
    std::set<std::pair<std::uint16_t, std::uint16_t>> kept; // anchors a remaining cell still uses
    auto note = [&](std::size_t i, std::vector<std::uint8_t> record) {
        delta[records_[i].rec.pos] = std::int64_t(record.size()) - std::int64_t(4 + records_[i].rec.size);
        replaced_[i] = std::move(record);
    };
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const auto& [r, depth] = records_[i];
        if (depth != 1 || r.type != rt::Formula || r.size < 22)
            continue;
        const std::uint8_t* d = src_.data(r);
        const std::size_t cce = rd16(d + 20);
        if (22 + cce != r.size || !needsFreezing(d, r.size))
            continue;
        std::size_t stringAt = SIZE_MAX;
        std::vector<std::uint8_t> record = valueRecord(d, i, &stringAt);
        if (record.empty()) {
            if (cce == 5 && d[22] == ptg::Exp)
                kept.insert({rd16(d + 23), rd16(d + 25)});
            continue;
        }
        note(i, std::move(record));
        if (stringAt != SIZE_MAX)
            note(stringAt, {});
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const auto& [r, depth] = records_[i];
        if (depth == 1 && (r.type == rt::ShrFmla || r.type == rt::Array) && r.size >= 6) {
            const std::pair<std::uint16_t, std::uint16_t> anchor{rd16(src_.data(r)), src_.data(r)[4]};
            if (spanningShared_.count(anchor) && !kept.count(anchor))
                note(i, {});
        }
    }
    for (auto& [i, record] : ruleRecords)
        note(i, std::move(record));
    std::int64_t added = 0;
    for (const auto& [pos, d] : delta)
        growthAt_[pos] = added += d;
}

// The value cell (a whole record) standing for a Formula record's stored result; empty when
// the result is of no known kind, or a text a Label cannot hold. *stringAt: the record of its
// text result, which goes with it.
std::vector<std::uint8_t> SheetCopy::valueRecord(const std::uint8_t* d, std::size_t index, std::size_t* stringAt) const
{
    std::vector<std::uint8_t> rec(4);
    rec.insert(rec.end(), d, d + 6); // row, column, format
    const std::uint8_t* val = d + 6;
    std::uint16_t type = rt::Number;
    if (rd16(val + 6) != 0xFFFF) {
        rec.insert(rec.end(), val, val + 8);
    } else if (val[0] == 1 || val[0] == 2) {
        type = rt::BoolErr;
        rec.insert(rec.end(), {val[2], static_cast<std::uint8_t>(val[0] == 2)});
    } else if (val[0] == 3) {
        type = rt::Label;
        rec.insert(rec.end(), {0, 0, 0});
    } else if (val[0] == 0) {
        // The text is in the String record after the formula (and any shared or array formula).
        type = rt::Label;
        std::size_t j = index + 1;
        while (j < records_.size() && j < index + 4 && records_[j].rec.type != rt::String)
            ++j;
        if (j >= records_.size() || records_[j].rec.type != rt::String || records_[j].rec.size < 3
            || (j + 1 < records_.size() && records_[j + 1].rec.type == rt::Continue))
            return {};
        const RecRef& s = records_[j].rec;
        const std::uint8_t* text = src_.data(s);
        if (rd16(text) > 255 || 3 + rd16(text) * ((text[2] & 1) ? 2u : 1u) != s.size)
            return {};
        rec.insert(rec.end(), text, text + s.size);
        *stringAt = j;
    } else {
        return {};
    }
    wr16(rec.data(), type);
    wr16(rec.data() + 2, static_cast<std::uint16_t>(rec.size() - 4));
    return rec;
}

// Bytes added (or taken) before source position pos.
std::int64_t SheetCopy::shift(std::uint32_t pos) const
{
    const auto after = growthAt_.lower_bound(pos);
    return after == growthAt_.begin() ? 0 : std::prev(after)->second;
}

// A row block's offsets (DBCell): to its first Row record, then between the first cells of its
// rows; each grows by what was added between its two ends.
void SheetCopy::moveCellOffsets(std::uint8_t* d, const RecRef& r) const
{
    if (growthAt_.empty() || r.size < 4 || rd32(d) > r.pos)
        return;
    const std::uint32_t firstRow = r.pos - rd32(d);
    wr32(d, static_cast<std::uint32_t>(rd32(d) + shift(r.pos) - shift(firstRow)));
    // The first cell: the record after the block's Row records.
    auto it = std::lower_bound(records_.begin(), records_.end(), firstRow,
                               [](const SubRecord& s, std::uint32_t pos) { return s.rec.pos < pos; });
    while (it != records_.end() && it->rec.type == rt::Row)
        ++it;
    std::uint32_t cell = it != records_.end() ? it->rec.pos : firstRow;
    for (std::size_t p = 6; p + 2 <= r.size; p += 2) {
        const std::uint32_t next = cell + rd16(d + p);
        wr16(d + p, static_cast<std::uint16_t>(rd16(d + p) + shift(next) - shift(cell)));
        cell = next;
    }
}

void SheetCopy::write(ByteSink& out) const
{
    const std::int64_t delta = std::int64_t(out.size()) - std::int64_t(src_.info().offset);
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const auto& [r, depth] = records_[i];
        if (depth == 1 && isPivotSheetRecord(r.type) && !pivots_.keepViews()) {
            i = lastContinuation(records_, i);
            continue;
        }
        if (const auto v = replaced_.find(i); v != replaced_.end()) {
            out.put(v->second.data(), v->second.size());
            continue;
        }
        const std::size_t at = out.size();
        out.put(src_.at(r.pos), 4 + r.size);
        std::uint8_t* d = out.bytes.data() + at + 4;
        if (depth == 1)
            rewrite(d, i, delta);
        forEachFormulaToRewrite(d, r.type, r.size, depth, [&](std::uint8_t* rgce, std::size_t cce) { names_.renumber(rgce, cce, links_); });
    }
}

void SheetCopy::rewrite(std::uint8_t* d, std::size_t i, std::int64_t delta) const
{
    const RecRef& r = records_[i].rec;
    switch (r.type) {
    case rt::Index:
        // ibXF and every DBCell position are absolute.
        for (std::size_t p = 12; p + 4 <= r.size; p += 4)
            wr32(d + p, static_cast<std::uint32_t>(std::int64_t(rd32(d + p)) + delta + shift(rd32(d + p))));
        break;
    case rt::DBCell:
        moveCellOffsets(d, r);
        break;
    case rt::LabelSst:
        wr32(d + 6, strings_.newIndex(rd32(d + 6))); // checked when the sheet was read
        break;
    case rt::Formula:
        freezeIfSpanning(d, r.size, i);
        break;
    case rt::Window2:
        // The one sheet is selected and shown in every window.
        if (r.size >= 2)
            wr16(d, static_cast<std::uint16_t>(rd16(d) | kWindowSelectedAndShown));
        break;
    case rt::SxView:
        if (r.size >= 16)
            wr16(d + 14, pivots_.newIndex(rd16(d + 14)));
        break;
    default:
        break;
    }
}

// Replaces the formula of a cell that reads a 3-D range over other sheets by its stored
// result, padded with parentheses so the record keeps its size (row block offsets stay valid).
void SheetCopy::freezeIfSpanning(std::uint8_t* d, std::size_t size, std::size_t index) const
{
    if (size < 22)
        return;
    const std::size_t cce = rd16(d + 20);
    if (22 + cce != size)
        return; // extra array data follows; left as it is
    std::uint8_t* rgce = d + 22;
    if (!needsFreezing(d, size))
        return;
    const std::vector<std::uint8_t> tokens = resultTokens(d + 6, index);
    if (tokens.empty() || tokens.size() > cce)
        return;
    std::memcpy(rgce, tokens.data(), tokens.size());
    std::memset(rgce + tokens.size(), ptg::Paren, cce - tokens.size());
    wr16(d + 14, static_cast<std::uint16_t>(rd16(d + 14) & ~kFormulaShared));
}

// Whether a Formula record's cell keeps its stored result only.
bool SheetCopy::needsFreezing(const std::uint8_t* d, std::size_t size) const
{
    const std::size_t cce = rd16(d + 20);
    const std::uint8_t* rgce = d + 22;
    if (22 + cce > size)
        return false;
    if (readsOtherSheets(rgce, cce))
        return true;
    return cce == 5 && rgce[0] == ptg::Exp && spanningShared_.count({rd16(rgce + 1), rd16(rgce + 3)}) > 0;
}

bool SheetCopy::readsOtherSheets(const std::uint8_t* rgce, std::size_t cce) const
{
    return spansOtherSheets(rgce, cce, links_, src_.sheet())
        || (links_.valuesOnly() && names_.namesReachOtherSheets(rgce, cce, links_, src_.sheet()));
}

// The formula tokens that give a cell's stored result (val: the 8 result bytes); empty when
// there is none to give.
std::vector<std::uint8_t> SheetCopy::resultTokens(const std::uint8_t* val, std::size_t index) const
{
    if (rd16(val + 6) != 0xFFFF) {
        double v;
        std::memcpy(&v, val, 8);
        if (v >= 0 && v <= 65535 && v == static_cast<double>(static_cast<int>(v)))
            return {ptg::Int, static_cast<std::uint8_t>(static_cast<int>(v)), static_cast<std::uint8_t>(static_cast<int>(v) >> 8)};
        return {ptg::Num, val[0], val[1], val[2], val[3], val[4], val[5], val[6], val[7]};
    }
    switch (val[0]) {
    case 1: return {ptg::Bool, val[2]};
    case 2: return {ptg::Err, val[2]};
    case 3: return {ptg::Str, 0, 0};
    case 0: break;
    default: return {};
    }
    // The text is in the String record after the formula.
    for (std::size_t j = index + 1; j < records_.size() && j < index + 4; ++j) {
        const RecRef& r = records_[j].rec;
        if (r.type != rt::String)
            continue;
        const std::uint8_t* s = src_.data(r);
        if (r.size >= 3) {
            const std::size_t cch = rd16(s);
            const std::size_t bytes = cch * ((s[2] & 1) ? 2 : 1);
            if (cch <= 255 && 3 + bytes <= r.size) {
                std::vector<std::uint8_t> tokens = {ptg::Str, static_cast<std::uint8_t>(cch), static_cast<std::uint8_t>(s[2] & 1)};
                tokens.insert(tokens.end(), s + 3, s + 3 + bytes);
                return tokens;
            }
        }
        break;
    }
    return {};
}

} // namespace bf::xls
