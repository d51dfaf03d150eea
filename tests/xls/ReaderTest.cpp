// Opening and listing workbooks: every file of the corpus against its manifest row, and
// hand-built streams for the cases the corpus does not isolate.
#include "BookBuilder.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "xls/XlsWorkbook.h"

#include <QFile>
#include <QStringList>
#include <optional>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::xls;

namespace {
struct ManifestRow {
    QString file, kind;
    QStringList worksheets;
    QStringList features;
};

std::vector<ManifestRow> manifest()
{
    QFile f(test::corpusFile(QStringLiteral("MANIFEST.tsv")));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "the corpus manifest is missing";
    std::vector<ManifestRow> rows;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList c = lines[i].split('\t');
        if (c.size() < 9)
            continue;
        rows.push_back({c[0], c[5], c[7].isEmpty() ? QStringList() : c[7].split(QStringLiteral(" | ")),
                        c[8].split(',')});
    }
    EXPECT_GT(rows.size(), 50u);
    return rows;
}

QStringList names(const XlsWorkbook& wb)
{
    QStringList list;
    for (const auto& s : wb.worksheets())
        list << s.name;
    return list;
}

// The refusal an open gives, or nothing when it opens.
std::optional<XlsError> openError(const std::function<void()>& open)
{
    try {
        open();
    } catch (const XlsError& e) {
        return e;
    }
    return std::nullopt;
}
} // namespace

TEST(Listing, EverySoundCorpusWorkbookListsTheManifestWorksheets)
{
    int checked = 0;
    for (const auto& row : manifest()) {
        if (row.kind != QLatin1String("biff8"))
            continue;
        const QString path = test::corpusFile(row.file);
        std::unique_ptr<XlsWorkbook> wb;
        try {
            wb = XlsWorkbook::open(path);
        } catch (const XlsError& e) {
            ADD_FAILURE() << row.file.toStdString() << ": " << e.what();
            continue;
        }
        EXPECT_EQ(names(*wb), row.worksheets) << row.file.toStdString();
        // The Worksheets rule: hidden and very hidden sheets are listed, other kinds are not.
        for (const auto& s : wb->sheets()) {
            if (s.type == SheetType::Chart) {
                EXPECT_TRUE(row.features.contains(QStringLiteral("chart-sheet"))) << row.file.toStdString();
            }
            if (s.type == SheetType::Dialog) {
                EXPECT_TRUE(row.features.contains(QStringLiteral("dialog-sheet"))) << row.file.toStdString();
            }
        }
        ++checked;
    }
    EXPECT_GE(checked, 38);
}

