// Time stamps, run folders and workbook short names: the names every output file is built from.
#include "split/SplitNaming.h"

#include "support/FakeSeams.h"

#include <QDate>
#include <QTime>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::split;

namespace {
QDateTime at(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

// A context whose clock reads moment.
std::function<QDateTime()> pinned(QDateTime moment)
{
    return [moment] { return moment; };
}
} // namespace

TEST(SplitNaming, TimeStampWritesEachFieldWithoutLeadingZeros)
{
    test::FakeSeams seams;
    AppContext context(seams);
    context.clock = pinned(at(2008, 7, 23, 9, 5, 7));
    EXPECT_EQ(GetNowString(context), QStringLiteral("2008723957"));
    EXPECT_EQ(timeStampOf(at(2008, 12, 31, 23, 59, 59)), QStringLiteral("20081231235959")); // longest: 14
    EXPECT_EQ(timeStampOf(at(2009, 1, 1, 0, 0, 0)), QStringLiteral("200911000"));           // shortest: 9
    EXPECT_EQ(timeStampOf(at(2010, 10, 1, 10, 0, 10)), QStringLiteral("201010110010"));     // zeros inside fields stay

    // Two different moments share one stamp, so two such runs would name the same run folder.
    EXPECT_EQ(timeStampOf(at(2008, 11, 1, 1, 2, 3)), QStringLiteral("2008111123"));
    EXPECT_EQ(timeStampOf(at(2008, 1, 11, 1, 2, 3)), QStringLiteral("2008111123"));

    // Without a pinned clock the stamp is today's.
    const QString now = GetNowString(AppContext(seams));
    EXPECT_TRUE(now.startsWith(QString::number(QDate::currentDate().year())));
    EXPECT_GE(now.size(), 9);
    EXPECT_LE(now.size(), 14);
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(SplitNaming, TimeStampFailureIsReportedUnderItsOwnNameAndGivesEmptyText)
{
    test::FakeSeams seams;
    AppContext context(seams);
    context.clock = pinned(QDateTime()); // an invalid reading
    EXPECT_EQ(GetNowString(context), QString());
    ASSERT_EQ(seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(seams.messageBox.shown[0].text.startsWith(QStringLiteral("Err Number: 5\r\nErr Description: ")));
    EXPECT_TRUE(seams.messageBox.shown[0].text.endsWith(QStringLiteral("\r\nErr Proc: GetNowString")));
}

TEST(SplitNaming, RunFolderEndsInExactlyOneSeparator)
{
    test::FakeSeams seams;
    EXPECT_EQ(PrepareOutputFolder(seams, QStringLiteral("/out"), QStringLiteral("2008723957")),
              QStringLiteral("/out/2008723957/"));
    EXPECT_EQ(PrepareOutputFolder(seams, QStringLiteral("/out/"), QStringLiteral("2008723957")),
              QStringLiteral("/out/2008723957/"));
    // The file-system root keeps its single separator.
    EXPECT_EQ(PrepareOutputFolder(seams, QStringLiteral("/"), QStringLiteral("2008723957")), QStringLiteral("/2008723957/"));
    // An empty stamp (GetNowString failed) leaves the chosen folder itself.
    EXPECT_EQ(PrepareOutputFolder(seams, QStringLiteral("/out"), QString()), QStringLiteral("/out/"));
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(SplitNaming, ShortNameDropsTheLastFourCharactersWhateverTheyAre)
{
    test::FakeSeams seams;
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("Sales.xls")), QStringLiteral("Sales"));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("Report.xlsx")), QStringLiteral("Report"));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("Macros.XLSM")), QStringLiteral("Macros"));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("Sales.XLS")), QStringLiteral("Sales"));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("Доходы.xls")), QStringLiteral("Доходы"));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("...xls")), QStringLiteral(".."));
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("a.xl")), QString()); // exactly four: empty, no report
    EXPECT_TRUE(seams.messageBox.shown.empty());

    // Fewer than four characters cannot be shortened: its own report, then an empty name.
    EXPECT_EQ(GetWorkbookShortName(seams, QStringLiteral("abc")), QString());
    EXPECT_EQ(GetWorkbookShortName(seams, QString()), QString());
    ASSERT_EQ(seams.messageBox.shown.size(), 2u);
    const QString& report = seams.messageBox.shown[0].text;
    EXPECT_TRUE(report.startsWith(QStringLiteral("Err Number: 5\r\nErr Description: ")));
    EXPECT_TRUE(report.contains(QStringLiteral("\"abc\"")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("\r\nErr Proc: GetWorkbookShortName")));
}
