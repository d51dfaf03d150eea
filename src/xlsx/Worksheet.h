#pragma once
// Worksheet parts: what a sheet's content asks of its copy, learnt in one pass; the kept sheet
// copied token by token with its references to other sheets made external (its shared-string
// indices kept, their use noted); and the cached values of the cells another sheet's
// references name.
#include "xlsx/Formula.h"
#include "xlsx/SharedStrings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bf::xlsx {

class PartDeflater;

using ChunkSource = std::function<void(QByteArray&)>;

// What a copy of a worksheet needs to know of its content.
struct SheetUse {
    // A formula reads another sheet (or another sheet's table): the part must be rewritten.
    // The pass stops there, so strings and names are then incomplete.
    bool mustChange = false;
    StringUse strings;       // the shared strings its cells use
    std::set<NameUse> names; // the defined names its formulas use
};

// Reads worksheet `sheet` of the workbook `targets` describes from `in`, checking it as the
// copy does; tableSize: the shared-string table's items. Throws XlsxError.
SheetUse scanWorksheet(const ChunkSource& in, std::shared_ptr<const FormulaTargets> targets, int sheet,
                       std::size_t tableSize, const QString& detail);

// Copies the kept worksheet from `in` into `out`, noting the strings it uses. Throws XlsxError.
void rewriteWorksheet(const ChunkSource& in, PartDeflater& out, FormulaRewriter& formulas,
                      StringUse& strings, const QString& detail);

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
