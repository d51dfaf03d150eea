// Opening and listing workbooks: THE corpus listing test (every file against its manifest row),
// and hand-built streams for the cases the corpus does not isolate. (What a file is, and the
// reason each kind is refused, is the automation contract's table.)
#include "BookBuilder.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/Thrown.h"
#include "xls/XlsWorkbook.h"

#include <optional>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::xls;

namespace {
QStringList names(const XlsWorkbook& wb)
{
    QStringList list;
    for (const auto& s : wb.worksheets())
        list << s.name;
    return list;
}

std::optional<XlsError> openStreams(const std::vector<test::BuiltStream>& streams)
{
    return test::thrown<XlsError>([&] { XlsWorkbook::openBytes(test::buildFile(streams), QStringLiteral("built")); });
}
} // namespace

TEST(Listing, EveryCorpusFileListsItsManifestWorksheetsOrIsRefusedWithItsReason)
{
    int sound = 0, bad = 0;
    for (const auto& row : test::corpusManifest()) {
        const QString path = test::corpusFile(row.file);
        const std::string file = row.file.toStdString();
        std::unique_ptr<XlsWorkbook> wb;
        const auto e = test::thrown<XlsError>([&] { wb = XlsWorkbook::open(path); });
        if (row.kind == QLatin1String("biff8")) {
            ++sound;
            ASSERT_FALSE(e) << file << ": " << e->what();
            EXPECT_EQ(names(*wb), row.worksheets) << file;
            // Hidden and very hidden worksheets are listed; chart and dialog sheets are not.
            for (const auto& s : wb->sheets()) {
                if (s.kind == SheetKind::Chart || s.kind == SheetKind::Dialog) {
                    EXPECT_TRUE(row.features.contains(QLatin1String(s.kind == SheetKind::Chart ? "chart-sheet" : "dialog-sheet"))) << file;
                }
            }
            continue;
        }
        ++bad;
        if (row.kind == QLatin1String("corrupt") && !e) {
            // Damage other readers tolerate may be read through, if the sheet list is right.
            EXPECT_FALSE(row.features.contains(QStringLiteral("bad-sheet-offset"))) << file;
            EXPECT_EQ(names(*wb), row.worksheets) << file;
            continue;
        }
        ASSERT_TRUE(e) << file;
        const std::string what = file + ": " + e->what();
        const XlsStatus status = e->status();
        EXPECT_TRUE(e->detail().contains(path)) << what;
        if (row.kind == QLatin1String("not-ole"))
            EXPECT_TRUE(status == XlsStatus::NotCompoundFile || status == XlsStatus::NoWorkbookStream) << what;
        else if (row.kind == QLatin1String("biff5"))
            EXPECT_EQ(status, XlsStatus::NotBiff8) << what;
        else if (row.kind == QLatin1String("encrypted"))
            EXPECT_EQ(status, XlsStatus::Encrypted) << what;
        else if (row.features.contains(QStringLiteral("no-workbook-stream")))
            EXPECT_TRUE(status == XlsStatus::NoWorkbookStream || status == XlsStatus::Damaged) << what;
        else
            EXPECT_EQ(status, XlsStatus::Damaged) << what;
    }
    EXPECT_GE(sound, 38) << "corpus missing at " << test::corpusDir().toStdString();
    EXPECT_GE(bad, 18);
}

TEST(Listing, SheetKindsVisibilityAndStreamChoiceFromHandBuiltWorkbooks)
{
    // The last sheet holds nothing but its BOF and EOF: its end is the stream's end.
    const auto stream = test::buildStream({{"Plain"}, {"Hidden", 0, 1}, {"Chart", 2}, {"Dialog", 0, 0, true}, {"Very", 0, 2}, {"Bare", 0, 0, false, true}});
    auto wb = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), stream}}), QStringLiteral("built"));
    EXPECT_EQ(names(*wb), (QStringList{"Plain", "Hidden", "Very", "Bare"}));
    EXPECT_EQ(wb->worksheets()[2].visibility, book::Visibility::VeryHidden);
    EXPECT_EQ(wb->worksheets()[2].index, 4);

    // A dual-format file: the Excel 5.0/95 "Book" is passed over for the BIFF8 "Workbook";
    // the version comes from the BOF, whatever the stream is called.
    const std::vector<std::uint8_t> biff5 = test::bof(0x0005, 0x0500);
    EXPECT_FALSE(openStreams({{QStringLiteral("Book"), biff5}, {QStringLiteral("Workbook"), stream}}));
    EXPECT_FALSE(openStreams({{QStringLiteral("BOOK"), stream}}));
}

TEST(Listing, DamageInTheGlobalsOrSheetOffsetsIsRefused)
{
    const auto good = test::buildStream({{"A"}, {"B"}});
    const std::size_t second = 4 + 16 + 4 + 10; // BOF, first BoundSheet8 ("A"), header
    auto changed = [&](std::size_t at, std::uint32_t value, std::size_t bytes) {
        auto s = good;
        for (std::size_t i = 0; i < bytes; ++i)
            s[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return s;
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> stream;
        std::optional<XlsStatus> status;
        const char* says;
    } cases[] = {
        {"sound", good, std::nullopt, ""},
        {"a FILEPASS among the first records",
         test::buildStream({{"A"}, {"B"}}, {test::rec(0x0086, {}), test::rec(0x002F, {1, 0, 1, 0})}), XlsStatus::Encrypted, ""},
        {"cut inside the globals", std::vector<std::uint8_t>(good.begin(), good.begin() + 30), XlsStatus::Damaged, ""},
        {"a record running past the end", changed(22, 0xFFF0, 2), XlsStatus::Damaged, ""},
        {"a sheet offset past the stream", changed(second + 4, std::uint32_t(good.size() + 10), 4), XlsStatus::Damaged, "sheet 'B'"},
        {"a sheet offset inside a record", changed(second + 4, std::uint32_t(good.size() - 3), 4), XlsStatus::Damaged, "sheet 'B'"},
        {"a sheet-name length beyond its record", changed(4 + 16 + 4 + 6, 200, 1), XlsStatus::Damaged, ""},
    };
    for (const auto& c : cases) {
        const auto e = openStreams({{QStringLiteral("Workbook"), c.stream}});
        EXPECT_EQ(e ? std::optional(e->status()) : std::nullopt, c.status) << c.what;
        EXPECT_TRUE(!e || e->detail().contains(QLatin1String(c.says))) << c.what;
    }
}