TEST(Listing, EveryBadCorpusFileIsRefusedWithItsReason)
{
    int checked = 0;
    for (const auto& row : manifest()) {
        if (row.kind == QLatin1String("biff8"))
            continue;
        const QString path = test::corpusFile(row.file);
        const auto e = openError([&] { XlsWorkbook::open(path); });
        ++checked;
        if (row.kind == QLatin1String("corrupt") && !e) {
            // Damage other readers tolerate may be read through, if the sheet list is right.
            EXPECT_FALSE(row.features.contains(QStringLiteral("bad-sheet-offset"))) << row.file.toStdString();
            EXPECT_EQ(names(*XlsWorkbook::open(path)), row.worksheets) << row.file.toStdString();
            continue;
        }
        ASSERT_TRUE(e) << row.file.toStdString();
        const std::string what = row.file.toStdString() + ": " + e->what();
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
    EXPECT_GE(checked, 18);
}

TEST(Listing, MissingFileFolderAndRenamedFilesGiveClearErrors)
{
    test::TempDir dir;
    // The status of each refusal, and the file named in its detail.
    const QString xlsx = dir.write(QStringLiteral("book.xls"), QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x'));
    const QString csv = dir.write(QStringLiteral("data.xls"), "a,b,c\n1,2,3\n");
    const struct {
        QString path;
        XlsStatus status;
        const char* says;
    } cases[] = {{dir.file(QStringLiteral("absent.xls")), XlsStatus::FileNotFound, "absent.xls"},
                 {dir.path(), XlsStatus::NotAFile, "folder"},
                 {xlsx, XlsStatus::NotCompoundFile, "zip"},
                 {csv, XlsStatus::NotCompoundFile, "not an Excel 97-2003 workbook"}};
    for (const auto& c : cases) {
        const auto e = openError([&] { XlsWorkbook::open(c.path); });
        ASSERT_TRUE(e) << c.path.toStdString();
        EXPECT_EQ(e->status(), c.status) << e->what();
        EXPECT_TRUE(e->detail().contains(c.path) && e->detail().contains(QLatin1String(c.says))) << e->what();
    }
}

TEST(Listing, SheetKindsVisibilityAndStreamChoiceFromHandBuiltWorkbooks)
{
    std::vector<test::BuiltSheet> sheets(5);
    sheets[0].name = "Plain";
    sheets[1].name = "Hidden";
    sheets[1].hidden = 1;
    sheets[2].name = "Chart";
    sheets[2].dt = 2;
    sheets[3].name = "Dialog";
    sheets[3].dialog = true;
    sheets[4].name = "Very";
    sheets[4].hidden = 2;
    const auto stream = test::buildStream(sheets);
    auto wb = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), stream}}), QStringLiteral("built"));
    EXPECT_EQ(names(*wb), (QStringList{"Plain", "Hidden", "Very"}));
    EXPECT_EQ(wb->worksheets()[2].visibility, 2);
    EXPECT_EQ(wb->worksheets()[2].index, 4);

    // A dual-format file: the Excel 5.0/95 "Book" is passed over for the BIFF8 "Workbook";
    // the version comes from the BOF, whatever the stream is called.
    std::vector<std::uint8_t> biff5 = test::bof(0x0005, 0x0500);
    auto dual = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Book"), biff5}, {QStringLiteral("Workbook"), stream}}),
                                       QStringLiteral("dual"));
    EXPECT_EQ(names(*dual).size(), 3);
    auto upper = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("BOOK"), stream}}), QStringLiteral("upper"));
    EXPECT_EQ(names(*upper).size(), 3);
    auto e = openError([&] { XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Book"), biff5}}), QStringLiteral("old")); });
    EXPECT_TRUE(e && e->status() == XlsStatus::NotBiff8 && e->detail().contains(QStringLiteral("Excel 5.0/95")));
    e = openError([&] { XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Other"), stream}}), QStringLiteral("none")); });
    EXPECT_TRUE(e && e->status() == XlsStatus::NoWorkbookStream && e->detail().contains(QStringLiteral("no Workbook stream")));
}

TEST(Listing, DamageInTheGlobalsOrSheetOffsetsIsRefusedWhenListing)
{
    std::vector<test::BuiltSheet> sheets(2);
    sheets[0].name = "A";
    sheets[1].name = "B";
    const auto good = test::buildStream(sheets);
    // The status of a refusal; FileNotFound stands for "opened".
    auto open = [](const std::vector<std::uint8_t>& s) {
        const auto e = openError([&] { XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), s}}), QStringLiteral("x")); });
        return e ? e->status() : XlsStatus::FileNotFound;
    };
    EXPECT_EQ(open(good), XlsStatus::FileNotFound);

    // Password: FILEPASS among the first records.
    const auto locked = test::buildStream(sheets, {test::rec(0x0086, {}), test::rec(0x002F, {1, 0, 1, 0})});
    EXPECT_EQ(open(locked), XlsStatus::Encrypted);

    // Cut inside the globals.
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + 30);
    EXPECT_EQ(open(cut), XlsStatus::Damaged);

    // A record whose size runs past the end.
    auto longRecord = good;
    wr16(longRecord.data() + 22, 0xFFF0);
    EXPECT_EQ(open(longRecord), XlsStatus::Damaged);

    // The second sheet's offset points past the stream, then into the middle of a record.
    for (std::uint32_t bad : {static_cast<std::uint32_t>(good.size() + 10), static_cast<std::uint32_t>(good.size() - 3)}) {
        auto s = good;
        const std::size_t second = 4 + 16 + 4 + 10; // BOF, first BoundSheet8 ("A"), header
        wr32(s.data() + second + 4, bad);
        const auto e = openError([&] { XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), s}}), QStringLiteral("x")); });
        EXPECT_TRUE(e && e->status() == XlsStatus::Damaged && e->detail().contains(QStringLiteral("sheet 'B'")));
    }

    // A sheet-name length beyond its record.
    auto name = good;
    name[4 + 16 + 4 + 6] = 200;
    EXPECT_EQ(open(name), XlsStatus::Damaged);
}
