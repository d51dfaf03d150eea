// The interface contract on the native backend, and what only the native backend promises.
#include "ContractSuite.h"

namespace bf::test {
namespace {
std::map<QString, std::int32_t> nativeRefusals()
{
    // Everything that is not a sound Excel 97-2003 workbook, except damage that the
    // container reader tolerates without harm to the sheet list.
    std::map<QString, std::int32_t> table;
    for (const auto& [file, row] : contractManifest())
        if (row.kind != QLatin1String("biff8") && file != QLatin1String("xls/xlrd--corrupted_error.xls"))
            table[file] = err::SpreadsheetFailure;
    return table;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Native, SpreadsheetContract, ::testing::Values(ContractParams{"native", nativeRefusals()}));

TEST(NativeBackend, AFailedSaveLeavesNothingAndQuitEndsTheApplication)
{
    FakeSeams seams;
    TempDir dir;
    auto app = automation::Backends().create(QString(), seams);
    app->setDisplayAlerts(false);
    app->workbooks().Open(corpusFile(QStringLiteral("xls/poi--57925.xls")))->WorksheetByName(QString::fromUtf8("Расходы"))->Copy();
    auto copy = app->ActiveWorkbook();
    EXPECT_EQ(copy->Name(), QStringLiteral("Book1"));
    seams.writeFault.afterBytes = 1000;
    const Error e = contractError([&] { copy->SaveAs(dir.file(QStringLiteral("out.xls"))); });
    seams.writeFault = {};
    EXPECT_EQ(e.number(), err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().endsWith(QStringLiteral("No space left on device"))) << e.description().toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // Saving to a folder that does not exist fails the same way.
    EXPECT_EQ(contractError([&] { copy->SaveAs(dir.file(QStringLiteral("no/such/out.xls"))); }).number(),
              err::SpreadsheetFailure);
    copy->SaveAs(dir.file(QStringLiteral("out.xls")));
    EXPECT_EQ(copy->Name(), QStringLiteral("out.xls"));
    EXPECT_EQ(copy->FullName(), dir.file(QStringLiteral("out.xls")));

    app->Quit();
    EXPECT_EQ(contractError([&] { app->workbooks(); }).number(), err::SpreadsheetFailure);
    EXPECT_EQ(contractError([&] { copy->Worksheets(); }).number(), err::SpreadsheetFailure);
    EXPECT_EQ(contractError([&] { automation::Backends().create(QStringLiteral("nonesuch"), seams); }).number(),
              err::SpreadsheetFailure);
}

TEST(NativeBackend, EveryNameTheFileSystemTakesIsWrittenAndAFullDiskIsNamedAsSuch)
{
    FakeSeams seams;
    TempDir dir;
    auto app = automation::Backends().create(QString(), seams);
    app->workbooks().Open(corpusFile(QStringLiteral("xls/xlrd--ragged.xls")))->WorksheetByName(QStringLiteral("Sheet1"))->Copy();
    auto copy = app->ActiveWorkbook();
    const QString longest = dir.file(QString(251, QLatin1Char('a')) + QStringLiteral(".xls")); // 255 bytes
    copy->SaveAs(longest);
    seams.messageBox.answers = {platform::MsgResult::Yes};
    copy->SaveAs(longest); // replaced
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(longest).fileName()});

    SmallTmpfs disk(16);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString old = disk.file(QStringLiteral("old.xls"));
    QFile::copy(longest, old);
    disk.fill();
    for (const QString& target : {disk.file(QStringLiteral("new.xls")), old}) {
        seams.messageBox.answers = {platform::MsgResult::Yes};
        const Error e = contractError([&] { copy->SaveAs(target); });
        EXPECT_TRUE(e.description().endsWith(QStringLiteral("No space left on device"))) << e.description().toStdString();
    }
    EXPECT_EQ(QDir(QFileInfo(old).path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "old.xls"}));
    EXPECT_TRUE(xlrdSummary(old).startsWith(QStringLiteral("Sheet1 "))) << xlrdSummary(old).toStdString();
}

TEST(NativeBackend, HandlesOutliveTheApplication)
{
    std::shared_ptr<automation::Workbook> wb;
    std::shared_ptr<automation::Worksheet> ws;
    const platform::Seams seams;
    {
        // Two workbooks open when the application goes: closing them must not trip over itself.
        auto app = automation::Backends().create(QStringLiteral("native"), seams);
        wb = app->workbooks().Open(corpusFile(QStringLiteral("xls/poi--text.xls")));
        ws = wb->Worksheets().at(0);
        ws->Copy();
    }
    EXPECT_EQ(contractError([&] { ws->Copy(); }).number(), err::SpreadsheetFailure);
    EXPECT_EQ(contractError([&] { wb->FullName(); }).number(), err::SpreadsheetFailure);
}
} // namespace bf::test
