#pragma once
// The tables of a workbook's other sheets, for the structured references a kept sheet makes to them.
#include "xlsx/Formula.h"

#include <vector>

namespace bf::xlsx {

class XlsxWorkbook;

// Every table of every sheet but `kept`; a table part that cannot be read is passed over (a
// reference to it then stays as written).
std::vector<TableInfo> tablesOfOtherSheets(const XlsxWorkbook& wb, int kept);

} // namespace bf::xlsx
