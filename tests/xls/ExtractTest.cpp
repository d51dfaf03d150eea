// Extraction of one worksheet: what the written file holds where readers do not look (names,
// pictures, embedded objects), the refusals, and the safety of writing it. Values, formatting
// and structure of every corpus worksheet's output are checked by xls_fidelity.
#include "BookBuilder.h"
#include "platform/NewFile.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "support/Thrown.h"
#include "book/Cfb.h"
#include "xls/RecordIds.h"
#include "xls/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <map>
#include <optional>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::xls;

namespace {
struct Record {
    std::uint16_t type;
    std::vector<std::uint8_t> data;
};

// The records of a written file's Workbook stream.
std::vector<Record> recordsOf(const QByteArray& file)
{
    QString reason;
    QByteArray s;
    auto cfb = book::CfbFile::openBytes(file, &reason);
    EXPECT_TRUE(cfb && cfb->readStream(QStringLiteral("Workbook"), &s)) << reason.toStdString();
    std::vector<Record> out;
    const auto* d = reinterpret_cast<const std::uint8_t*>(s.constData());
    for (std::size_t pos = 0; pos + 4 <= std::size_t(s.size()); pos += 4 + rd16(d + pos + 2))
        out.push_back({rd16(d + pos), std::vector<std::uint8_t>(d + pos + 4, d + pos + 4 + rd16(d + pos + 2))});
    return out;
}

std::vector<std::uint8_t> formula(std::vector<std::uint8_t> rgce)
{
    std::vector<std::uint8_t> d(22, 0);
    wr16(d.data() + 20, static_cast<std::uint16_t>(rgce.size()));
    d.insert(d.end(), rgce.begin(), rgce.end());
    return test::rec(rt::Formula, d);
}

// A defined name of sheet itab (0: of the workbook).
std::vector<std::uint8_t> lbl(const std::string& name, std::uint8_t itab, std::vector<std::uint8_t> rgce)
{
    std::vector<std::uint8_t> d = {0, 0, 0, static_cast<std::uint8_t>(name.size()), static_cast<std::uint8_t>(rgce.size()), 0, 0, 0, itab, 0, 0, 0, 0, 0, 0};
    d.insert(d.end(), name.begin(), name.end());
    d.insert(d.end(), rgce.begin(), rgce.end());
    return test::rec(rt::Lbl, d);
}

// Sheets First (with these records) and Second; the globals hold the workbook's own link, a
// reference table whose one entry is Second, and these names.
std::unique_ptr<XlsWorkbook> twoSheets(std::vector<std::vector<std::uint8_t>> records, std::vector<std::vector<std::uint8_t>> names,
                                       std::uint8_t entrySheet = 1)
{
    std::vector<test::BuiltSheet> sheets = {{"First"}, {"Second"}};
    sheets[0].records = std::move(records);
    names.insert(names.begin(), {test::rec(rt::SupBook, {1, 0, 1, 4}), test::rec(rt::ExternSheet, {1, 0, 0, 0, entrySheet, 0, entrySheet, 0})});
    return XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), test::buildStream(sheets, names)}}), QStringLiteral("built"));
}
} // namespace

