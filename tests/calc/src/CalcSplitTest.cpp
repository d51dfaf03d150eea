// Splitting real workbooks through the Calc backend, the way a split run drives it (open, copy
// each worksheet, save, close), each output checked against its source by xlrd.
#include "CalcFixture.h"

#include <QDir>
#include <QFileInfo>

using namespace bf::test::calc;

namespace {

struct SplitOutcome {
    QStringList sheets;
    QStringList failures; // one line per output that does not match its source
};

SplitOutcome splitThroughCalc(const QString& relative, const QString& outDir, bool drawings = false)
{
    auto& app = sharedCalc();
    const QString source = bf::test::corpusFile(relative);
    SplitOutcome outcome;
    auto book = app.workbooks().Open(source);
    for (const auto& sheet : book->Worksheets()) {
        const QString name = sheet->Name();
        outcome.sheets << name;
        sheet->Copy();
        const QString output = QDir(outDir).filePath(name + QStringLiteral("_Splitted_at_2026126.xls"));
        app.ActiveWorkbook()->SaveAs(output + QLatin1Char(' '));
        app.ActiveWorkbook()->Close(false);
        const ScriptResult check = checkSplit(source, name, output, drawings);
        if (check.exitCode != 0)
            outcome.failures << name + QStringLiteral(": ") + check.output;
    }
    book->Close(false);
    return outcome;
}

} // namespace

TEST(CalcSplit, PicturesAndChartsTravelWithTheirSheet)
{
    bf::test::TempDir out;
    // Rectangles, groups, pictures, text boxes, comments, polygons, an embedded object.
    const SplitOutcome drawings = splitThroughCalc(QStringLiteral("xls/poi--drawings.xls"), out.path(), true);
    EXPECT_EQ(drawings.sheets,
              (QStringList{"rectangles", "groups", "pictures", "text", "comments", "polygon", "picture", "embedded"}));
    EXPECT_TRUE(drawings.failures.isEmpty()) << drawings.failures.join('\n').toStdString();
    EXPECT_EQ(sharedCalc().workbooks().Count(), 0);
}

TEST(CalcSplit, CrossSheetFormulasKeepTheirValues)
{
    bf::test::TempDir out;
    // Formulas on "test" read the other four sheets, one of them through a 3-D range.
    const SplitOutcome result = splitThroughCalc(QStringLiteral("xls/poi--formulasheetrange.xls"), out.path());
    EXPECT_EQ(result.sheets, (QStringList{"test", "Sheet2", "Sheet3", "Sheet4", "Sheet5"}));
    EXPECT_TRUE(result.failures.isEmpty()) << result.failures.join('\n').toStdString();
}

TEST(CalcSplit, HiddenSheetsAreSplitAndComeOutVisible)
{
    bf::test::TempDir out;
    const SplitOutcome two = splitThroughCalc(QStringLiteral("xls/poi--twosheetsonehidden.xls"), out.path());
    EXPECT_EQ(two.sheets, (QStringList{"Sheet1", "Sheet2"}));
    EXPECT_TRUE(two.failures.isEmpty()) << two.failures.join('\n').toStdString();
    const SplitOutcome three = splitThroughCalc(QStringLiteral("xls/sheetjs--sheet_visibility.xls"), out.path());
    EXPECT_EQ(three.sheets, (QStringList{"Visible", "Hidden", "VeryHidden"}));
    EXPECT_TRUE(three.failures.isEmpty()) << three.failures.join('\n').toStdString();
}

TEST(CalcSplit, Excel95WorkbooksTheNativeEngineRefusesAreSplit)
{
    // The last one also has formulas with text results, which the office writes as 0 unless it
    // evaluates them first.
    for (const char* name : {"xls/parseexcel--test95j.xls", "xls/sheetjs--sheet_visibility5.xls", "xls/sheetjs--crlfx5_5.xls"}) {
        bf::test::TempDir out;
        const SplitOutcome result = splitThroughCalc(QLatin1String(name), out.path());
        EXPECT_FALSE(result.sheets.isEmpty()) << name;
        EXPECT_TRUE(result.failures.isEmpty()) << name << ":\n" << result.failures.join('\n').toStdString();
        // Every worksheet gave one output file, and nothing else was written.
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), result.sheets.size()) << name;
    }
    EXPECT_EQ(sharedCalc().workbooks().Count(), 0);
}
