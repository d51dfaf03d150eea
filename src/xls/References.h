#pragma once
// What the kept sheet's formulas, and the names they use, refer to: defined names, and areas of
// the other sheets, whose values the new workbook caches with its link to the source.
#include "xls/ExtractSource.h"
#include "xls/Formula.h"
#include "xls/LinkTable.h"

#include <map>
#include <set>
#include <vector>

namespace bf::xls {

// Source sheet index -> the areas of it that formulas read.
using CacheRects = std::map<int, std::vector<Rect>>;

class References {
public:
    References(const ExtractSource& src, const LinkTable& links) : src_(src), links_(links) {}

    // Notes what one formula refers to; the 1-based indexes of the defined names it uses go to
    // names. shared: the range of a shared formula; inName: the formula of a defined name.
    void collect(const std::uint8_t* rgce, std::size_t cce, const Rect* shared, bool inName, std::set<std::uint32_t>* names);
    const CacheRects& cacheRects() const { return cacheRects_; }
    // The reference table entries the formulas use.
    const std::set<std::uint16_t>& usedXtis() const { return usedXtis_; }
    // Names used by a plain name token (not qualified by a sheet) from outside a name.
    const std::set<std::uint32_t>& plainNames() const { return plainNames_; }

private:
    void addArea(TokenKind kind, const std::uint8_t* t, const Xti& x, const Rect* shared, bool inName);

    const ExtractSource& src_;
    const LinkTable& links_;
    CacheRects cacheRects_;
    std::set<std::uint16_t> usedXtis_;
    std::set<std::uint32_t> plainNames_;
};

// True when a formula reads a 3-D range over several other sheets, or any other sheet when
// the new workbook has no link to the source: such a formula keeps its stored result only.
bool spansOtherSheets(const std::uint8_t* rgce, std::size_t cce, const LinkTable& links, int kept);

} // namespace bf::xls
