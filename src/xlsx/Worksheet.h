#pragma once
// Worksheet parts: the kept sheet copied token by token with its shared-string indices
// renumbered, its references to other sheets made external and its view selected; and the
// cached values of the cells another sheet's references name.
#include "book/FirstUseNumbering.h"
#include "xlsx/Formula.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bf::xlsx {

class PartDeflater;
class SharedStrings;

// The new order of the shared strings a worksheet uses: first use first.
using StringRemap = book::FirstUseNumbering;

using ChunkSource = std::function<void(QByteArray&)>;

// Copies the kept worksheet from `in` into `out`. Throws XlsxError.
void rewriteWorksheet(const ChunkSource& in, PartDeflater& out, FormulaRewriter& formulas,
                      StringRemap& strings, const QString& detail);

// A part whose formulas name sheets (chart series, table columns): the formula elements
// rewritten, the rest as it stands. Unchanged when it names no other sheet.
// spread: how far every formula of it is filled (rules over ranges).
QByteArray rewriteFormulaPart(const QByteArray& part, FormulaRewriter& formulas, const QString& detail,
                              FillSpread spread = {});


// What one new workbook's link may still cache, over all the sheets it reads: a whole column of
// a full sheet names a million cells, and a small package can hold many such sheets.
struct LinkBudget {
    std::size_t cells = 1'000'000;
    std::size_t textBytes = 32u << 20;
};

// The cells of `areas` on a worksheet streamed from `in` that hold a value, in sheet order,
// as far as the budget goes (spent by what is returned). partial: set when the budget ran out
// before the areas did.
std::vector<CachedCell> readCachedCells(const ChunkSource& in, const std::vector<CellArea>& areas,
                                        const SharedStrings& strings, const QString& detail,
                                        LinkBudget& budget, bool& partial);

} // namespace bf::xlsx
