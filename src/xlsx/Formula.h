#pragma once
// Formula text: references to the workbook's other sheets made external references to the
// source workbook ("Sheet2!A1" -> "[2]Sheet2!A1"), recording the cells they name so that the
// external link can cache the values they show.
#include "book/ValuesDrops.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace bf::xlsx {

struct CellArea {
    std::uint32_t firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0; // 0-based, inclusive
    bool contains(std::uint32_t row, std::uint32_t col) const
    {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
};

// A cell of another sheet holding a value, as its part caches it.
struct CachedCell {
    std::uint32_t row = 0, col = 0;
    std::string type;  // "", "b", "e", "s" (text), "str"
    std::string value; // plain text
};
// The cells of an area of another sheet that hold a value; nullopt when they cannot be read.
using AreaValues = std::function<std::optional<std::vector<CachedCell>>(int sheet, const CellArea& area)>;

// "$B$3" -> row 2, col 1; false when the text is no cell reference.
bool parseCellRef(std::string_view ref, std::uint32_t& row, std::uint32_t& col);
// "A1:B5", "$A:$A", "3:4", "C7" -> the area; nullopt when it is none of these.
std::optional<CellArea> parseArea(std::string_view text);
std::string cellName(std::uint32_t row, std::uint32_t col);

// How far a shared formula is filled beyond the cell that holds its text: its relative
// references name that much more on each sheet.
struct FillSpread {
    std::uint32_t rows = 0, cols = 0;
};

// A table of another sheet, for the structured references that name it.
struct TableInfo {
    QString name;          // its display name, the one formulas use
    int sheet = 0;         // workbook position of its sheet
    CellArea area;         // its whole range
    std::uint32_t headerRows = 1, totalsRows = 0;
    std::vector<QString> columns;
};

// The cells a structured reference's brackets name in table t ("" the data, "[#All]", "[Col]",
// "[#Headers],[ColA]:[ColB]", ...); nullopt when they depend on the formula's row or name no
// column of t.
std::optional<CellArea> structuredArea(const TableInfo& t, std::string_view inner);

// What any sheet's formulas may name across the workbook: its sheets, tables and defined
// names. Built once per opened workbook and shared by every extraction.
class FormulaTargets {
public:
    explicit FormulaTargets(std::vector<QString> sheetNames);
    void addTable(TableInfo table);
    const std::vector<QString>& sheets() const { return names_; }
    int sheetIndex(const QString& name) const; // -1 when no sheet has that name
    const TableInfo* table(const QString& name) const;
    bool hasTables() const { return !tables_.empty(); }
    // The workbook's defined names (folded, see foldName), for telling which ones formulas use.
    void addDefinedName(const std::string& folded) { definedNames_.insert(folded); }
    bool isDefinedName(const std::string& folded) const { return definedNames_.count(folded) > 0; }
    bool hasDefinedNames() const { return !definedNames_.empty(); }

private:
    std::vector<QString> names_;
    std::map<QString, int> indexByFolded_;
    std::map<QString, TableInfo> tables_; // by folded name
    std::unordered_set<std::string> definedNames_;
};

// A defined name used by a formula: its folded text, and whether a sheet (or book) qualified it.
using NameUse = std::pair<std::string, bool>;

class FormulaRewriter {
public:
    // targets: the workbook's sheets and tables; kept: the one sheet kept;
    // externalIndex: the number the new workbook gives the link to the source.
    FormulaRewriter(std::shared_ptr<const FormulaTargets> targets, int kept, int externalIndex);
    FormulaRewriter(std::vector<QString> sheetNames, int kept, int externalIndex);

