#pragma once
// The tables of a workbook's sheets, for the structured references a kept sheet makes to another's.
#include "xlsx/Formula.h"

#include <vector>

namespace bf::xlsx {

class XlsxWorkbook;

// Every table of every sheet; a table part that cannot be read is passed over (a reference to
// it then stays as written).
std::vector<TableInfo> workbookTables(const XlsxWorkbook& wb);

} // namespace bf::xlsx
