// What the Open XML engine refuses, and why: the bad files of the corpus (through the native
// backend, as the program opens them) and small hostile packages built here. Each is refused
// with its own reason and nothing is returned.
#include "automation/ApplicationFactory.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TestPaths.h"
#include "xlsx/Package.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <zlib.h>

#include <gtest/gtest.h>

using namespace bf::xlsx;

namespace {

struct Part {
    QByteArray name;
    QByteArray content;
    quint32 declaredSize = 0; // 0: the true size
};

void put(QByteArray& out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

QByteArray rawDeflate(const QByteArray& in)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(in.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return out;
}

// A zip written by hand, so that it can say what a sound writer never would.
QByteArray zipOf(const std::vector<Part>& parts)
{
    QByteArray out, directory;
    for (const Part& p : parts) {
        const QByteArray data = rawDeflate(p.content);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(p.content.constData()), uInt(p.content.size())));
        const quint32 size = p.declaredSize ? p.declaredSize : quint32(p.content.size());
        const quint32 offset = quint32(out.size());
        auto header = [&](QByteArray& h, bool central) {
            put(h, central ? 0x02014b50 : 0x04034b50, 4);
            if (central)
                put(h, 20, 2);
            put(h, 20, 2), put(h, 0, 2), put(h, 8, 2), put(h, 0, 4), put(h, crc, 4);
            put(h, quint32(data.size()), 4), put(h, size, 4), put(h, quint32(p.name.size()), 2), put(h, 0, 2);
            if (central)
                put(h, 0, 2), put(h, 0, 2), put(h, 0, 2), put(h, 0, 4), put(h, offset, 4);
            h.append(p.name);
        };
        header(out, false);
        out.append(data);
        header(directory, true);
    }
    const quint32 start = quint32(out.size());
    out.append(directory);
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, quint32(parts.size()), 2), put(out, quint32(parts.size()), 2);
    put(out, quint32(directory.size()), 4), put(out, start, 4), put(out, 0, 2);
    return out;
}

const QByteArray kTypes = R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>)";
const QByteArray kRootRels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)";
const QByteArray kWorkbook = R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="One" sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/></sheets></workbook>)";
const QByteArray kWorkbookRels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/></Relationships>)";
const QByteArray kSheet = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1"><f>Two!B2*2</f><v>6</v></c></row></sheetData></worksheet>)";
const QByteArray kSheet2 = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="2"><c r="B2"><v>3</v></c></row></sheetData></worksheet>)";
const QByteArray kLaughs = R"(<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">]>)";

// The sound package with part `name` replaced (or added) by `content`.
QByteArray packageWith(const QByteArray& name, const QByteArray& content, quint32 declared = 0)
{
    std::vector<Part> parts{{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                            {"xl/workbook.xml", kWorkbook}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                            {"xl/worksheets/sheet1.xml", kSheet}, {"xl/worksheets/sheet2.xml", kSheet2}};
    bool replaced = false;
    for (Part& p : parts)
        if (p.name == name)
            p.content = content, p.declaredSize = declared, replaced = true;
    if (!replaced)
        parts.push_back({name, content, declared});
    return zipOf(parts);
}

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

} // namespace

TEST(XlsxRefusal, BadCorpusFilesAreRefusedByTheProgramWithTheFileAndTheReason)
{
    bf::test::FakeSeams seams;
    auto app = bf::automation::Backends().create(QString(), seams);
    const std::vector<std::pair<const char*, XlsxStatus>> cases{
        {"calamine--pass_protected.xlsx", XlsxStatus::Encrypted},
        {"excelize--encryptaes.xlsx", XlsxStatus::Encrypted},
        {"calamine--strict_iso_paths.xlsx", XlsxStatus::StrictConformance},
        {"poi--sampless.strict.xlsx", XlsxStatus::StrictConformance},
        {"poi--simple.xlsb", XlsxStatus::BinaryWorkbook},
        {"corrupt-no-workbook-part-sheetjs--freeze.xlsx", XlsxStatus::NoWorkbookPart},
        {"openpyxl--null_archive.xlsx", XlsxStatus::NoWorkbookPart},
        {"corrupt-truncated-half-poi--withthreecharts.xlsx", XlsxStatus::DamagedZip},
        {"poi--xlsx-corrupted.xlsx", XlsxStatus::MalformedXml},
        {"roo--type_excel.xlsx", XlsxStatus::LegacyBinary},
        {"no-such-file.xlsx", XlsxStatus::FileNotFound},
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
        {"sheet part missing", packageWith("xl/_rels/workbook.xml.rels", QByteArray(kWorkbookRels).replace("sheet1.xml", "sheet9.xml")), XlsxStatus::MissingPart},
        {"unfinished sheet", packageWith("xl/worksheets/sheet1.xml", kSheet.left(kSheet.size() - 20)), XlsxStatus::MalformedXml},
        {"no package relationships", packageWith("_rels/.rels", "<Relationships/>"), XlsxStatus::NoWorkbookPart},
        {"not a zip", QByteArray("just text, no package"), XlsxStatus::NotZip},
    };
    for (const auto& [what, bytes, status] : cases)
        EXPECT_EQ(refusal([&] { return XlsxWorkbook::openBytes(bytes, QStringLiteral("hostile.xlsx")); }), status) << what;
}

TEST(XlsxExtract, ReferenceToAnotherSheetBecomesACachedExternalReference)
{
    const auto wb = XlsxWorkbook::openBytes(packageWith("xl/styles.xml", "<styleSheet/>"), QStringLiteral("book.xlsx"));
    const auto again = XlsxWorkbook::openBytes(wb->extract(0, QStringLiteral("/data/book.xlsx")), QStringLiteral("out.xlsx"));
    ASSERT_EQ(again->worksheets().size(), 1u);
    EXPECT_EQ(again->worksheets()[0].name, QStringLiteral("One"));
    const QByteArray sheet = again->package().read(again->worksheets()[0].part);
    EXPECT_TRUE(sheet.contains("<f>[1]Two!B2*2</f>")) << sheet.constData();
    const QByteArray link = again->package().read(QStringLiteral("xl/externalLinks/externalLink1.xml"));
    EXPECT_TRUE(link.contains(R"(<sheetName val="Two"/>)") && link.contains(R"(<cell r="B2"><v>3</v></cell>)")) << link.constData();
}
