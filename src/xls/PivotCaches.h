#pragma once
// Pivot tables of the kept sheet: the cache definitions of the globals its views use (each an
// SXSTREAMID record and the records of its group), renumbered in the order they stay, and the
// cache streams of the pivot-cache storage they name. A source range on another sheet points
// at the source workbook, as formulas do.
#include "xls/ByteIO.h"
#include "book/Cfb.h"
#include "xls/ExtractSource.h"

#include <map>
#include <vector>

namespace bf::xls {

class PivotCaches {
public:
    // The globals' cache definitions and the caches the sheet's views use. The views go along
    // when every cache they use is there, stream included; otherwise they go and their cells
    // stay as values.
    void read(const ExtractSource& src, const std::vector<SubRecord>& sheet);
    bool keepViews() const { return keep_; }
    // A view's cache index in the new workbook.
    std::uint16_t newIndex(std::uint16_t old) const;
    // When globals record i starts a cache definition: writes it if it stays, sets *last to its
    // group's last record and returns true.
    bool copyGroup(ByteSink& out, const ExtractSource& src, std::size_t i, const QString& sourcePath, std::size_t* last) const;
    // The pivot-cache storage with the streams of the caches that stay; false when none stays.
    bool storage(const book::CfbFile& cfb, book::CfbNode* out) const;

private:
    struct Group {
        std::size_t first, last; // globals record indexes, both included
        std::uint16_t streamId;  // names the cache stream: four hex digits
    };
    std::vector<Group> groups_;
    std::map<std::uint16_t, std::uint16_t> newIndex_; // old cache index -> new
    bool keep_ = false;
};

// A range source (DCONREF) on a sheet other than keptSheet, pointed at the workbook sourcePath.
// Other records and sources come back unchanged: a source given by name is looked up when the
// pivot is refreshed, and the cache shows the data until then.
std::vector<std::uint8_t> repointPivotSource(std::uint16_t type, const std::uint8_t* data, std::size_t size,
                                             const QString& keptSheet, const QString& sourcePath);

} // namespace bf::xls
