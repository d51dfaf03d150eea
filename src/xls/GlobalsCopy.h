#pragma once
// The new workbook's globals: the source's globals record by record, with the sheet list
// reduced to the kept sheet, every window showing it, the string table, link table, names,
// pivot caches and drawing group rewritten, and what the one-sheet workbook must not carry left
// out.
#include "xls/ByteIO.h"
#include "xls/Drawing.h"
#include "xls/ExtractSource.h"

#include <functional>

namespace bf::xls {

struct GlobalsParts {
    std::function<void(ByteSink&)> writeSst;            // the new string table
    std::function<void(ByteSink&)> writeLinksAndNames;  // the link table and the kept names
    // When globals record i starts a pivot cache definition: writes what stays of it, sets the
    // group's last record and returns true.
    std::function<bool(ByteSink&, std::size_t i, std::size_t* last)> copyPivotCache;
    const SheetDrawings& drawings;
};

struct GlobalsCopied {
    std::size_t boundSheetAt; // output position of the kept sheet's entry data (its offset first);
                              // SIZE_MAX when the globals have no sheet list
    bool wroteSst;
};

GlobalsCopied copyGlobals(ByteSink& out, const ExtractSource& src, const GlobalsParts& parts);

} // namespace bf::xls
