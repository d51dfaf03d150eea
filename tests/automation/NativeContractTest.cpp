// The interface contract on the native backend, and what only the native backend promises.
#include "ContractSuite.h"

#include <tuple>

namespace bf::test {

// A looping container (each kind of file is tried by the suite's own table).
INSTANTIATE_TEST_SUITE_P(Native, SpreadsheetContract, ::testing::Values(ContractParams{"native", {
    {"xls/phpspreadsheet--oleloop.xls", err::SpreadsheetFailure}}}));

// The same contract on Open XML workbooks: strict and damaged packages.
INSTANTIATE_TEST_SUITE_P(OpenXml, SpreadsheetContract, ::testing::Values(ContractParams{"native", {
    {"xlsx/poi--sampless.strict.xlsx", err::SpreadsheetFailure},
    {"xlsx/corrupt-truncated-half-poi--withthreecharts.xlsx", err::SpreadsheetFailure}},
    nullptr, "xlsx/sheetjs--sheet_visibility.xlsx", "xlsx/poi--commenttest.xlsx"}));

TEST(NativeBackend, AFailedSaveLeavesNothingAndASaveNeverGoesThroughALink)
{
    // An .xls copy is held in memory, an Open XML one in a temporary file.
    for (const auto& [source, sheet, ending] : {std::tuple{"xls/poi--57925.xls", "Расходы", ".xls"},
                                                std::tuple{"xlsx/poi--commenttest.xlsx", "", ".xlsx"}}) {
        FakeSeams seams;
        TempDir dir;
        const auto out = [&](const QString& name) { return dir.file(name + QString::fromLatin1(ending)); };
        auto app = automation::Backends().create(QString(), seams);
        app->setDisplayAlerts(false);
        auto book = app->workbooks().Open(corpusFile(source));
        (*sheet ? book->WorksheetByName(QString::fromUtf8(sheet)) : book->Worksheets().at(0))->Copy();
        auto copy = app->ActiveWorkbook();
        EXPECT_EQ(copy->Name(), QStringLiteral("Book1"));
        seams.writeFault.afterBytes = 1000;
        const Error e = errorOf([&] { copy->SaveAs(out("out")); });
        seams.writeFault = {};
        EXPECT_EQ(e.number(), err::SpreadsheetFailure);
        EXPECT_TRUE(e.description().endsWith("No space left on device")) << e.description().toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        EXPECT_EQ(errorOf([&] { copy->SaveAs(dir.file("no/such/out.xls")); }).number(), err::SpreadsheetFailure);

        // A link under the name, pointing at no file yet: refused, nothing written where it points.
        ASSERT_TRUE(QFile::link(out("elsewhere"), out("linked")));
        EXPECT_EQ(errorOf([&] { copy->SaveAs(out("linked")); }).number(), err::SpreadsheetFailure);
        EXPECT_FALSE(QFileInfo::exists(out("elsewhere")));

        // Saved twice, two files: a change to the one leaves the other as it was.
        copy->SaveAs(out("first"));
        copy->SaveAs(out("out"));
        EXPECT_EQ(copy->Name() + ' ' + copy->FullName(), QFileInfo(out("out")).fileName() + ' ' + out("out"));
        const QByteArray saved = readFile(out("out"));
        QFile first(out("first"));
        ASSERT_TRUE(first.open(QIODevice::Append) && first.write("changed") == 7);
        first.close();
        EXPECT_EQ(readFile(out("out")), saved);
        app->Quit();
        EXPECT_EQ(errorOf([&] { app->workbooks(); }).number(), err::SpreadsheetFailure);
        EXPECT_EQ(errorOf([&] { copy->Worksheets(); }).number(), err::SpreadsheetFailure);
    }
}

TEST(NativeBackend, EveryNameTheFileSystemTakesIsWrittenAndAFullDiskIsNamedAsSuch)
{
    FakeSeams seams;
    TempDir dir;
    auto app = automation::Backends().create(QString(), seams);
    app->workbooks().Open(corpusFile("xls/xlrd--ragged.xls"))->WorksheetByName("Sheet1")->Copy();
    auto copy = app->ActiveWorkbook();
    const QString longest = dir.file(QString(251, 'a') + ".xls"); // 255 bytes
    copy->SaveAs(longest);
    seams.messageBox.answers = {platform::MsgResult::Yes};
    copy->SaveAs(longest); // replaced
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(longest).fileName()});

    SmallTmpfs disk(16);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString old = disk.file("old.xls");
    QFile::copy(longest, old);
    disk.fill();
    for (const QString& target : {disk.file("new.xls"), old}) {
        seams.messageBox.answers = {platform::MsgResult::Yes};
        const Error e = errorOf([&] { copy->SaveAs(target); });
        EXPECT_TRUE(e.description().endsWith("No space left on device")) << e.description().toStdString();
    }
    EXPECT_EQ(QDir(QFileInfo(old).path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "old.xls"}));
    EXPECT_EQ(QFileInfo(old).size(), QFileInfo(longest).size()); // a failed replacement leaves it whole

    // An Open XML copy waits in the temporary folder: a sheet copied there with its compressed
    // bytes that does not fit fails the copy, named as such.
    SmallTmpfs temporary(64);
    if (!temporary.mounted())
        GTEST_SKIP() << temporary.why().toStdString();
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.file(QString())));
    const Error full = errorOf([&] { app->workbooks().Open(corpusFile("xlsx/poi--57893-many-merges.xlsx"))->Worksheets().at(0)->Copy(); });
    tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    EXPECT_TRUE(full.description().contains("No space left on device")) << full.description().toStdString();
}

TEST(NativeBackend, HandlesOutliveTheApplication)
{
    std::shared_ptr<automation::Workbook> wb;
    std::shared_ptr<automation::Worksheet> ws;
    const platform::Seams seams;
    {
        // Two workbooks open when the application goes: closing them must not trip over itself.
        auto app = automation::Backends().create("native", seams);
        wb = app->workbooks().Open(corpusFile("xls/poi--text.xls"));
        ws = wb->Worksheets().at(0);
        ws->Copy();
    }
    EXPECT_EQ(errorOf([&] { ws->Copy(); }).number(), err::SpreadsheetFailure);
    EXPECT_EQ(errorOf([&] { wb->FullName(); }).number(), err::SpreadsheetFailure);
}

} // namespace bf::test
