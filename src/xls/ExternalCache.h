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
// cached cell holds shared text. linkPosition: a source sheet's place among the link's sheets.
// A cached text holds at most 255 characters: longer cell texts are cut there.
void writeExternalCaches(ByteSink& out, const ExtractSource& src, const CacheRects& rects,
                         const std::function<const SstReader*()>& sharedStrings,
                         const std::function<std::uint16_t(int)>& linkPosition);

} // namespace bf::xls
