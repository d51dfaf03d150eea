#pragma once
// Defined names (Lbl records): which go along into the new workbook, their new numbers, and
// the name indexes in formulas renumbered to match.
#include "xls/ByteIO.h"
#include "xls/ExtractSource.h"
#include "xls/LinkTable.h"
#include "xls/References.h"
#include "xls/ValueConstants.h"

#include <QString>
#include <map>
#include <set>
#include <vector>

namespace bf::xls {

struct DefinedName {
    std::size_t rec;    // index into the globals records
    std::uint16_t itab; // 0: workbook scope; else 1-based sheet
    std::uint32_t rgce; // stream position of the formula
    std::uint16_t cce;
    QString name;
};

class NameTable {
public:
    void read(const ExtractSource& src);

    // Keeps the kept sheet's own names, the workbook names that refer to nothing outside it,
    // and every name something kept uses (used: 1-based indexes the sheet's formulas use). A
    // name of another sheet that a formula reads as that sheet's name is read through the link
    // to the source; one read without naming its sheet, or one whose formula cannot be read,
    // refuses the extraction.
    void choose(const ExtractSource& src, const LinkTable& links, References& refs, const std::set<std::uint32_t>& used);
    // Whether a formula reaches other sheets through the names it uses (names of other sheets,
    // or names whose formulas read other sheets, at any depth).
    bool namesReachOtherSheets(const std::uint8_t* rgce, std::size_t cce, const LinkTable& links, int kept, int depth = 0) const;
    // With values: each kept name that reads one cell of another sheet becomes that cell's
    // value as a constant.
    void makeConstants(const ValueConstants& values);
    // How many kept names read other sheets by their own references and did not become
    // constants (with values: #REF! now).
    int keptReadingOtherSheets(const LinkTable& links, int kept) const;
    // The formula of the name with a 1-based index; false when there is none.
    bool formulaOf(std::uint32_t idx, const std::uint8_t** rgce, std::size_t* cce) const;
    // Rewrites the name indexes of a formula to the new numbers.
    void renumber(std::uint8_t* rgce, std::size_t cce, const LinkTable& links) const;
    // The kept Lbl records, renumbered.
    void write(ByteSink& out, const ExtractSource& src, const LinkTable& links) const;
    // The other sheets' names the link to the source carries (EXTERNNAME records), in the order
    // their indexes count.
    std::vector<std::vector<std::uint8_t>> linkNames(const LinkTable& links) const;

private:
    std::vector<std::uint32_t> startingSet(const ExtractSource& src, const LinkTable& links, std::vector<char>& keep) const;
    void takeOtherSheetsName(std::uint32_t idx, References& refs);
    void pointAtLink(std::uint8_t* token, std::uint32_t idx) const;
    bool standsForOneCell(const DefinedName& nm) const;

    const ExtractSource* src_ = nullptr;
    std::vector<DefinedName> names_;
    std::vector<std::uint32_t> newName_; // by 1-based source index; 0: dropped
    std::set<std::uint32_t> otherSheets_; // names of other sheets the kept formulas read
    std::vector<std::uint32_t> linked_;   // those the link carries as its names
    std::map<std::size_t, std::vector<std::uint8_t>> constants_; // kept names' new formulas, by index
};

} // namespace bf::xls
