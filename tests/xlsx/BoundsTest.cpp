// What the Open XML engine bounds and what it keeps to the kept sheet: the link's cache, the
// work that must not grow with the package (counters, not timings), zip entries sharing bytes,
// and, byte by byte, nothing of another sheet in a copy that reads none. Packages are built here
// as zip bytes, so that they say exactly what each case needs.
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "xlsx/PackageBuilder.h"
#include "xlsx/Package.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Worksheet.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

using namespace bf::xlsx;

namespace {

using bf::test::xlsx::Part;

// The zip with the central directory's entry `entry` pointing at `offset` for its local header.
QByteArray pointedAt(QByteArray zip, int entry, quint32 offset)
{
    qsizetype at = zip.indexOf("PK\x01\x02");
    for (int i = 0; i < entry; ++i)
        at = zip.indexOf("PK\x01\x02", at + 4);
    for (int i = 0; i < 4; ++i)
        zip[at + 42 + i] = char((offset >> (8 * i)) & 0xFF);
    return zip;
}

const QByteArray kNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QByteArray kPkgRel = "http://schemas.openxmlformats.org/package/2006/relationships";

struct Sheet {
    QByteArray name;
    QByteArray data;                                    // the sheetData element's content
    std::vector<std::pair<QByteArray, QByteArray>> rels; // kind, target
};

QByteArray relsOf(const std::vector<std::pair<QByteArray, QByteArray>>& rels)
{
    QByteArray x = "<?xml version=\"1.0\"?><Relationships xmlns=\"" + kPkgRel + "\">";
    for (std::size_t i = 0; i < rels.size(); ++i)
        x += "<Relationship Id=\"rId" + QByteArray::number(qulonglong(i + 1)) + "\" Type=\"" + kRel + "/"
            + rels[i].first + "\" Target=\"" + rels[i].second + "\"/>";
    return x + "</Relationships>";
}

// A workbook of these sheets; extra: more parts, their workbook relationships (kind, target).
QByteArray workbook(const std::vector<Sheet>& sheets, const QByteArray& definedNames = {},
                    std::vector<Part> extra = {}, std::vector<std::pair<QByteArray, QByteArray>> extraRels = {})
{
    std::vector<Part> parts;
    parts.push_back({"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                     "<Override PartName=\"/xl/tables/table1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml\"/>"
                     "<Override PartName=\"/xl/pivotCache/pivotCacheDefinition1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.pivotCacheDefinition+xml\"/>"
                     "</Types>"});
    parts.push_back({"_rels/.rels", relsOf({{"officeDocument", "xl/workbook.xml"}})});
    QByteArray list;
    std::vector<std::pair<QByteArray, QByteArray>> rels;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const QByteArray n = QByteArray::number(qulonglong(i + 1));
        list += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels.push_back({"worksheet", "worksheets/sheet" + n + ".xml"});
        parts.push_back({"xl/worksheets/sheet" + n + ".xml",
                         "<?xml version=\"1.0\"?><worksheet xmlns=\"" + kNs + "\" xmlns:r=\"" + kRel + "\"><sheetData>"
                             + sheets[i].data + "</sheetData></worksheet>"});
        if (!sheets[i].rels.empty())
            parts.push_back({"xl/worksheets/_rels/sheet" + n + ".xml.rels", relsOf(sheets[i].rels)});
    }
    rels.insert(rels.end(), extraRels.begin(), extraRels.end());
    parts.push_back({"xl/workbook.xml", "<?xml version=\"1.0\"?><workbook xmlns=\"" + kNs + "\" xmlns:r=\"" + kRel
                                            + "\"><sheets>" + list + "</sheets>" + definedNames + "</workbook>"});
    parts.push_back({"xl/_rels/workbook.xml.rels", relsOf(rels)});
    parts.insert(parts.end(), extra.begin(), extra.end());
    return bf::test::xlsx::zipOf(parts);
}

// Every part of a package, inflated and run together.
QByteArray allParts(const QByteArray& zip)
{
    const Package pkg(zip, QStringLiteral("output"));
    QByteArray all;
    for (const PartEntry& e : pkg.entries())
        all += e.name.toUtf8() + '\n' + pkg.read(e) + '\n';
    return all;
}

