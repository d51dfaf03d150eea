#pragma once
// The link table of the globals: the supporting links (SUPBOOK with its EXTERNNAME, XCT and CRN
// records) and the reference table (EXTERNSHEET) that 3-D references index. In the new
// workbook the first link is the workbook itself, the second (when needed) the source workbook
// for references to the sheets left behind, then the source's other links in their order.
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"

#include <cstdint>
#include <functional>
#include <set>
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

    // Decides the link to the source: it names only the sheets the entries in use reach (with
    // the sheets between the ends of a 3-D range), and is left out when none is reached or
    // when the source path is longer than a link holds (then those entries name no sheet).
    void chooseLinkedSheets(const std::set<std::uint16_t>& usedXtis, int kept, int sheetCount, const QString& sourcePath);
    bool sourceLink() const { return !linkedSheets_.empty() && !linkLeftOut(); }
    // No link to the source: references to other sheets name no sheet, and the formulas of
    // cells that read them keep their stored results only (a path too long, or values asked).
    bool linkLeftOut() const { return pathTooLong_ || valuesOnly_; }
    // Values in place of the link to the source, asked for by the user.
    void setValuesOnly(bool on) { valuesOnly_ = on; }
    bool valuesOnly() const { return valuesOnly_; }
    // A source sheet's place among the link's sheets; kXtiDeleted when it is not there.
    std::uint16_t linkPosition(int sheet) const;
    // Where a source entry points in the new workbook.
    Xti mapped(const Xti& x, int kept) const;

    // The new workbook's link table: its own link, the link to the source (its names, then
    // what writeSourceCaches writes) when needed, the other links, the reference table.
    void write(ByteSink& out, const ExtractSource& src, const QString& sourcePath, const std::vector<std::vector<std::uint8_t>>& names,
               const std::function<void(ByteSink&)>& writeSourceCaches) const;

private:
    void writeExternSheet(ByteSink& out, int kept) const;

    std::vector<std::vector<std::size_t>> supBooks_; // globals record indexes of each block
    int selfSupBook_ = -1;
    std::vector<Xti> xtis_;
    bool hasExternSheet_ = false;
    std::set<std::uint16_t> usedXtis_;
    std::vector<int> linkedSheets_; // source sheets the link names, in source order
    bool pathTooLong_ = false;
    bool valuesOnly_ = false;
};

// The source workbook's absolute path as a link path ("\x01\x02", then the folders and the
// file name separated by 0x03); with a sheet, the file name is bracketed and the sheet follows.
QString encodeSourcePath(const QString& sourcePath, const QString& sheet = QString());

} // namespace bf::xls
