// References to other sheets in formula text become external references; everything else in
// the formula stays as it stands.
#include "xlsx/DefinedNames.h"
#include "xlsx/Formula.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace bf::xlsx;

TEST(XlsxFormula, OtherSheetsBecomeExternalAndTheKeptSheetStays)
{
    const std::vector<QString> sheets{QStringLiteral("Data"), QStringLiteral("My Sheet"),
                                      QStringLiteral("Kept"), QStringLiteral("O'Brien"), QStringLiteral("Zeta")};
    const std::vector<std::pair<const char*, const char*>> cases{
        {"Data!A1+1", "[3]Data!A1+1"},
        {"SUM('My Sheet'!$A$1:$B$5)", "SUM('[3]My Sheet'!$A$1:$B$5)"},
        {"data!A1", "[3]data!A1"},                         // names match in any letter case
        {"Kept!A1*2", nullptr},                            // the kept sheet itself
        {"'O''Brien'!C3", "'[3]O''Brien'!C3"},
        {"SUM(Data:Zeta!A1)", "SUM([3]Data:Zeta!A1)"},     // a 3-D span
        {"\"Data!A1\"&Data!A1", "\"Data!A1\"&[3]Data!A1"}, // text stays text
        {"[1]Data!A1", nullptr},                           // already external
        {"Table1[[#This Row],[Col]]", nullptr},
        {"Unknown!A1", nullptr},                           // no such sheet: left for the reader
        {"A1:B2", nullptr},
    };
    for (const auto& [in, out] : cases) {
        FormulaRewriter f(sheets, 2, 3);
        const auto got = f.rewrite(in);
        EXPECT_EQ(got.value_or("(unchanged)"), out ? std::string(out) : std::string("(unchanged)")) << in;
    }
}