int indexOf(const XlsxWorkbook& wb, const QString& name)
{
    for (const SheetInfo& s : wb.sheets())
        if (s.name == name)
            return s.index;
    return -1;
}

ChunkSource whole(const QByteArray& xml)
{
    auto left = std::make_shared<QByteArray>(xml);
    return [left](QByteArray& chunk) { chunk = std::exchange(*left, QByteArray()); };
}

} // namespace

TEST(XlsxBounds, EntriesSharingBytesAreRefused)
{
    const QByteArray part = "<?xml version=\"1.0\"?><a>some bytes that two names would share</a>";
    // b.xml's header and data, written again inside a.xml's data
    const QByteArray inner = bf::test::xlsx::zipOf({{"b.xml", "x", 0, true}}).left(30 + 5 + 1);
    const QByteArray sideBySide = bf::test::xlsx::zipOf({{"a.xml", part, 0, true}, {"b.xml", part, 0, true}});
    struct Case {
        const char* what;
        QByteArray zip;
        bool refused;
    };
    const std::vector<Case> cases{
        {"entries side by side", sideBySide, false},
        {"two names for one entry's bytes", pointedAt(sideBySide, 1, 0), true},
        {"an entry inside another's data",
         pointedAt(bf::test::xlsx::zipOf({{"a.xml", inner + QByteArray(400, ' '), 0, true}, {"b.xml", "x", 0, true}}),
                   1, 30 + 5),
         true},
    };
    for (const Case& c : cases) {
        try {
            Package pkg(c.zip, QStringLiteral("p.xlsx"));
            EXPECT_FALSE(c.refused) << c.what;
        } catch (const XlsxError& e) {
            EXPECT_TRUE(c.refused) << c.what << ": " << e.what();
            EXPECT_EQ(e.status(), XlsxStatus::OverlappingEntries) << c.what;
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("a.xml and b.xml"))) << e.what();
        }
    }
}

// The link caches only cells holding a value, within one budget for the whole copy, and says
// when it ran out.
TEST(XlsxBounds, LinkCacheLimits)
{
    const QByteArray rows = "<row r=\"1\"><c r=\"A1\" t=\"str\"><f>\"\"</f><v></v></c><c r=\"B1\" s=\"1\"/>"
                            "<c r=\"C1\"><v>3</v></c></row>"
                            "<row><c><v>4</v></c><c t=\"inlineStr\"><is><t>abcdef</t></is></c></row>"
                            "<row><c><v>5</v></c><c t=\"inlineStr\"><is><t/></is></c></row>"
                            "<row><c><v>6</v></c></row><row><c><v>7</v></c></row>";
    const QByteArray sheet = "<worksheet xmlns=\"" + kNs + "\"><sheetData>" + rows + "</sheetData></worksheet>";
    struct Case {
        const char* what;
        LinkBudget budget;
        std::size_t cells;
        bool partial;
        std::size_t cellsLeft;
    };
    const std::vector<Case> cases{
        {"empty cells are not cached", {100, 100}, 6, false, 94},
        {"the cell budget cuts the cache", {3, 100}, 3, true, 0},
        {"the text budget cuts the cache", {100, 3}, 2, true, 98},
        {"a spent budget caches nothing", {0, 100}, 0, true, 0},
    };
    const SharedStrings strings;
    for (const Case& c : cases) {
        LinkBudget budget = c.budget;
        bool partial = false;
        const auto cells = readCachedCells(whole(sheet), {*parseArea("A:C")}, strings, QStringLiteral("s"), budget, partial);
        EXPECT_EQ(cells.size(), c.cells) << c.what;
        EXPECT_EQ(partial, c.partial) << c.what;
        EXPECT_EQ(budget.cells, c.cellsLeft) << c.what;
    }
}

