#include "xls/RuleValues.h"

#include "xls/ByteIO.h"
#include "xls/FormulaSites.h"
#include "xls/RecordIds.h"
#include "xls/References.h"

namespace bf::xls {

namespace {
constexpr std::uint32_t kTypeMask = 0x0F;      // DV flags: the kind of rule
constexpr std::uint32_t kListType = 3;
constexpr std::uint32_t kExplicitList = 0x80;  // DV flags: formula 1 is the list itself
constexpr std::size_t kDvalCount = 14;         // DVal: how many rules follow

// Where a DV record's first formula starts (its cce); 0 when the record is too short.
std::size_t firstFormulaAt(const std::uint8_t* d, std::size_t size)
{
    std::size_t p = 4;
    for (int s = 0; s < 4; ++s) {
        if (p + 3 > size)
            return 0;
        p += 3 + rd16(d + p) * ((d[p + 2] & 1) ? 2u : 1u);
    }
    return p + 4 <= size && p + 4 + rd16(d + p) <= size ? p : 0;
}

class RulePlanner {
public:
    RulePlanner(const ExtractSource& src, const LinkTable& links, const NameTable& names, const ValueConstants& values)
        : src_(src), links_(links), names_(names), values_(values)
    {
    }
    bool reachesOtherSheets(const std::uint8_t* d, std::uint16_t type, std::uint16_t size) const
    {
        bool reaches = false;
        forEachFormula(d, type, size, 1, [&](const std::uint8_t* rgce, std::size_t cce, const Rect*) {
            reaches = reaches || spansOtherSheets(rgce, cce, links_, src_.sheet())
                || names_.namesReachOtherSheets(rgce, cce, links_, src_.sheet());
        });
        return reaches;
    }
    // The rule as an explicit list; empty when it cannot be one.
    std::vector<std::uint8_t> listRule(const std::uint8_t* d, std::size_t size) const
    {
        const std::size_t p = firstFormulaAt(d, size);
        if (p == 0 || (rd32(d) & kTypeMask) != kListType || (rd32(d) & kExplicitList))
            return {};
        const std::uint8_t* rgce = d + p + 4;
        std::size_t cce = rd16(d + p);
        if (cce == 5 && ptg::base(rgce[0]) == ptg::Name && !names_.formulaOf(rd32(rgce + 1), &rgce, &cce))
            return {};
        const std::optional<QString> list = values_.explicitList(rgce, cce);
        if (!list)
            return {};
        const std::vector<std::uint8_t> tokens = textToken(*list);
        std::vector<std::uint8_t> rec(4);
        rec.insert(rec.end(), d, d + p + 4);
        wr32(rec.data() + 4, rd32(d) | kExplicitList);
        wr16(rec.data() + 4 + p, static_cast<std::uint16_t>(tokens.size()));
        rec.insert(rec.end(), tokens.begin(), tokens.end());
        rec.insert(rec.end(), d + p + 4 + rd16(d + p), d + size); // the second formula and the cells
        if (rec.size() - 4 > kMaxRecordData)
            return {};
        wr16(rec.data(), rt::DV);
        wr16(rec.data() + 2, static_cast<std::uint16_t>(rec.size() - 4));
        return rec;
    }

private:
    const ExtractSource& src_;
    const LinkTable& links_;
    const NameTable& names_;
    const ValueConstants& values_;
};
} // namespace

RuleChanges valuesForRules(const ExtractSource& src, const std::vector<SubRecord>& sheet, const LinkTable& links,
                           const NameTable& names, const ValueConstants& values)
{
    RuleChanges changes;
    const RulePlanner planner(src, links, names, values);
    std::size_t dval = SIZE_MAX;
    std::uint32_t removed = 0;
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        const auto& [r, depth] = sheet[i];
        const std::uint8_t* d = src.data(r);
        if (depth != 1)
            continue;
        if (r.type == rt::DVal && r.size >= kDvalCount + 4)
            dval = i;
        if ((r.type != rt::DV && r.type != rt::CF) || !planner.reachesOtherSheets(d, r.type, r.size))
            continue;
        if (r.type == rt::CF) {
            ++changes.drops.references; // kept: the names it uses read #REF!
            continue;
        }
        if (i + 1 < sheet.size() && sheet[i + 1].rec.type == rt::Continue) {
            ++changes.drops.references; // spread over several records: kept, its references #REF!
            continue;
        }
        std::vector<std::uint8_t> list = planner.listRule(d, r.size);
        if (list.empty()) {
            ++changes.drops.validations;
            ++removed;
        }
        changes.records[i] = std::move(list);
    }
    // The rule count: the rules left, and no rule list at all when none is.
    if (dval != SIZE_MAX && removed > 0) {
        const RecRef& r = sheet[dval].rec;
        const std::uint32_t rules = rd32(src.data(r) + kDvalCount);
        std::vector<std::uint8_t> rec;
        if (rules > removed) {
            rec.assign(src.at(r.pos), src.at(r.pos) + 4 + r.size);
            wr32(rec.data() + 4 + kDvalCount, rules - removed);
        }
        changes.records[dval] = std::move(rec);
    }
    return changes;
}

} // namespace bf::xls