    // Values in place of the link: nothing is linked; cells that read other sheets lose their
    // formulas; a reference to one cell of another sheet becomes the constant it shows where a
    // value may stand (given setAreaValues), any other becomes #REF! (counted in dropped()).
    void setValues(bool on) { values_ = on; }
    void setAreaValues(AreaValues values) { areaValues_ = std::move(values); }
    // With values: the formula of the name (folded) the kept sheet sees; nullopt when none.
    using NameFormulas = std::function<std::optional<std::string>(const std::string&)>;
    void setNameFormulas(NameFormulas formulas) { nameFormula_ = std::move(formulas); }
    // Whether a formula uses a name reading other sheets that no constant stands for: the copy
    // leaves that name out.
    bool usesNameWithoutValue(std::string_view formula);
    // With values: a validation list read from one area of another sheet ("Data!$A$1:$A$3") as
    // the explicit list of its values ("\"a,b,c\""); nullopt when it is no such list or its
    // values do not fit one (a comma in a value, more than 255 characters). A name reading such
    // an area ("Colours") gives that area's list.
    std::optional<std::string> explicitList(std::string_view formula);
    // What the output left out with values, by kind, counted by those who leave it out.
    book::ValuesDrops drops;
    bool values() const { return values_; }
    std::size_t dropped() const { return dropped_; }
    // Whether a formula reads another sheet of the workbook, itself or through one of the
    // names given here (folded), changing nothing.
    bool readsOtherSheets(std::string_view formula);
    void setNamesReadingOtherSheets(std::set<std::string> folded) { namesReadingOthers_ = std::move(folded); }
    // A table of another sheet: structured references to it become external references to its
    // cells (only for a rewriter made from sheet names).
    void addTable(TableInfo table);
    // The formula with its references to other sheets made external; nullopt when unchanged.
    // spread: how far the formula is filled (a shared formula), for the cells to cache.
    std::optional<std::string> rewrite(std::string_view formula, FillSpread spread = {});
    // Sheets referenced (workbook positions) and the areas named on each.
    const std::map<int, std::vector<CellArea>>& references() const { return references_; }
    bool used() const { return !references_.empty(); }
    int externalIndex() const { return externalIndex_; }
    // Records the workbook's defined names a formula uses (rewrite() does this itself).
    void noteNames(std::string_view formula);
    bool tracksNames() const { return targets_->hasDefinedNames(); }
    const std::set<NameUse>& usedNames() const { return usedNames_; }
    // Records names a formula of content that is copied as it stands uses.
    void noteNames(const std::set<NameUse>& used) { usedNames_.insert(used.begin(), used.end()); }

private:
    std::size_t sheetReference(std::string_view f, std::size_t start, std::size_t bang,
                               bool quoted, std::string& out);
    std::optional<std::string> constantFor(std::string_view f, std::size_t start, std::size_t end, int sheet,
                                           std::string_view reference);
    std::size_t tableReference(std::string_view f, std::size_t start, std::size_t open, std::string& out);

    std::shared_ptr<const FormulaTargets> targets_;
    std::shared_ptr<FormulaTargets> ownTargets_; // when made from sheet names
    int kept_;
    int externalIndex_;
    FillSpread spread_; // of the formula being rewritten
    std::map<int, std::vector<CellArea>> references_;
    std::set<NameUse> usedNames_;
    bool values_ = false;
    std::size_t dropped_ = 0;
    std::set<std::string> namesReadingOthers_;
    AreaValues areaValues_;
    NameFormulas nameFormula_;
    bool probing_ = false; // telling whether a formula reads other sheets: no values looked up
};

// A name folded for comparison in any letter case.
std::string foldName(std::string_view name);
// The identifiers of a formula that may be defined names, folded: "Rate*Kept!Local+SUM(x)"
// gives {"rate", false}, {"local", true}, {"x", false}; never a function, a sheet, text in
// quotes or a structured reference's brackets (cell references come too: no name is one).
std::vector<NameUse> namesIn(std::string_view formula);
// The sheets a formula's references name, as written ("Data", "A:C" for a 3-D span); nullopt
// when it reaches another workbook ("[1]Data!A1").
std::optional<std::vector<std::string>> sheetQualifiers(std::string_view formula);

} // namespace bf::xlsx
