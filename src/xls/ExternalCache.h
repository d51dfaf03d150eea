#pragma once
// The values the new workbook caches for its references to the sheets left behind: one XCT
// record per source sheet read, then CRN records holding the cells of the areas read.
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"
#include "xls/References.h"
#include "xls/Sst.h"

#include <functional>

namespace bf::xls {

// sharedStrings gives the source's string table (null when it has none); asked only when a
// cached cell holds shared text.
void writeExternalCaches(ByteSink& out, const ExtractSource& src, const CacheRects& rects,
                         const std::function<const SstReader*()>& sharedStrings);

} // namespace bf::xls
