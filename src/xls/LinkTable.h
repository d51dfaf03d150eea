#pragma once
// The link table of the globals: the supporting links (SUPBOOK with its EXTERNNAME, XCT and CRN
// records) and the reference table (EXTERNSHEET) that 3-D references index. In the new
// workbook the first link is the workbook itself, the second (when needed) the source workbook
// for references to the sheets left behind, then the source's other links in their order.
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace bf::xls {

constexpr std::uint16_t kXtiWorkbook = 0xFFFE; // workbook-level reference
constexpr std::uint16_t kXtiDeleted = 0xFFFF;  // sheet that no longer exists

// A reference table entry: a supporting link and a range of its sheets.
struct Xti {
    std::uint16_t supBook;
    std::uint16_t first;
    std::uint16_t last;
};

class LinkTable {
public:
    void read(const ExtractSource& src);

    bool present() const { return hasExternSheet_; }
    // The entry ixti; null when the table has none.
    const Xti* xti(std::size_t ixti) const { return ixti < xtis_.size() ? &xtis_[ixti] : nullptr; }
    // Whether the entry points into the source workbook itself.
    bool isSelf(const Xti& x) const { return static_cast<int>(x.supBook) == selfSupBook_; }
    // Whether an entry names sheets of the source other than the kept one, which the new
    // workbook reaches through its link to the source.
    bool reachesOtherSheets(const Xti& x, int kept) const;
    // Whether any entry does.
    bool needsSourceLink(int kept) const;

    // The new workbook's link table: its own link, the link to the source (followed by what
    // writeSourceCaches writes) when needed, the other links, the reference table.
    void write(ByteSink& out, const ExtractSource& src, bool sourceLink, const QString& sourcePath,
               const std::function<void(ByteSink&)>& writeSourceCaches) const;

private:
    Xti mapped(const Xti& x, int kept, bool sourceLink) const;
    void writeExternSheet(ByteSink& out, int kept, bool sourceLink) const;

    std::vector<std::vector<std::size_t>> supBooks_; // globals record indexes of each block
    int selfSupBook_ = -1;
    std::vector<Xti> xtis_;
    bool hasExternSheet_ = false;
};

// The SUPBOOK record of a link to the source workbook at sourcePath with these sheets.
std::vector<std::uint8_t> sourceSupBook(const ExtractSource& src, const QString& sourcePath);

} // namespace bf::xls
