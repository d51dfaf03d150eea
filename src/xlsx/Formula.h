#pragma once
// Formula text: references to the workbook's other sheets made external references to the
// source workbook ("Sheet2!A1" -> "[2]Sheet2!A1"), recording the cells they name so that the
// external link can cache the values they show.
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bf::xlsx {

struct CellArea {
    std::uint32_t firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0; // 0-based, inclusive
    bool contains(std::uint32_t row, std::uint32_t col) const
    {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
};

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

class FormulaRewriter {
public:
    // sheetNames: every sheet of the workbook in order; kept: the one sheet kept;
    // externalIndex: the number the new workbook gives the link to the source.
    FormulaRewriter(std::vector<QString> sheetNames, int kept, int externalIndex);

    // A table of another sheet: structured references to it become external references to its cells.
    void addTable(TableInfo table);
    // The formula with its references to other sheets made external; nullopt when unchanged.
    // spread: how far the formula is filled (a shared formula), for the cells to cache.
    std::optional<std::string> rewrite(std::string_view formula, FillSpread spread = {});
    // Sheets referenced (workbook positions) and the areas named on each.
    const std::map<int, std::vector<CellArea>>& references() const { return references_; }
    bool used() const { return !references_.empty(); }
    int externalIndex() const { return externalIndex_; }

private:
    std::size_t sheetReference(std::string_view f, std::size_t start, std::size_t bang,
                               bool quoted, std::string& out);
    std::size_t tableReference(std::string_view f, std::size_t start, std::size_t open, std::string& out);
    int sheetIndex(const QString& name) const;

    std::vector<QString> names_;
    std::map<QString, int> indexByFolded_;
    int kept_;
    int externalIndex_;
    FillSpread spread_; // of the formula being rewritten
    std::map<int, std::vector<CellArea>> references_;
    std::map<QString, TableInfo> tables_; // by folded name
};

} // namespace bf::xlsx
