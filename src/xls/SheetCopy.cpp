#include "xls/SheetCopy.h"

#include "xls/FormulaSites.h"
#include "xls/RecordIds.h"
#include "xls/References.h"

#include <cstring>

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
                     const LinkTable& links, const NameTable& names, const PivotCaches& pivots)
    : src_(src), records_(records), strings_(strings), links_(links), names_(names), pivots_(pivots)
{
    for (const auto& [r, depth] : records_) {
        if (depth != 1 || r.type != rt::ShrFmla || r.size < 10)
            continue;
        const std::uint8_t* d = src_.data(r);
        const std::size_t cce = rd16(d + 8);
        if (10 + cce <= r.size && spansOtherSheets(d + 10, cce, links_, src_.sheet()))
            spanningShared_.insert({rd16(d), d[4]});
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
            wr32(d + p, static_cast<std::uint32_t>(std::int64_t(rd32(d + p)) + delta));
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
    bool spans = spansOtherSheets(rgce, cce, links_, src_.sheet());
    if (!spans && cce == 5 && rgce[0] == ptg::Exp)
        spans = spanningShared_.count({rd16(rgce + 1), rd16(rgce + 3)}) > 0;
    if (!spans)
        return;
    const std::vector<std::uint8_t> tokens = resultTokens(d + 6, index);
    if (tokens.empty() || tokens.size() > cce)
        return;
    std::memcpy(rgce, tokens.data(), tokens.size());
    std::memset(rgce + tokens.size(), ptg::Paren, cce - tokens.size());
    wr16(d + 14, static_cast<std::uint16_t>(rd16(d + 14) & ~kFormulaShared));
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
