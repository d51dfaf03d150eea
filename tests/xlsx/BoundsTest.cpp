// What the Open XML engine bounds and what it keeps to the kept sheet: the link's cache, the
// work that must not grow with the package (counters, not timings), zip entries sharing bytes,
// and, byte by byte, nothing of another sheet in a copy that reads none. Packages are built here
// as zip bytes, so that they say exactly what each case needs.
#include "support/TestPaths.h"
#include "xlsx/Package.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/Worksheet.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <zlib.h>

#include <gtest/gtest.h>

using namespace bf::xlsx;

namespace {

void put(QByteArray& out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

struct Entry {
    QByteArray name;
    QByteArray data;
    int sameBytesAs = -1; // the central directory points this entry at another's local header
    int inside = -1;      // this entry's header and data are written inside another's data
};

// A zip of stored entries, written by hand so that entries can share bytes.
QByteArray storedZip(const std::vector<Entry>& entries)
{
    QByteArray out, directory;
    std::vector<quint32> offsets;
    auto local = [](const Entry& e) {
        QByteArray h;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
        put(h, 0x04034b50, 4), put(h, 20, 2), put(h, 0, 2), put(h, 0, 2), put(h, 0, 4), put(h, crc, 4);
        put(h, quint32(e.data.size()), 4), put(h, quint32(e.data.size()), 4), put(h, quint32(e.name.size()), 2);
        put(h, 0, 2);
        return h + e.name + e.data;
    };
    for (const Entry& e : entries) {
        quint32 offset = quint32(out.size());
        if (e.sameBytesAs >= 0)
            offset = offsets[std::size_t(e.sameBytesAs)];
        else if (e.inside >= 0)
            offset = offsets[std::size_t(e.inside)] + 30 + quint32(entries[std::size_t(e.inside)].name.size());
        else
            out.append(local(e));
        offsets.push_back(offset);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const QByteArray h = local(e);
        put(directory, 0x02014b50, 4), put(directory, 20, 2);
        directory.append(h.mid(4, 26));
        put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4);
        put(directory, offsets[i], 4);
        directory.append(e.name);
    }
    const quint32 start = quint32(out.size());
    out.append(directory);
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, quint32(entries.size()), 2), put(out, quint32(entries.size()), 2);
    put(out, quint32(directory.size()), 4), put(out, start, 4), put(out, 0, 2);
    return out;
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
                    std::vector<Entry> extra = {}, std::vector<std::pair<QByteArray, QByteArray>> extraRels = {})
{
    std::vector<Entry> parts;
    parts.push_back({"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
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
    return storedZip(parts);
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
    const QByteArray inner = storedZip({{"b.xml", "x"}}).left(30 + 5 + 1);
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        bool refused;
    };
    const std::vector<Case> cases{
        {"entries side by side", {{"a.xml", part}, {"b.xml", part}}, false},
        {"two names for one entry's bytes", {{"a.xml", part}, {"b.xml", part, 0}}, true},
        {"an entry inside another's data", {{"a.xml", inner + QByteArray(400, ' ')}, {"b.xml", "x", -1, 0}}, true},
    };
    for (const Case& c : cases) {
        try {
            Package pkg(storedZip(c.entries), QStringLiteral("p.xlsx"));
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
    std::vector<Entry> media;
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
        std::vector<Entry> tables;
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
    "</definedNames>";

QByteArray privacyWorkbook(const QByteArray& keptExtra)
{
    const QByteArray strings = "<?xml version=\"1.0\"?><sst xmlns=\"" + kNs
        + "\" count=\"2\" uniqueCount=\"2\"><si><t>KeptText</t></si><si><t>SecretText</t></si></sst>";
    return workbook({{"Kept", "<row r=\"1\"><c r=\"A1\"><f>UsedName+chaina</f><v>48</v></c><c r=\"B1\" t=\"s\"><v>0</v></c>"
                                  + keptExtra + "</row>", {}},
                     {"Other", "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>1</v></c><c r=\"C3\"><v>77</v></c></row>", {}}},
                    kNames,
                    {{"xl/sharedStrings.xml", strings}, {"customXml/item1.xml", "<root>SecretCustom</root>"}},
                    {{"sharedStrings", "sharedStrings.xml"}, {"customXml", "../customXml/item1.xml"}});
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
    };
    const std::vector<QByteArray> secrets{"SecretText", "SecretName", "SecretConst", "secretvalue",
                                          "SecretLocal", "SecretCustom", "customXml"};
    auto with = [](std::vector<QByteArray> a, std::initializer_list<QByteArray> more) {
        a.insert(a.end(), more);
        return a;
    };
    const std::vector<QByteArray> kept{"KeptText", "KeptOnly", "UsedName", "ChainA", "ChainB", "_xlnm.Print_Area"};
    const std::vector<Case> cases{
        {"reads no other sheet", privacyWorkbook({}), {}, QStringLiteral("Kept"),
         with(secrets, {"Other", "secret/place", "externalLink"}), kept},
        {"reads one cell of another", privacyWorkbook("<c r=\"C1\"><f>Other!C3</f><v>0</v></c>"), {},
         QStringLiteral("Kept"), secrets, with(kept, {"[1]Other!C3", "secret/place", "<v>77</v>"})},
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
        const QByteArray out = allParts(wb->extract(indexOf(*wb, c.sheet), QStringLiteral("/secret/place/book.xlsx")));
        for (const QByteArray& a : c.absent)
            EXPECT_FALSE(out.contains(a)) << c.what << ": " << a.constData();
        for (const QByteArray& p : c.present)
            EXPECT_TRUE(out.contains(p)) << c.what << ": " << p.constData();
    }
}