TEST(Extraction, WritesTheOneWorksheetOrRefusesASheetThatIsNone)
{
    const auto wb = XlsWorkbook::open(test::corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls")));
    const SheetInfo second = wb->worksheets().at(1);
    ASSERT_EQ(second.name, QStringLiteral("Sheet2"));
    EXPECT_EQ(XlsWorkbook::openBytes(wb->extract(second.index), QStringLiteral("out"))->worksheets().at(0).name, second.name);

    // A chart sheet and an index beyond the list are no worksheets.
    const auto charts = XlsWorkbook::open(test::corpusFile(QStringLiteral("xls/phpspreadsheet--chartsheet.xls")));
    int chart = -1;
    for (const SheetInfo& s : charts->sheets())
        if (s.kind == SheetKind::Chart)
            chart = s.index;
    ASSERT_GE(chart, 0);
    for (const auto& call : std::initializer_list<std::function<void()>>{[&] { charts->extract(chart); }, [&] { wb->extract(-1); }}) {
        const auto e = test::thrown<XlsError>(call);
        EXPECT_TRUE(e && e->status() == XlsStatus::NotAWorksheet) << (e ? e->what() : "no refusal");
    }
}

TEST(Extraction, PicturesAndEmbeddedObjectsGoOnlyWithTheSheetThatShowsThem)
{
    // The source holds a 775 KB photograph shown on sheet "pictures" and a small image on
    // "picture"; other sheets have shapes and comments only.
    const auto wb = XlsWorkbook::open(test::corpusFile(QStringLiteral("xls/poi--drawings.xls")));
    std::map<QString, qsizetype> sizes;
    for (const auto& s : wb->worksheets())
        sizes[s.name] = wb->extract(s.index).size();
    EXPECT_GT(sizes[QStringLiteral("pictures")], 700 * 1024);
    EXPECT_LT(sizes[QStringLiteral("picture")], 100 * 1024);
    EXPECT_GT(sizes[QStringLiteral("picture")], 13 * 1024);
    EXPECT_LT(sizes[QStringLiteral("rectangles")], 60 * 1024);
    EXPECT_LT(sizes[QStringLiteral("comments")], 60 * 1024);

    // The embedded OLE object (a storage of its own) goes with the sheet that shows it, class
    // id and content unchanged, and with no other sheet.
    book::CfbNode original;
    QString why;
    const auto source = book::CfbFile::openPath(wb->path(), &why);
    ASSERT_TRUE(source && source->readStorage(QStringLiteral("MBD000D0788"), &original)) << why.toStdString();
    for (const auto& s : wb->worksheets()) {
        auto out = book::CfbFile::openBytes(wb->extract(s.index), &why);
        ASSERT_TRUE(out) << why.toStdString();
        book::CfbNode copied;
        const bool has = out->readStorage(QStringLiteral("MBD000D0788"), &copied);
        EXPECT_EQ(has, s.name == QLatin1String("embedded")) << s.name.toStdString();
        if (has) {
            EXPECT_EQ(copied.clsid, original.clsid);
            ASSERT_EQ(copied.children.size(), original.children.size());
            for (std::size_t i = 0; i < copied.children.size(); ++i)
                EXPECT_EQ(copied.children[i].data, original.children[i].data);
        }
    }
}

TEST(Extraction, NamesNothingKeptUsesGoAndReferencesToKeptNamesAreRenumbered)
{
    // Name 1 belongs to the second sheet; Rate, a workbook name, is used by a cell formula and
    // a conditional format of the first sheet; Far reads the second sheet and Alias reads Far,
    // and nothing uses either. Only Rate goes along, so both references must now say 1.
    std::vector<std::uint8_t> cf = {1, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x43, 2, 0, 0, 0}; // cce1 5, cce2 0, format; =Rate
    const auto wb = twoSheets({formula({0x23, 2, 0, 0, 0}), test::rec(rt::CF, cf)},
                              {lbl("Other", 2, {0x1E, 5, 0}), lbl("Rate", 0, {0x1E, 5, 0}), lbl("Far", 0, {0x3A, 0, 0, 0, 0, 0, 0}),
                               lbl("Alias", 0, {0x23, 3, 0, 0, 0})});
    QStringList names;
    int checked = 0;
    for (const auto& r : recordsOf(wb->extract(0))) {
        if (r.type == rt::Lbl)
            names << QString::fromLatin1(reinterpret_cast<const char*>(r.data.data() + 15), r.data[3]);
        if (r.type == rt::Formula || r.type == rt::CF) {
            EXPECT_EQ(rd32(r.data.data() + r.data.size() - 4), 1u) << r.type;
            ++checked;
        }
    }
    EXPECT_EQ(names, QStringList{"Rate"});
    EXPECT_EQ(checked, 2);
}

TEST(Extraction, SheetsThatCannotBeCopiedFaithfullyAreRefused)
{
    // Names Mine (of the second sheet) and Lost (of a third sheet the workbook does not have).
    const std::vector<std::vector<std::uint8_t>> names = {lbl("Mine", 2, {0x1E, 5, 0}), lbl("Lost", 3, {0x1E, 5, 0})};
    const struct {
        std::vector<std::uint8_t> record; // in the first sheet
        std::optional<XlsStatus> status;
        const char* says;
        std::uint8_t entrySheet = 1; // the sheet the reference table's one entry names
    } cases[] = {
        {formula({0x23, 1, 0, 0, 0}), XlsStatus::CannotCopy, "the name 'Mine' of worksheet 'Second' without naming the sheet"},
        {formula({0x23, 2, 0, 0, 0}), XlsStatus::CannotCopy, "the name 'Lost' of worksheet '2'"},
        {formula({0x1E, 1, 0, 0x2F, 0}), XlsStatus::CannotCopy, "a token this engine does not know"},
        {test::rec(rt::LabelSst, std::vector<std::uint8_t>(10, 0)), XlsStatus::Damaged, "string table"},
        // A reference past the end of the table stays dangling, as in the source.
        {formula({0x3A, 1, 0, 0, 0, 0, 0}), std::nullopt, ""},
        // So does an entry naming a sheet the workbook does not have.
        {formula({0x3A, 0, 0, 0, 0, 0, 0}), std::nullopt, "", 7},
    };
    for (const auto& c : cases) {
        const auto e = test::thrown<XlsError>([&] {
            const QByteArray out = twoSheets({c.record}, names, c.entrySheet)->extract(0);
            EXPECT_FALSE(out.contains("Second")) << "the other sheet's name rides along";
        });
        EXPECT_EQ(e ? std::optional(e->status()) : std::nullopt, c.status) << c.says;
        if (e) {
            EXPECT_TRUE(e->detail().contains(QLatin1String(c.says))) << e->what();
        }
    }
}

// With values: a validation list read from another sheet becomes the explicit list of its
// values, any other rule reading it goes (the rule count follows, no count without a rule); a
// name of one cell becomes its value, one of a range stays and is counted.
TEST(Extraction, ValuesTurnListsAndOneCellNamesIntoConstants)
{
    const std::vector<std::uint8_t> area = {0x3B, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}; // Second!$A$1:$A$2
    const auto rule = [&](std::uint8_t kind) {
        std::vector<std::uint8_t> d = {kind, 0, 0, 0, 1, 0, 0, 'x', 1, 0, 0, 'x', 1, 0, 0, 'x', 1, 0, 0, 'x', 11, 0, 0, 0};
        d.insert(d.end(), area.begin(), area.end());
        d.insert(d.end(), {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 5, 0, 5, 0});
        return test::rec(rt::DV, d);
    };
    const std::vector<std::uint8_t> listOf56 = {0x83, 0, 0, 0, 1, 0, 0, 'x', 1, 0, 0, 'x', 1, 0, 0, 'x', 1, 0, 0, 'x', 6, 0, 0, 0,
                                                ptg::Str, 3, 0, '5', 0, '6', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 5, 0, 5, 0};
    const std::vector<std::uint8_t> five = {0x1F, 0, 0, 0, 0, 0, 0, 0x14, 0x40};
    const struct {
        std::vector<std::uint8_t> kinds; // 3: a list, 1: whole numbers
        int dropped;
        std::optional<std::uint32_t> count;
    } cases[] = {{{3}, 0, 1}, {{3, 1}, 1, 1}, {{1}, 1, std::nullopt}};
    for (const auto& c : cases) {
        std::vector<test::BuiltSheet> sheets = {{"First"}, {"Second"}};
        sheets[0].records = {test::rec(rt::DVal, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, std::uint8_t(c.kinds.size()), 0, 0, 0})};
        for (std::uint8_t k : c.kinds)
            sheets[0].records.push_back(rule(k));
        for (std::uint8_t row : {0, 1})
            sheets[1].records.push_back(test::rec(rt::Number, {row, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(row ? 0x18 : 0x14), 0x40}));
        const auto wb = XlsWorkbook::openBytes(
            test::buildFile({{QStringLiteral("Workbook"),
                              test::buildStream(sheets, {test::rec(rt::SupBook, {2, 0, 1, 4}), test::rec(rt::ExternSheet, {1, 0, 0, 0, 1, 0, 1, 0}),
                                                         lbl("Rate", 1, {0x3A, 0, 0, 0, 0, 0, 0}), lbl("Span", 1, area)})}}),
            QStringLiteral("built"));
        book::ValuesDrops drops;
        std::vector<std::vector<std::uint8_t>> rules, names;
        std::optional<std::uint32_t> count;
        for (const auto& r : recordsOf(wb->extract(0, QString(), true, &drops))) {
            if (r.type == rt::DVal)
                count = rd32(r.data.data() + 14);
            if (r.type == rt::DV)
                rules.push_back(r.data);
            if (r.type == rt::Lbl)
                names.emplace_back(r.data.begin() + 19, r.data.end()); // the formula, after the name

        }
        EXPECT_EQ(drops.validations, c.dropped);
        EXPECT_EQ(drops.references, 1); // Span keeps #REF!
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(rules, std::vector<std::vector<std::uint8_t>>(c.kinds.front() == 3 ? 1 : 0, listOf56));
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0], five);
        EXPECT_EQ(names[1], area);
    }
}
