#pragma once
// The workbook's defined names, and which of them a one-sheet copy keeps.
//
// A name is workbook data: one that reads another sheet carries that sheet's name and cells
// into the copy, a constant carries its value. The copy keeps the names of the kept sheet (its
// print area, titles and filter among them), the workbook names that refer to the kept sheet
// alone, and any other name only when something kept uses it, directly or through a kept name.
#include "xlsx/Formula.h"

#include <QString>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace bf::xlsx {

struct DefinedName {
    std::string folded;   // the name, folded (foldName)
    int localSheet = -1;  // the sheet it belongs to (a workbook position); -1 for the workbook
    std::string formula;  // what it refers to
};

// A defined name as the copy knows it: folded name and sheet (-1 for the workbook).
using NameKey = std::pair<std::string, int>;

// used: the names kept content uses (FormulaRewriter::usedNames).
std::set<NameKey> keptNames(const std::vector<DefinedName>& names, int kept, const std::set<NameUse>& used,
                            const FormulaTargets& targets);

} // namespace bf::xlsx
