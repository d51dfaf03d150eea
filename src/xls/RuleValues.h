#pragma once
// With values in place of links: the kept sheet's validation rules that read other sheets. A
// list read from one range of another sheet (directly or through a name) becomes the explicit
// list of its values; any other such rule is left out. Conditional formats cannot name other
// sheets, but may use names that do: those are counted.
#include "book/ValuesDrops.h"
#include "xls/ExtractSource.h"
#include "xls/LinkTable.h"
#include "xls/Names.h"
#include "xls/ValueConstants.h"

#include <map>
#include <vector>

namespace bf::xls {

struct RuleChanges {
    std::map<std::size_t, std::vector<std::uint8_t>> records; // by index among the sheet's; empty: left out
    book::ValuesDrops drops;
};

RuleChanges valuesForRules(const ExtractSource& src, const std::vector<SubRecord>& sheet, const LinkTable& links,
                           const NameTable& names, const ValueConstants& values);

} // namespace bf::xls
