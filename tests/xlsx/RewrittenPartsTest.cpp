// The parts the Open XML engine reads (the kept sheet, the string table): damage in them,
// met through the command-line program, is refused with a non-zero exit, a message naming the
// part and the byte where the damage lies, and nothing left in the output folder; a string
// table of any size a real workbook has is split, and only a bomb refused.
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "xlsx/Package.h"
#include "xlsx/PackageBuilder.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

using namespace bf::test::xlsx;

namespace {

const QByteArray kMainNs = R"(xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
// Two views of the sheet, neither selected: both left as they stand (the workbook part makes the
// sheet the active one).
const QByteArray kSheetOne = R"(<?xml version="1.0" encoding="UTF-8"?>)" "\r\n<worksheet " + kMainNs
    + R"(><sheetViews><sheetView tabSelected="0" workbookViewId="0"/><sheetView workbookViewId="1"/></sheetViews>)"
      R"(<sheetData><row r="1"><c r="A1" t="s"><v>1</v></c><c r="B1" t="s"><v>0</v></c><c r="C1"><f>Two!B2*2</f><v>6</v></c></row>)"
      R"(</sheetData></worksheet>)";
const QByteArray kStrings = R"(<?xml version="1.0" encoding="UTF-8"?><sst )" + kMainNs
    + R"( count="2" uniqueCount="3"><si><t>one</t></si><si><t>two</t></si><si><t>not used</t></si></sst>)";
const QByteArray kStringsRel = R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)";
const QByteArray kSheetPart = "xl/worksheets/sheet1.xml";
const QByteArray kStringsPart = "xl/sharedStrings.xml";

QByteArray bookWith(const QByteArray& sheet, const QByteArray& strings, quint32 stringsDeclared = 0)
{
    return zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels}, {"xl/workbook.xml", kWorkbook},
                  {"xl/_rels/workbook.xml.rels", QByteArray(kWorkbookRels).replace("</Relationships>", kStringsRel + "</Relationships>")},
                  {kSheetPart, sheet}, {"xl/worksheets/sheet2.xml", kSheet2},
                  {kStringsPart, strings, stringsDeclared}});
}

// The split into outFolder: its exit status and messages.
bf::test::Outcome split(const QString& workbook, const QString& outFolder)
{
    QDir().mkpath(outFolder);
    return bf::test::runProgram("brakenfold-split", {"-o", outFolder, workbook}, outFolder);
}

} // namespace

