// What the Open XML engine refuses, and why: the bad files of the corpus (through the native
// backend, as the program opens them) and small hostile packages built here. Each is refused
// with its own reason and nothing is returned.
#include "automation/ApplicationFactory.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TestPaths.h"
#include "xlsx/PackageBuilder.h"
#include "xlsx/Package.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"
#include "xlsx/XmlReader.h"

#include <QFile>

#include <array>

#include <gtest/gtest.h>

using namespace bf::xlsx;
using namespace bf::test::xlsx;

namespace {

// Opens, then extracts the first worksheet; the status of the refusal, or nullopt.
std::optional<XlsxStatus> refusal(const std::function<std::unique_ptr<XlsxWorkbook>()>& open)
{
    try {
        const auto wb = open();
        const QByteArray out = wb->extract(wb->worksheets().at(0).index, QStringLiteral("/tmp/source.xlsx"));
        EXPECT_FALSE(out.isEmpty());
        return std::nullopt;
    } catch (const XlsxError& e) {
        EXPECT_FALSE(e.detail().isEmpty());
        return e.status();
    }
}

// A package whose part `name` (by default a first sheet that reads no other sheet, so it is
// streamed to its end, then copied with its compressed bytes) has its directory entry or
// deflated data altered.
QByteArray alteredSheet(const std::function<void(char* entry, char* data)>& alter,
                        QByteArray zip = packageWith("xl/worksheets/sheet1.xml", kSheet2),
                        const QByteArray& name = "xl/worksheets/sheet1.xml")
{
    alter(zip.data() + zip.lastIndexOf(name) - 46, zip.data() + zip.indexOf(name) + name.size());
    return zip;
}

QByteArray corpusBytes(const QString& name)
{
    QFile file(bf::test::corpusFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void flipCrc(char* entry, char*)
{
    entry[16] ^= 1;
}

} // namespace

TEST(XlsxRefusal, BadCorpusFilesAreRefusedByTheProgramWithTheFileAndTheReason)
{
    bf::test::FakeSeams seams;
    auto app = bf::automation::Backends().create(QString(), seams);
    const std::vector<std::pair<const char*, XlsxStatus>> cases{
        {"calamine--strict_iso_paths.xlsx", XlsxStatus::StrictConformance},
        {"poi--sampless.strict.xlsx", XlsxStatus::StrictConformance},
        {"corrupt-no-workbook-part-sheetjs--freeze.xlsx", XlsxStatus::NoWorkbookPart},
        {"openpyxl--null_archive.xlsx", XlsxStatus::NoWorkbookPart},
        {"corrupt-truncated-half-poi--withthreecharts.xlsx", XlsxStatus::DamagedZip},
        {"poi--xlsx-corrupted.xlsx", XlsxStatus::MalformedXml},
    };
    for (const auto& [file, status] : cases) {
        const QString path = bf::test::corpusFile(QStringLiteral("xlsx/") + QLatin1String(file));
        try {
            app->workbooks().Open(path);
            ADD_FAILURE() << file << " opened";
        } catch (const bf::Error& e) {
            EXPECT_EQ(e.number(), status == XlsxStatus::FileNotFound ? bf::err::FileNotFound : bf::err::SpreadsheetFailure) << file;
            EXPECT_TRUE(e.description().contains(statusText(status)) && e.description().contains(path))
                << file << ": " << e.description().toStdString();
        }
    }
    EXPECT_EQ(app->workbooks().Count(), 0);
}

TEST(XlsxRefusal, HostilePackagesAreRefusedWithinBounds)
{
    const std::vector<std::tuple<const char*, QByteArray, std::optional<XlsxStatus>>> cases{
        {"sound package", packageWith("xl/styles.xml", "<styleSheet/>"), std::nullopt},
        {"climbing above the root to a part at the top", // some writers do
         packageWith("_rels/.rels", QByteArray(kRootRels).replace("\"xl/", "\"../xl/")), std::nullopt},
        {"two parts of one name", packageWith("XL/Workbook.xml", kWorkbook), XlsxStatus::DuplicatePartName},
        {"target outside the package",
         packageWith("xl/_rels/workbook.xml.rels", QByteArray(kWorkbookRels).replace("worksheets/sheet2.xml", "../../../etc/passwd")),
         XlsxStatus::RelationshipOutside},
        {"entities in the workbook part", packageWith("xl/workbook.xml", kLaughs + kWorkbook.mid(21)), XlsxStatus::EntityDeclaration},
        {"entities in the sheet part", packageWith("xl/worksheets/sheet1.xml", kLaughs + kSheet.mid(21)), XlsxStatus::EntityDeclaration},
        {"sheet declared as 3 GB", packageWith("xl/worksheets/sheet1.xml", kSheet, 3'000'000'000u), XlsxStatus::PartTooLarge},
        {"workbook part declared as 1 GB", packageWith("xl/workbook.xml", kWorkbook, 1'000'000'000u), XlsxStatus::PartTooLarge},
        {"sheet inflating past its declared size", packageWith("xl/worksheets/sheet1.xml", kSheet, 40), XlsxStatus::DamagedZip},
        {"sheet inflating short of its declared size", alteredSheet([](char* entry, char*) { ++entry[24]; }), XlsxStatus::DamagedZip},
        {"sheet whose CRC differs", alteredSheet(flipCrc), XlsxStatus::DamagedZip},
        // Parts copied with their compressed bytes, never read otherwise, are inflated once first.
        {"copied theme whose CRC differs", alteredSheet(flipCrc, corpusBytes("xlsx/xlsxwriter--outline01.xlsx"), "xl/theme/theme1.xml"),
         XlsxStatus::DamagedZip},
        {"sole sheet whose CRC differs",
         alteredSheet(flipCrc, packageWith("xl/workbook.xml", QByteArray(kWorkbook).replace(R"(<sheet name="Two" sheetId="2" r:id="rId2"/>)", ""))),
         XlsxStatus::DamagedZip},
        {"sheet whose deflated data is cut short", alteredSheet([](char* entry, char*) { entry[20] -= 4; }), XlsxStatus::DamagedZip},
        {"sheet whose deflated data is damaged", alteredSheet([](char*, char* data) { data[0] = 0x07; }), XlsxStatus::DamagedZip},
        {"sheet part missing", packageWith("xl/_rels/workbook.xml.rels", QByteArray(kWorkbookRels).replace("sheet1.xml", "sheet9.xml")), XlsxStatus::MissingPart},
        {"unfinished sheet", packageWith("xl/worksheets/sheet1.xml", kSheet.left(kSheet.size() - 20)), XlsxStatus::MalformedXml},
        {"a formula of 17 MB", packageWith("xl/worksheets/sheet1.xml", QByteArray(kSheet).replace("Two!B2*2", QByteArray(17 << 20, ' ') + "1")),
         XlsxStatus::PartTooLarge},
        {"an extension's rule of 17 MB", packageWith("xl/worksheets/sheet1.xml", QByteArray(kSheet).replace("</worksheet>",
             "<extLst><ext><x14:dataValidation>" + QByteArray(17 << 20, ' ') + "<x/></x14:dataValidation></ext></extLst></worksheet>")),
         XlsxStatus::PartTooLarge},
        {"a package relationship to a part not there",
         packageWith("_rels/.rels", QByteArray(kRootRels).replace("</Relationships>", R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/></Relationships>)")),
         std::nullopt},
        {"no package relationships", packageWith("_rels/.rels", "<Relationships/>"), XlsxStatus::NoWorkbookPart},
    };
    for (const auto& [what, bytes, status] : cases)
        EXPECT_EQ(refusal([&] { return XlsxWorkbook::openBytes(bytes, QStringLiteral("hostile.xlsx")); }), status) << what;
}

TEST(XlsxExtract, ReferenceToAnotherSheetBecomesACachedExternalReference)
{
    // The other sheet's rows out of order and a cell whose position is implicit, attributes
    // spelled with spaces and either quote: the link caches
    // exactly the cells the formula names, filled one row down (C1 and C2), and those of rules
    // over two rows (D1 and D2; F1 and F2 from an extension's rule, whose ranges come last), not E1.
    const QByteArray one = QByteArray(kSheet)
        .replace("<f>Two!B2*2", R"(<f t = "shared" ref= 'A1:A2' si ="0">Two!B2*2+SUM(Two!A5:B6)+Two!C1)")
        .replace("</sheetData>", R"(</sheetData><conditionalFormatting sqref = "A1 A2"><cfRule type="expression" priority="1"><formula>Two!D1&gt;0</formula></cfRule></conditionalFormatting>)"
                                 R"(<extLst><ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}" xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">)"
                                 R"(<x14:dataValidations count="1" xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main"><x14:dataValidation type="list">)"
                                 R"(<x14:formula1><xm:f>Two!F1</xm:f></x14:formula1><xm:sqref>B1:B2</xm:sqref></x14:dataValidation></x14:dataValidations></ext></extLst>)");
    const QByteArray two = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row r="5"><c r="A5"><v>5</v></c><c><v>55</v></c></row><row r="2"><c r="B2"><v>3</v></c><c r="C2"><v>99</v></c><c r="D2"><v>96</v></c><c r="F2"><v>94</v></c></row>)"
        R"(<row r="6"><c r="B6"><v>7</v></c></row><row r="1"><c r="C1"><v>1</v></c><c r="D1"><v>98</v></c><c r="E1"><v>97</v></c><c r="F1"><v>95</v></c></row></sheetData></worksheet>)";
    const auto wb = XlsxWorkbook::openBytes(zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                                                   {"xl/workbook.xml", kWorkbook}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                   {"xl/worksheets/sheet1.xml", one}, {"xl/worksheets/sheet2.xml", two}}),
                                            QStringLiteral("book.xlsx"));
    const auto again = XlsxWorkbook::openBytes(wb->extract(0, QStringLiteral("/data/book.xlsx")), QStringLiteral("out.xlsx"));
    ASSERT_EQ(again->worksheets().size(), 1u);
    EXPECT_EQ(again->worksheets()[0].name, QStringLiteral("One"));
    const QByteArray sheet = again->package().read(again->worksheets()[0].part);
    EXPECT_TRUE(sheet.contains(R"(si ="0">[1]Two!B2*2+SUM([1]Two!A5:B6)+[1]Two!C1</f>)") && sheet.contains("<xm:f>[1]Two!F1</xm:f>"))
        << sheet.constData();
    const QByteArray link = again->package().read(QStringLiteral("xl/externalLinks/externalLink1.xml"));
    EXPECT_TRUE(link.contains(R"(<sheetName val="Two"/>)")) << link.constData();
    for (const char* cell : {"B2\"><v>3<", "A5\"><v>5<", "B5\"><v>55<", "B6\"><v>7<", "C1\"><v>1<", "C2\"><v>99<", "D1\"><v>98<", "D2\"><v>96<", "F1\"><v>95<", "F2\"><v>94<"})
        EXPECT_TRUE(link.contains(QByteArray("<cell r=\"") + cell)) << cell << link.constData();
    EXPECT_FALSE(link.contains("97")) << link.constData();
}

TEST(XlsxExtract, TheKeptSheetsSlicersTakeTheirCachesAndNoOthers)
{
    // Each sheet has a slicer; each slicer's cache is a workbook part listed in an extension.
    const QByteArray rel = R"(<Relationship Id="%1" Type="http://schemas.microsoft.com/office/2007/relationships/%2" Target="%3"/>)";
    auto entries = [&](std::initializer_list<std::array<const char*, 3>> list) {
        QByteArray out;
        for (const auto& [id, kind, target] : list)
            out += QString::fromUtf8(rel).arg(QString::fromLatin1(id), QString::fromLatin1(kind), QString::fromLatin1(target)).toUtf8();
        return out;
    };
    auto rels = [&](std::initializer_list<std::array<const char*, 3>> list) {
        return R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + entries(list) + "</Relationships>";
    };
    const QByteArray ns = R"(xmlns="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main")";
    const QByteArray workbook = QByteArray(kWorkbook).replace("</sheets>", R"(</sheets><extLst><ext uri="{BBE1A952-AA13-448e-AADC-164F8A28A991}" xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main"><x14:slicerCaches><x14:slicerCache r:id="rId3"/><x14:slicerCache r:id="rId4"/></x14:slicerCaches></ext></extLst>)");
    const QByteArray workbookRels = QByteArray(kWorkbookRels).replace("</Relationships>", entries({{"rId3", "slicerCache", "slicerCaches/slicerCache1.xml"}, {"rId4", "slicerCache", "slicerCaches/slicerCache2.xml"}}) + "</Relationships>");
    const auto wb = XlsxWorkbook::openBytes(zipOf({{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
        {"xl/workbook.xml", workbook}, {"xl/_rels/workbook.xml.rels", workbookRels},
        {"xl/worksheets/sheet1.xml", kSheet}, {"xl/worksheets/sheet2.xml", kSheet2},
        {"xl/worksheets/_rels/sheet1.xml.rels", rels({{"rId1", "slicer", "../slicers/slicer1.xml"}})},
        {"xl/worksheets/_rels/sheet2.xml.rels", rels({{"rId1", "slicer", "../slicers/slicer2.xml"}})},
        {"xl/slicers/slicer1.xml", "<slicers " + ns + R"(><slicer name="A" cache="Slicer_A"/></slicers>)"},
        {"xl/slicers/slicer2.xml", "<slicers " + ns + R"(><slicer name="B" cache="Slicer_B"/></slicers>)"},
        {"xl/slicerCaches/slicerCache1.xml", "<slicerCacheDefinition " + ns + R"( name="Slicer_A"/>)"},
        {"xl/slicerCaches/slicerCache2.xml", "<slicerCacheDefinition " + ns + R"( name="Slicer_B"/>)"}}),
        QStringLiteral("book.xlsx"));
    const auto out = XlsxWorkbook::openBytes(wb->extract(0, QStringLiteral("/data/book.xlsx")), QStringLiteral("out.xlsx"));
    const QByteArray book = out->package().read(out->workbookPart());
    EXPECT_TRUE(book.contains(R"(<x14:slicerCache r:id="rId3"/>)") && !book.contains("rId4")) << book.constData();
    EXPECT_TRUE(out->package().find(QStringLiteral("xl/slicerCaches/slicerCache1.xml")));
    EXPECT_FALSE(out->package().find(QStringLiteral("xl/slicerCaches/slicerCache2.xml")));
    EXPECT_FALSE(out->package().find(QStringLiteral("xl/slicers/slicer2.xml")));
    EXPECT_TRUE(findById(out->workbookRels(), QStringLiteral("rId3")));
}

TEST(XlsxExtract, TheLinkEntryIsInTheWorkbooksOwnNamespacesWhateverItsPrefixes)
{
    const QByteArray prefixedBoth = QByteArray(kWorkbook)
        .replace("<workbook xmlns=", "<x:workbook xmlns:x=").replace("xmlns:r=", "xmlns:rel=").replace("r:id=", "rel:id=")
        .replace("<sheets>", "<x:sheets>").replace("</sheets>", "</x:sheets>").replace("<sheet ", "<x:sheet ").replace("</workbook>", "</x:workbook>");
    const QByteArray relationshipsUndeclared = QByteArray(prefixedBoth)
        .replace(R"( xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships")", "")
        .replace("<x:sheet ", R"(<x:sheet xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )");
    for (const QByteArray& workbook : {kWorkbook, prefixedBoth, relationshipsUndeclared}) {
        const auto wb = XlsxWorkbook::openBytes(packageWith("xl/workbook.xml", workbook), QStringLiteral("book.xlsx"));
        const auto out = XlsxWorkbook::openBytes(wb->extract(0, QStringLiteral("/data/book.xlsx")), QStringLiteral("out.xlsx"));
        XmlReader reader(out->package().read(out->workbookPart()), QStringLiteral("workbook"));
        std::optional<QString> id;
        while (reader.nextElement())
            if (reader.localName() == QLatin1String("externalReference")
                && reader.namespaceUri() == QLatin1String("http://schemas.openxmlformats.org/spreadsheetml/2006/main"))
                id = reader.attribute("id", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
        ASSERT_TRUE(id) << workbook.constData();
        const Relationship* link = findById(out->workbookRels(), *id);
        EXPECT_TRUE(link && link->kind() == QLatin1String("externalLink")) << workbook.constData();
    }
}
