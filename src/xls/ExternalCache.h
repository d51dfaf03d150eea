#pragma once
// The values the new workbook caches for its references to the sheets left behind: one XCT
// record per source sheet read, then CRN records holding the cells of the areas read.
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"
#include "xls/References.h"
#include "xls/Sst.h"

#include <functional>

namespace bf::xls {

// A cell's stored value: its kind (as a cached value marks it), and the number, the code of a
// boolean or an error, or the text.
constexpr std::uint8_t kNumber = 0x01;
constexpr std::uint8_t kText = 0x02;
constexpr std::uint8_t kBool = 0x04;
constexpr std::uint8_t kError = 0x10;
struct CachedValue {
    std::uint8_t kind;
    double number = 0;
    std::uint8_t code = 0;
    QString text;
};
struct CachedCell {
    std::uint32_t row, col;
    CachedValue value;
};

// The stored values of a source sheet's cells that the areas cover, in row and column order;
// cells without a value are left out.
std::vector<CachedCell> readCachedValues(const ExtractSource& src, const SheetInfo& info, const std::vector<Rect>& rects,
                                         const std::function<const SstReader*()>& sharedStrings);

// sharedStrings gives the source's string table (null when it has none); asked only when a
// cached cell holds shared text. linkPosition: a source sheet's place among the link's sheets.
// A cached text holds at most 255 characters: longer cell texts are cut there.
void writeExternalCaches(ByteSink& out, const ExtractSource& src, const CacheRects& rects,
                         const std::function<const SstReader*()>& sharedStrings,
                         const std::function<std::uint16_t(int)>& linkPosition);

} // namespace bf::xls