TEST(XlsxFormula, RecordsTheAreasNamedOnEachSheet)
{
    FormulaRewriter f({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, 0, 1);
    f.rewrite("B!$C$2:D4+SUM(B:C!E:E)");
    ASSERT_EQ(f.references().size(), 2u);
    const auto& onB = f.references().at(1);
    ASSERT_EQ(onB.size(), 2u);
    EXPECT_TRUE(onB[0].contains(1, 2) && onB[0].contains(3, 3) && !onB[0].contains(4, 3));
    EXPECT_TRUE(onB[1].contains(1048575, 4) && !onB[1].contains(0, 5)); // whole column E
    EXPECT_EQ(f.references().at(2).size(), 1u);
}

TEST(XlsxFormula, AFilledFormulaNamesTheCellsItsRelativeReferencesReach)
{
    struct Case {
        const char* formula;
        FillSpread spread;
        CellArea onB;
    };
    const Case cases[] = {
        {"B!A1", {3, 0}, {0, 0, 3, 0}},
        {"B!$A$1", {3, 2}, {0, 0, 0, 0}},
        {"B!$A1", {2, 4}, {0, 0, 2, 0}},
        {"B!A$1:B2", {5, 1}, {0, 0, 6, 2}},
        {"B!C:C", {9, 1}, {0, 2, 1048575, 3}},
        {"B!A1048570", {20, 0}, {1048569, 0, 1048575, 0}}, // not past the last row
    };
    for (const Case& c : cases) {
        FormulaRewriter f({QStringLiteral("A"), QStringLiteral("B")}, 0, 1);
        f.rewrite(c.formula, c.spread);
        ASSERT_EQ(f.references().count(1), 1u) << c.formula;
        const CellArea got = f.references().at(1).at(0);
        EXPECT_EQ(std::vector<std::uint32_t>({got.firstRow, got.firstCol, got.lastRow, got.lastCol}),
                  std::vector<std::uint32_t>({c.onB.firstRow, c.onB.firstCol, c.onB.lastRow, c.onB.lastCol}))
            << c.formula;
    }
}

TEST(XlsxFormula, StructuredReferencesToATableOfAnotherSheetNameItsCells)
{
    // Sales on Data, B2:D6: a header row, three data rows, a totals row; Here on the kept sheet.
    FormulaRewriter f({QStringLiteral("Data"), QStringLiteral("Kept")}, 1, 2);
    f.addTable({QStringLiteral("Sales"), 0, {1, 1, 5, 3}, 1, 1, {"Region", "Amount", "Note"}});
    f.addTable({QStringLiteral("Here"), 1, {0, 0, 3, 1}, 1, 0, {"A", "B"}}); // goes along: ignored
    const std::vector<std::pair<const char*, const char*>> cases{
        {"SUM(Sales[Amount])", "SUM('[2]Data'!$C$3:$C$5)"},
        {"VLOOKUP(A1,sales[],2,0)", "VLOOKUP(A1,'[2]Data'!$B$3:$D$5,2,0)"}, // any letter case
        {"COUNTA(Sales[#All])", "COUNTA('[2]Data'!$B$2:$D$6)"},
        {"Sales[[#Headers],[Region]:[Amount]]", "'[2]Data'!$B$2:$C$2"},
        {"Sales[[#Data],[#Totals],[Note]]", "'[2]Data'!$D$3:$D$6"},
        {"Sales[[#This Row],[Amount]]", nullptr}, // the formula's own row: left as written
        {"Sales[Nope]", nullptr},
        {"Here[A]+Data!A1", "Here[A]+[2]Data!A1"},
    };
    for (const auto& [in, out] : cases) {
        FormulaRewriter g = f;
        EXPECT_EQ(g.rewrite(in).value_or("(unchanged)"), out ? std::string(out) : std::string("(unchanged)")) << in;
    }
    f.rewrite("SUM(Sales[Amount])");
    ASSERT_EQ(f.references().at(0).size(), 1u); // cached by the link
    EXPECT_TRUE(f.references().at(0)[0].contains(2, 2) && !f.references().at(0)[0].contains(5, 2));
}

// The names a formula may use, in every form formula text takes: functions, sheets, text,
// structured references, numbers with exponents and non-ASCII names are told apart.
TEST(XlsxFormula, NamesAFormulaUses)
{
    const std::vector<std::pair<std::string_view, std::vector<NameUse>>> cases{
        {"Rate*2", {{"rate", false}}},
        {"SUM(Sales)+sum(x)", {{"sales", false}, {"x", false}}},
        {"Kept!Local+'My Sheet'!Other", {{"local", true}, {"other", true}}},
        {"\"Rate\"&'Rate'!A1", {{"a1", true}}},
        {"Table1[Rate]+1.5E+3", {}},
        {"Book.xlsx!Total", {{"total", true}}},
        {"_xlnm.Print_Area", {{"_xlnm.print_area", false}}},
        {"ÄNDERUNG+1", {{QString::fromUtf8("änderung").toStdString(), false}}},
        {"A:A", {}},
        {std::string_view("Total(1)", 5), {{"total", false}}}, // part of a longer text: its end is the end
    };
    for (const auto& [formula, expected] : cases)
        EXPECT_EQ(namesIn(formula), expected) << formula;
}

// Which names a copy of sheet Kept (position 0) keeps.
TEST(XlsxFormula, KeptNamesAreThoseKeptContentReaches)
{
    FormulaTargets targets({QStringLiteral("Kept"), QStringLiteral("Other")});
    const std::vector<DefinedName> names{
        {"alone", -1, "Kept!$A$1:$B$2"},   // the kept sheet alone: kept
        {"span", -1, "Kept:Other!$A$1"},   // reaches another sheet: only when used
        {"other", -1, "Other!$A$1"},
        {"constant", -1, "42"},            // workbook data: only when used
        {"chain", -1, "constant*2"},       // used: brings what it uses
        {"local", 0, "Other!$B$1"},        // the kept sheet's own: kept
        {"elsewhere", 1, "Other!$C$1"},    // another sheet's own: never
        {"ext", -1, "[1]Kept!$A$1"},       // another workbook: only when used
        {"selfish", -1, "Kept!$A$1+other"},// builds on another name: only when used
    };
    for (const DefinedName& n : names)
        targets.addDefinedName(n.folded);
    const std::set<NameKey> kept = keptNames(names, 0, {{"chain", false}, {"elsewhere", true}}, targets);
    const std::set<NameKey> expected{{"alone", -1}, {"chain", -1}, {"constant", -1}, {"local", 0}};
    EXPECT_EQ(kept, expected);
}

TEST(XlsxFormula, WithValuesOneCellBecomesItsConstantWhereAValueMayStandAndListsBecomeExplicit)
{
    const std::map<std::uint32_t, CachedCell> data{{0, {0, 0, "", "5"}},       {1, {1, 0, "s", "say \"hi\""}},
                                                   {2, {2, 0, "b", "1"}},      {3, {3, 0, "e", "#N/A"}},
                                                   {4, {4, 0, "", "2024-01-01"}}, {5, {5, 0, "s", "a,b"}}};
    FormulaRewriter f({QStringLiteral("Data"), QStringLiteral("Kept")}, 1, 2);
    f.setValues(true);
    f.setAreaValues([&](int sheet, const CellArea& a) {
        std::vector<CachedCell> cells;
        for (std::uint32_t r = a.firstRow; sheet == 0 && r <= a.lastRow; ++r)
            if (data.count(r))
                cells.push_back(data.at(r));
        return std::optional(cells);
    });
    const std::vector<std::tuple<const char*, FillSpread, const char*>> cases{
        {"Data!$A$1>0", {}, "5>0"},
        {"Data!A2=\"x\"", {}, "\"say \"\"hi\"\"\"=\"x\""},   // one cell filled over none
        {"AND(Data!$A$3,Data!$A$4)", {}, "AND(TRUE,#N/A)"},
        {"Data!A1>0", {2, 0}, "#REF!>0"},                    // a relative cell filled down: many cells
        {"ROW(Data!$A$1)", {}, "ROW(#REF!)"},                // a function that takes the reference
        {"SUM(Data!$A$1:$A$2)", {}, "SUM(#REF!)"},
        {"Data!$A$5+1", {}, "#REF!+1"},                      // a date as text: no constant spells it
        {"Data!$A$9=0", {}, "#REF!=0"},                      // an empty cell: 0 or "" as taken
    };
    for (const auto& [formula, spread, expected] : cases)
        EXPECT_EQ(f.rewrite(formula, spread).value_or("unchanged"), expected) << formula;
    EXPECT_EQ(f.dropped(), 5u);
    const std::vector<std::pair<const char*, const char*>> lists{
        {"Data!$A$3:$A$4", "\"TRUE,#N/A\""}, {"'Data'!$A$1:$A$1", "\"5\""},
        {"Data!$A$1:$A$2", "none"}, // a quote in a value
        {"Data!$A$6", "none"},      // a comma in a value
        {"Data!$A$8:$A$9", "none"}, {"Kept!$A$1:$A$2", "none"}, {"Data!$A$1+1", "none"}};
    for (const auto& [formula, expected] : lists)
        EXPECT_EQ(f.explicitList(formula).value_or("none"), expected) << formula;
}
