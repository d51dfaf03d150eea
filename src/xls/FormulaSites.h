#pragma once
// Where records keep parsed formulas: cells, shared and array formulas, data validation,
// conditional formats, controls and chart series.
#include "xls/Formula.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace bf::xls {

// Calls fn(rgce, cce, shared) for every formula in one record of a sheet's substream (depth 1:
// the sheet's own records; deeper: an embedded chart's). shared is the range of a shared
// formula, null for the others.
using FormulaVisit = std::function<void(const std::uint8_t*, std::size_t, const Rect*)>;
void forEachFormula(const std::uint8_t* d, std::uint16_t type, std::uint16_t size, int depth, const FormulaVisit& fn);

// The same over a record being rewritten.
inline void forEachFormulaToRewrite(std::uint8_t* d, std::uint16_t type, std::uint16_t size, int depth,
                                    const std::function<void(std::uint8_t*, std::size_t)>& fn)
{
    forEachFormula(d, type, size, depth, [&](const std::uint8_t* rgce, std::size_t cce, const Rect*) { fn(d + (rgce - d), cce); });
}

} // namespace bf::xls