TEST(XlsxDamage, DamageInARewrittenPartIsRefusedWithThePartAndThePositionAndNothingWritten)
{
    struct Case {
        const char* what;
        QByteArray part;   // the damaged part
        QByteArray from, to; // the change to its sound text
        QByteArray at;     // where the damage lies in the changed text ("" for its end)
    };
    const std::vector<Case> cases{
        {"a malformed string amid the table", kStringsPart, "<t>one</t>", "<t>one <& broken</t>", "&"},
        {"bytes of the table that are not UTF-8", kStringsPart, "<t>two</t>", "<t>tw\xC3\x28</t>", "\xC3"},
        {"a truncated sheet", kSheetPart, R"(<c r="B1")", "", ""},
        {"mismatched end tags", kSheetPart, "<v>1</v></c>", "<v>1</v></row>", "</row>"},
        {"an undeclared entity", kSheetPart, "<v>6</v>", "<v>6&nbsp;</v>", "&nbsp;"},
        {"a reference to no character", kSheetPart, "<v>6</v>", "<v>&#xD800;</v>", "&#x"},
        {"a raw control character in text", kSheetPart, "!B2*2", "!B2\x02*2", "\x02"},
        {"bytes of the sheet that are not UTF-8", kSheetPart, "!B2*2", "!B2\xFF*2", "\xFF"},
        {"an attribute given twice", kSheetPart, R"(<c r="C1">)", R"(<c r="C1" r="C1">)", R"(r="C1">)"},
        {"a second root element", kSheetPart, "</worksheet>", "</worksheet><worksheet/>", "<worksheet/>"},
        {"a cell beyond column XFD", kSheetPart, R"(<c r="B1")", R"(<c r="XFE1")", R"(<c r="XFE1")"},
        {"a cell in row 0", kSheetPart, R"(<c r="B1")", R"(<c r="B0")", R"(<c r="B0")"},
        {"a row beyond 1048576", kSheetPart, R"(<row r="1">)", R"(<row r="1048577">)", "<row"},
        {"a text cell far beyond the string table", kSheetPart, "<v>1</v>", "<v>2000000</v>", "</v>"},
    };
    bf::test::TempDir dir;
    // The sheet read by a copy that rewrites it, and by one that copies its compressed bytes
    // (its formula reads only itself).
    for (const QByteArray& sheet : {kSheetOne, QByteArray(kSheetOne).replace("Two!", "One!")})
    for (const Case& c : cases) {
        const QByteArray sound = c.part == kStringsPart ? kStrings : sheet;
        const qsizetype from = sound.indexOf(c.from);
        ASSERT_GE(from, 0) << c.what;
        const QByteArray changed = c.to.isEmpty() ? sound.left(from) : QByteArray(sound).replace(from, c.from.size(), c.to);
        const qsizetype at = c.at.isEmpty() ? changed.size() : changed.indexOf(c.at, from);
        const QString book = dir.write(QStringLiteral("%1.xlsx").arg(c.what),
                                       c.part == kStringsPart ? bookWith(sheet, changed) : bookWith(changed, kStrings));
        const QString out = dir.file(QStringLiteral("out %1 %2").arg(c.what).arg(sheet.contains("One!")));
        const bf::test::Outcome run = split(book, out);
        EXPECT_NE(run.exitCode, 0) << c.what;
        EXPECT_TRUE(run.err.contains("part " + c.part + QStringLiteral(", at byte %1:").arg(at)))
            << c.what << ": " << run.err.toStdString();
        const QStringList left = bf::test::filesUnder(out);
        EXPECT_TRUE(left.isEmpty()) << c.what << ": " << left.join(' ').toStdString();
    }
    // The sound package splits: the kept sheet's views as they stand, its strings at their
    // positions in a table that empties the one it does not use.
    const bf::test::Outcome run = split(dir.write("sound.xlsx", bookWith(kSheetOne, kStrings)), dir.file("out sound"));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList one = bf::test::filesUnder(dir.file("out sound")).filter("/One_");
    ASSERT_EQ(one.size(), 1) << bf::test::filesUnder(dir.file("out sound")).join(' ').toStdString();
    const auto wb = bf::xlsx::XlsxWorkbook::open(dir.file("out sound/" + one[0]));
    const QByteArray sheet = wb->package().read(wb->worksheets().at(0).part);
    EXPECT_TRUE(sheet.contains(R"(<sheetView tabSelected="0" workbookViewId="0"/><sheetView workbookViewId="1"/>)")
                && sheet.contains(R"(<c r="A1" t="s"><v>1</v></c><c r="B1" t="s"><v>0</v></c>)")) << sheet.constData();
    const QByteArray strings = wb->package().read(QStringLiteral("xl/sharedStrings.xml"));
    EXPECT_TRUE(strings.contains(R"(uniqueCount="3" count="2"><si><t>one</t></si><si><t>two</t></si><si><t/></si></sst>)")) << strings.constData();
}

TEST(XlsxStringTable, ATableInflatingFarBeyondTheFileSplitsAndOnlyABombIsRefusedWithItsFigures)
{
    // 80 MB of strings in a file of about 100 KB: far beyond three times the file.
    QByteArray many = R"(<?xml version="1.0" encoding="UTF-8"?><sst )" + kMainNs + "><si><t>one</t></si><si><t>two</t></si>";
    const QByteArray item = "<si><t>the same text again and again</t></si>";
    many.reserve(80 << 20);
    while (many.size() < (80 << 20))
        many += item;
    many += "</sst>";
    const auto wb = bf::xlsx::XlsxWorkbook::openBytes(bookWith(kSheetOne, many), QStringLiteral("export.xlsx"));
    ASSERT_LT(wb->package().inputSize(), 1 << 20);
    const auto out = bf::xlsx::XlsxWorkbook::openBytes(wb->extract(0), QStringLiteral("out.xlsx"));
    const QByteArray strings = out->package().read(QStringLiteral("xl/sharedStrings.xml"));
    EXPECT_TRUE(strings.contains(R"( count="2"><si><t>one</t></si><si><t>two</t></si><si><t/></si>)")
                && !strings.contains("the same text")) << strings.left(400).constData();

    // A table declaring 300 MB in a small file is a bomb: refused with the figure and the limit.
    try {
        const QByteArray bomb = bookWith(kSheetOne, kStrings, 300u << 20);
        bf::xlsx::XlsxWorkbook::openBytes(bomb, QStringLiteral("bomb.xlsx"))->extract(0);
        ADD_FAILURE() << "the bomb was split";
    } catch (const bf::xlsx::XlsxError& e) {
        EXPECT_EQ(e.status(), bf::xlsx::XlsxStatus::PartTooLarge);
        EXPECT_TRUE(e.detail().contains("part xl/sharedStrings.xml (declares 300.0 MB, the limit is 256.0 MB for a part streamed")
                    && e.detail().contains("Calc backend"))
            << e.detail().toStdString();
    }
}
