#include "xlsx/DefinedNames.h"

#include <map>

namespace bf::xlsx {

namespace {

// Refers to cells of the kept sheet and to nothing else: no other sheet, no other workbook, no
// other name, and is no constant.
bool refersToKeptAlone(const DefinedName& n, int kept, const FormulaTargets& targets)
{
    const std::optional<std::vector<std::string>> sheets = sheetQualifiers(n.formula);
    if (!sheets || sheets->empty())
        return false;
    for (const std::string& s : *sheets) {
        const std::size_t colon = s.find(':');
        const std::string first = s.substr(0, colon), last = colon == s.npos ? first : s.substr(colon + 1);
        if (targets.sheetIndex(QString::fromStdString(first)) != kept
            || targets.sheetIndex(QString::fromStdString(last)) != kept)
            return false;
    }
    for (const NameUse& use : namesIn(n.formula))
        if (targets.isDefinedName(use.first))
            return false;
    return true;
}

} // namespace

std::set<NameKey> keptNames(const std::vector<DefinedName>& names, int kept, const std::set<NameUse>& used,
                            const FormulaTargets& targets)
{
    std::map<NameKey, const DefinedName*> byKey;
    for (const DefinedName& n : names)
        if (n.localSheet == -1 || n.localSheet == kept)
            byKey.emplace(NameKey{n.folded, n.localSheet}, &n);
    std::set<NameKey> keep;
    std::vector<const DefinedName*> work;
    const auto add = [&](const NameKey& key) {
        const auto it = byKey.find(key);
        if (it != byKey.end() && keep.insert(key).second)
            work.push_back(it->second);
    };
    // A name used unqualified is the kept sheet's own when it has one, else the workbook's; one
    // qualified ("Book!Name", "Kept!Name") may be either.
    const auto use = [&](const NameUse& u) {
        const bool local = byKey.count({u.first, kept}) > 0;
        if (local)
            add({u.first, kept});
        if (!local || u.second)
            add({u.first, -1});
    };
    for (const DefinedName& n : names)
        if (n.localSheet == kept || (n.localSheet == -1 && refersToKeptAlone(n, kept, targets)))
            add({n.folded, n.localSheet});
    for (const NameUse& u : used)
        use(u);
    while (!work.empty()) {
        const DefinedName* n = work.back();
        work.pop_back();
        for (const NameUse& u : namesIn(n->formula))
            if (targets.isDefinedName(u.first))
                use(u);
    }
    return keep;
}

} // namespace bf::xlsx