// Two sheets full down one column and a sheet reading both whole columns: one copy caches no
// more than its budget, and marks the sheets whose cache was cut.
TEST(XlsxBounds, OneCopyCachesAMillionCellsAtMost)
{
    QByteArray full;
    for (int i = 0; i < 520'000; ++i)
        full += "<row><c><v>1</v></c></row>";
    const QByteArray zip = workbook({{"Sum", "<row r=\"1\"><c r=\"A1\"><f>SUM(D1!A:A)+SUM(D2!A:A)</f><v>0</v></c></row>", {}},
                                     {"D1", full, {}}, {"D2", full, {}}});
    const auto wb = XlsxWorkbook::openBytes(zip, QStringLiteral("columns.xlsx"));
    const QByteArray out = allParts(wb->extract(0));
    EXPECT_EQ(out.count("<cell "), 1'000'000);
    EXPECT_EQ(out.count("refreshError=\"1\""), 1); // the second sheet's cache is cut
}

TEST(XlsxBounds, RenamingTriesEachNameOnce)
{
    constexpr int kParts = 3000;
    Sheet kept{"Kept", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", {}};
    std::vector<Part> media;
    for (int i = 1; i <= kParts; ++i) {
        kept.rels.push_back({"image", "../media/image" + QByteArray::number(i) + ".png"});
        media.push_back({"xl/media/image" + QByteArray::number(i) + ".png", "png"});
    }
    const auto wb = XlsxWorkbook::openBytes(workbook({kept}, {}, media), QStringLiteral("pictures.xlsx"));
    const QByteArray out = wb->extract(0);
    EXPECT_LE(wb->counters().nameTries, std::uint64_t(kParts + 10));
    EXPECT_TRUE(allParts(out).contains("xl/media/image3000.png"));
}

// What the whole workbook shares (other sheets' tables and relationships, the workbook part) is
// read once per opened workbook: a copy's reads do not grow with the sheet count.
TEST(XlsxBounds, PartsReadPerCopyDoNotGrowWithSheets)
{
    for (const int count : {10, 80}) {
        std::vector<Sheet> sheets;
        std::vector<Part> tables;
        for (int i = 1; i <= count; ++i) {
            const QByteArray n = QByteArray::number(i), next = QByteArray::number(i % count + 1);
            sheets.push_back({"S" + n, "<row r=\"1\"><c r=\"A1\"><f>SUM(T" + next + "[v])</f><v>0</v></c></row>",
                              {{"table", "../tables/table" + n + ".xml"}}});
            tables.push_back({"xl/tables/table" + n + ".xml",
                              "<table xmlns=\"" + kNs + "\" id=\"" + n + "\" name=\"T" + n + "\" displayName=\"T" + n
                                  + "\" ref=\"A1:A3\"><tableColumns count=\"1\"><tableColumn id=\"1\" name=\"v\"/></tableColumns></table>"});
        }
        const auto wb = XlsxWorkbook::openBytes(workbook(sheets, {}, tables), QStringLiteral("tables.xlsx"));
        wb->extract(0); // the first copy reads what every copy shares
        const std::uint64_t before = wb->package().partsRead();
        for (int i = 1; i < count; ++i)
            wb->extract(i);
        const double perCopy = double(wb->package().partsRead() - before) / (count - 1);
        EXPECT_LE(perCopy, 8.0) << count << " sheets";
    }
}

namespace {

const QByteArray kNames =
    "<definedNames>"
    "<definedName name=\"SecretName\">Other!$C$3</definedName>"
    "<definedName name=\"SecretConst\">\"secretvalue\"</definedName>"
    "<definedName name=\"SecretLocal\" localSheetId=\"1\">Other!$A$1</definedName>"
    "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">Other!$A$1:$B$2</definedName>"
    "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">Kept!$A$1:$C$1</definedName>"
    "<definedName name=\"KeptOnly\">Kept!$A$1</definedName>"
    "<definedName name=\"UsedName\">6*7</definedName>"
    "<definedName name=\"ChainA\">ChainB+1</definedName>"
    "<definedName name=\"ChainB\">5</definedName>"
    "<definedName name=\"PivotRange\">42</definedName>"
    "</definedNames>";

// The kept sheet has a table whose calculated column computes tableFormula, and a pivot table
// whose cache reads the name PivotRange.
QByteArray privacyWorkbook(const QByteArray& keptExtra, const QByteArray& tableFormula = "Kept!A1*2")
{
    const QByteArray strings = "<?xml version=\"1.0\"?><sst xmlns=\"" + kNs
        + "\" count=\"3\" uniqueCount=\"3\"><si><t>KeptText</t></si><si><t>SecretText</t></si>"
          "<si><r><t>Rich</t></r><r><t><![CDATA[ & ]]>Cached</t></r><rPh><t>Reading</t></rPh></si></sst>";
    const QByteArray table = "<?xml version=\"1.0\"?><table xmlns=\"" + kNs + "\" id=\"1\" name=\"T\" displayName=\"T\" ref=\"A1:B1\">"
        "<tableColumns count=\"1\"><tableColumn id=\"1\" name=\"C\"><calculatedColumnFormula>" + tableFormula
        + "</calculatedColumnFormula></tableColumn></tableColumns></table>";
    return workbook({{"Kept", "<row r=\"1\"><c r=\"A1\"><f>UsedName+chaina</f><v>48</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
                                  + keptExtra + "</row>", {{"table", "../tables/table1.xml"}, {"pivotTable", "../pivotTables/pivotTable1.xml"}}},
                     {"Other", "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>1</v></c><c r=\"D2\" t=\"s\"><v>2</v></c><c r=\"C3\"><v>77</v></c></row>", {}}},
                    kNames + "<calcPr calcId=\"191029\"/><pivotCaches><pivotCache cacheId=\"1\" r:id=\"rId5\"/></pivotCaches>",
                    {{"xl/sharedStrings.xml", strings}, {"customXml/item1.xml", "<root>SecretCustom</root>"},
                     {"xl/tables/table1.xml", table},
                     {"xl/pivotTables/pivotTable1.xml", "<pivotTableDefinition xmlns=\"" + kNs + "\" name=\"P\" cacheId=\"1\"/>"},
                     {"xl/pivotTables/_rels/pivotTable1.xml.rels", relsOf({{"pivotCacheDefinition", "../pivotCache/pivotCacheDefinition1.xml"}})},
                     {"xl/pivotCache/pivotCacheDefinition1.xml", "<pivotCacheDefinition xmlns=\"" + kNs
                         + "\"><cacheSource type=\"worksheet\"><worksheetSource name=\"PivotRange\"/></cacheSource></pivotCacheDefinition>"}},
                    {{"sharedStrings", "sharedStrings.xml"}, {"customXml", "../customXml/item1.xml"},
                     {"pivotCacheDefinition", "pivotCache/pivotCacheDefinition1.xml"}});
}

} // namespace

// Every part of a copy, inflated: nothing of a sheet the copy does not read, no name nothing
// kept uses, no source path when nothing reads another sheet.
TEST(XlsxPrivacy, NothingOfOtherSheetsReachesACopy)
{
    struct Case {
        const char* what;
        QByteArray package; // empty: a corpus file
        QString file;
        QString sheet;
        std::vector<QByteArray> absent, present;
        bool values = false; // formulas reading other sheets replaced by their values
    };
    const std::vector<QByteArray> secrets{"SecretText", "SecretName", "SecretConst", "secretvalue",
                                          "SecretLocal", "SecretCustom", "customXml"};
    auto with = [](std::vector<QByteArray> a, std::initializer_list<QByteArray> more) {
        a.insert(a.end(), more);
        return a;
    };
    const std::vector<QByteArray> kept{"KeptText", "KeptOnly", "UsedName", "ChainA", "ChainB", "_xlnm.Print_Area",
                                      "\"PivotRange\">42</definedName>"};
    const std::vector<Case> cases{
        {"reads no other sheet", privacyWorkbook({}), {}, QStringLiteral("Kept"),
         with(secrets, {"Other", "secret/place", "externalLink"}), kept},
        // The link's block comes once, before the names.
        {"reads one cell of another", privacyWorkbook("<c r=\"C1\"><f>Other!C3</f><v>0</v></c>"), {},
         QStringLiteral("Kept"), with(secrets, {"</definedNames><externalReferences>"}),
         with(kept, {"[1]Other!C3", "secret/place", "<v>77</v>"})},
        // The link caches the text the reader shows: runs and character data, not the reading aid.
        {"reads a rich text of another", privacyWorkbook("<c r=\"C1\"><f>Other!D2</f><v>0</v></c>"), {},
         QStringLiteral("Kept"), with(secrets, {"Reading"}), with(kept, {"<v>Rich &amp; Cached</v>"})},
        {"reads another through a name, split to values", privacyWorkbook("<c r=\"C1\"><f>SecretName*2</f><v>154</v></c>"), {},
         QStringLiteral("Kept"), {"SecretName*2", "externalLink", "Other!"}, with(kept, {"<c r=\"C1\"><v>154</v>"}), true},
        {"reads another through its table", privacyWorkbook({}, "Other!C3+1"), {}, QStringLiteral("Kept"), secrets,
         with(kept, {"[1]Other!C3+1", "secret/place"})},
        {"corpus: names of three sheets", {}, QStringLiteral("xlsx/xlsxwriter--defined_name01.xlsx"),
         QStringLiteral("Sheet2"), {"Sheet1", "Sheet 3", "_Egg", "_Fog", "Abc", "Baz", "0.98", "externalLink"},
         {"aaa", "Bar"}},
        {"corpus: named ranges", {}, QStringLiteral("xlsx/sheetjs--named_ranges_2011.xlsx"),
         QStringLiteral("Named Ranges"), {"Cross-Sheet", "externalLink"}, {"col1_", "row6_"}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<XlsxWorkbook> wb = c.package.isEmpty()
            ? XlsxWorkbook::open(bf::test::corpusFile(c.file))
            : XlsxWorkbook::openBytes(c.package, QStringLiteral("book.xlsx"));
        const QByteArray out = allParts(wb->extract(indexOf(*wb, c.sheet), QStringLiteral("/secret/place/book.xlsx"), c.values));
        for (const QByteArray& a : c.absent)
            EXPECT_FALSE(out.contains(a)) << c.what << ": " << a.constData();
        for (const QByteArray& p : c.present)
            EXPECT_TRUE(out.contains(p)) << c.what << ": " << p.constData();
    }
}

// A workbook file read in pieces: one that shrinks, grows or is written in place after it was
// listed is refused when its parts are copied, not copied on in part.
TEST(XlsxBounds, AFileChangingWhileReadIsRefused)
{
    for (const qint64 change : {-100, 100, 0}) {
        bf::test::TempDir dir;
        const QString path = dir.write(QStringLiteral("book.xlsx"), privacyWorkbook({}));
        const auto wb = XlsxWorkbook::open(path);
        QFile file(path);
        ASSERT_TRUE(file.resize(file.size() + change));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        try {
            wb->extract(0);
            ADD_FAILURE() << "copied from a file that changed by " << change;
        } catch (const XlsxError& e) {
            EXPECT_EQ(e.status(), XlsxStatus::DamagedZip);
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("changed while it was read"))) << e.what();
        }
    }
}

// A kept sheet reading no other sheet leaves with its compressed bytes as they stand, beside a
// string table keeping every position, its own strings there and the other sheet's emptied.
TEST(XlsxPrivacy, AnUnchangedSheetKeepsItsCompressedBytesAndOnlyItsOwnStrings)
{
    const auto wb = XlsxWorkbook::openBytes(privacyWorkbook({}), QStringLiteral("book.xlsx"));
    const auto out = XlsxWorkbook::openBytes(wb->extract(0), QStringLiteral("out.xlsx"));
    const PartEntry* source = wb->package().find(wb->sheets().at(0).part);
    const PartEntry* copy = out->package().find(out->sheets().at(0).part);
    ASSERT_TRUE(source && copy);
    EXPECT_EQ(out->package().readCompressed(*copy), wb->package().readCompressed(*source));
    EXPECT_EQ(copy->crc, source->crc);
    const QByteArray strings = out->package().read(QStringLiteral("xl/sharedStrings.xml"));
    EXPECT_TRUE(strings.endsWith(R"(uniqueCount="3" count="1"><si><t>KeptText</t></si><si><t/></si><si><t/></si></sst>)"))
        << strings.constData();
}
