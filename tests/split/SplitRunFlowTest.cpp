// The names a split run writes, and its flow on the scripted spreadsheet application: one opening
// per run of rows, progress, and every way a run fails.
#include "split/SplitNaming.h"
#include "support/SplitFixture.h"

using namespace bf;
using namespace bf::split;
using bf::test::FakeOp;

namespace {
const QString kStamp = test::SplitFixture::kStamp;
using Fixture = test::SplitFixture;
} // namespace

TEST(SplitNaming, TimeStampRunFolderAndShortName)
{
    test::FakeSeams seams;
    const std::pair<QDateTime, const char*> stamps[] = {
        {QDateTime(QDate(2008, 7, 23), QTime(9, 5, 7)), "2008723957"}, // no leading zeros
        {QDateTime(QDate(2008, 12, 31), QTime(23, 59, 59)), "20081231235959"},
        {QDateTime(QDate(2010, 10, 1), QTime(10, 0, 0)), "20101011000"}, // zeros inside a field stay
        {QDateTime(QDate(2008, 1, 11), QTime(1, 2, 3)), "2008111123"},   // as 1 November 01:02:03
        {QDateTime(), ""},                                               // a clock that fails
    };
    for (const auto& [moment, stamp] : stamps) {
        AppContext context(seams);
        context.clock = [&] { return moment; };
        EXPECT_EQ(GetNowString(context), QString::fromLatin1(stamp));
    }
    const char* folders[][3] = {{"/out", "2008723957", "/out/2008723957/"},
                                {"/out/", "2008723957", "/out/2008723957/"},
                                {"/", "2008723957", "/2008723957/"},
                                {"/out", "", "/out/"}}; // no stamp: the chosen folder itself
    for (const auto& [chosen, stamp, runFolder] : folders)
        EXPECT_EQ(PrepareOutputFolder(seams, chosen, stamp), QString::fromUtf8(runFolder));
    const char* names[][2] = {{"Sales.xls", "Sales"}, {"Report.xlsx", "Report"}, {"Macros.XLSM", "Macros"}, {"Доходы.XLS", "Доходы"},
                              {"...xls", ".."},       {"a.xl", ""},               {"abc", ""}};
    for (const auto& [name, shortName] : names)
        EXPECT_EQ(GetWorkbookShortName(seams, QString::fromUtf8(name)), QString::fromUtf8(shortName));

    // The failing clock and the name too short to shorten, each reported under its routine's name.
    const QStringList m = seams.messageBox.texts();
    ASSERT_EQ(m.size(), 2);
    EXPECT_TRUE(m[0].startsWith("Err Number: 5\r\nErr Description: ") && m[0].endsWith("\r\nErr Proc: GetNowString"));
    EXPECT_TRUE(m[1].contains("\"abc\"") && m[1].endsWith("\r\nErr Proc: GetWorkbookShortName"));
}

TEST(SplitRunFlow, ConsecutiveRowsShareOneOpeningAndTheBarCountsTheRows)
{
    Fixture f;
    f.add("/data/A.xls", {"S1", "S2"});
    f.app.addWorkbook("/other/B.xls", {"T1", "T2"});
    f.rows.addRow("/other/./B.xls", "T1"); // not as the application names it: reopened at every row
    f.rows.addRow("/other/./B.xls", "T2");
    bool eventsOffWhileSaving = true;
    f.app.beforeOp = [&](FakeOp op, const QString&) { eventsOffWhileSaving &= op != FakeOp::SaveAs || !f.app.EnableEvents(); };
    EXPECT_EQ(f.split(), f.runFolder());

    // A opened once and closed when row 3 came; B closed at row 4, and by the final close-all.
    EXPECT_EQ(f.app.opened, (QStringList{"/data/A.xls", "/other/./B.xls", "/other/./B.xls"}));
    const QStringList outputs{f.output("A", "S1"), f.output("A", "S2"), f.output("B", "T1"), f.output("B", "T2")};
    EXPECT_EQ(f.app.closed, (QStringList{outputs[0], outputs[1], "/data/A.xls", outputs[2], "/other/B.xls", outputs[3],
                                         "/other/B.xls"}));
    EXPECT_EQ(f.files(), outputs);
    EXPECT_EQ(f.app.saved, (QStringList{"/data/A.xls|S1", "/data/A.xls|S2", "/other/B.xls|T1", "/other/B.xls|T2"}));
    EXPECT_TRUE(eventsOffWhileSaving);

    // Each row selected as it was written, row 1 at the end; the bar from 1 to twice the rows.
    EXPECT_EQ(f.rows.selectionHistory(), (std::vector<int>{1, 2, 3, 4, 1}));
    ASSERT_EQ(f.view.frames.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        const auto& frame = f.view.frames[i];
        EXPECT_TRUE(frame.visible && frame.busy && frame.minimum == 1.0f && frame.maximum == 8.0f);
        EXPECT_EQ(frame.value, i == 0 ? 1.0f : 2.0f * i);
    }
    EXPECT_EQ(f.messages(), QStringList{QStringLiteral("Mission complete!")});
    EXPECT_EQ(f.seams.shell.foldersShown, QStringList{f.runFolder()});
    f.expectIdle();
}

TEST(SplitRunFlow, ARunFolderNoProgramShowsIsNamedAndTheRunStillCompletes)
{
    for (const auto outcome : {test::FakeShell::CannotStart, test::FakeShell::OpenerFails}) {
        Fixture f;
        f.add("/data/A.xls", {"S1"});
        f.seams.shell.folderOpens = outcome;
        EXPECT_EQ(f.split(), f.runFolder());
        EXPECT_EQ(f.messages(), (QStringList{"Mission complete!", "The run folder could not be shown: no program on this "
                                                                  "computer opens \"" + f.runFolder() + "\"."}));
        EXPECT_EQ(f.files(), QStringList{f.output("A", "S1")});
    }
}

TEST(SplitRunFailures, ARowThatCannotBeWrittenStopsTheRunWithItsReportAndTheNextRunGoesOn)
{
    const QString nul = QString::fromUtf16(u"nul\0x", 5);
    const struct {
        QString path, sheet;
        int number;
        QString shown; // in the report
    } cases[] = {
        {"/data/A.xls", "../x", 75, "worksheet \"../x\""}, // would be written beside the workbook folders
        {"/data/A.xls", nul, 75, "worksheet \"nul\\0x\""},
        {"/data/...xls", "S", 75, "the workbook \"...xls\""}, // its short name ".." names the output folder
        {"/data/.xls", "S", 5, "the workbook \".xls\""},      // no short name at all
        {"/data/axls", "S", 5, "the workbook \"axls\""},
        {"/data/A.xls", "Locked", 70, "disk says no"},
        {"/data/A.xls", "Gone", 9, ""},
        {"/data/Deleted.xls", "S", 1004, "/data/Deleted.xls"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.app.beforeOp = [](FakeOp op, const QString& target) {
            if (op == FakeOp::SaveAs && target.contains("/Locked_"))
                throw Error(err::PermissionDenied, "disk says no");
        };
        f.app.addWorkbook("/data/Good.xls", {"S", "T"});
        if (!c.path.contains("Deleted"))
            f.app.addWorkbook(c.path, {c.sheet == "Gone" ? "S" : c.sheet});
        f.rows.addRow("/data/Good.xls", "S");
        f.rows.addRow(c.path, c.sheet);
        f.rows.addRow("/data/Good.xls", "T");
        EXPECT_EQ(f.split(), QString());
        EXPECT_EQ(f.files(), QStringList{f.output("Good", "S")});
        ASSERT_EQ(f.messages().size(), 1) << c.path.toStdString();
        const QString report = f.messages()[0];
        EXPECT_TRUE(report.startsWith(QStringLiteral("Err Number: %1\r\n").arg(c.number)) && report.contains(c.shown) &&
                    report.endsWith("\r\nErr Proc: mnuSplit_Click"))
            << report.toStdString();
        EXPECT_TRUE(f.seams.shell.foldersShown.isEmpty());
        f.expectIdle();

        // A second later, without the row: what the failed run left open is closed, and all goes well.
        f.rows.removeRow(2);
        f.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 8)); };
        f.seams.folderChooser.answers = {f.out.path()};
        EXPECT_EQ(f.split(), f.out.path() + QStringLiteral("/2008723958/"));
        EXPECT_EQ(f.messages().value(1), QStringLiteral("Mission complete!"));
        EXPECT_EQ(f.app.openWorkbookCount(), 0);
    }
}

TEST(SplitRunFlow, RunsInOneSecondOrAtMomentsOfOneStampEachGetAFolderOfTheirOwn)
{
    const auto at = [](int month, int day, int hour, int minute, int second) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute, second));
    };
    const struct {
        QDateTime moments[3]; // of three runs
        QString stamp;
    } cases[] = {
        {{at(12, 7, 15, 1, 15), at(12, 7, 15, 1, 15), at(12, 7, 15, 1, 15)}, "202612715115"}, // one second
        {{at(12, 7, 15, 1, 15), at(12, 7, 15, 11, 5), at(12, 7, 15, 1, 15)}, "202612715115"},
        {{at(1, 11, 1, 11, 5), at(11, 1, 11, 1, 5), at(1, 11, 11, 1, 5)}, "20261111115"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp.toStdString());
        Fixture f;
        f.add("/data/A.xls", {"S1"});
        f.seams.folderChooser.answers = {f.out.path(), f.out.path(), f.out.path()};
        QStringList runFolders;
        for (const QDateTime& moment : c.moments) {
            f.context.clock = [moment] { return moment; };
            runFolders << f.split();
        }
        const QString base = f.out.path() + '/' + c.stamp;
        EXPECT_EQ(runFolders, (QStringList{base + '/', base + " (2)/", base + " (3)/"}));
        QStringList expected;
        for (const QString& folder : runFolders) // the outputs' names keep the stamp
            expected << folder + "A/S1_Splitted_at_" + c.stamp + ".xls";
        expected.sort();
        EXPECT_EQ(f.files(), expected);
        EXPECT_EQ(f.messages(), QStringList(3, "Mission complete!"));
    }

    // Every numbered name taken: the run fails before anything is written, naming the limit.
    Fixture f;
    f.add("/data/A.xls", {"S1"});
    QDir(f.out.path()).mkdir(kStamp);
    for (int n = 2; n <= 1000; ++n)
        ASSERT_TRUE(QDir(f.out.path()).mkdir(QStringLiteral("%1 (%2)").arg(kStamp).arg(n)));
    EXPECT_EQ(f.split(), QString());
    const QString report = f.messages().value(0);
    EXPECT_TRUE(report.startsWith("Err Number: 58\r\n") && report.contains(kStamp + " (1000)\" all exist") &&
                report.endsWith("\r\nErr Proc: mnuSplit_Click"))
        << report.toStdString();
    EXPECT_TRUE(f.files().isEmpty());
    EXPECT_TRUE(f.view.frames.empty()); // never in the split state
}

TEST(SplitRunFailures, MoreRowsThanASixteenBitCountHoldsFailBeforeAnyRowIsWritten)
{
    Fixture f;
    f.add("/data/A.xls", {"S"});
    for (int i = 1; i < 32768; ++i)
        f.rows.addRow("/data/A.xls", "S");
    EXPECT_EQ(f.split(), QString());
    EXPECT_TRUE(f.messages().value(0).startsWith(QStringLiteral("Err Number: 6\r\n")));
    EXPECT_TRUE(f.files().isEmpty());
    f.expectIdle();
}

TEST(SplitRunFlow, TheStoredLinkChoiceReachesTheApplicationAndWhatValuesDroppedIsCountedAtTheEnd)
{
    const QString note = QStringLiteral("\r\n2 defined names, 4 validation rules and 2 chart series that read other "
                                        "sheets were dropped: values cannot stand for them.\r\n2 references to other sheets in names, rules or "
                                        "charts became #REF!.");
    const struct {
        const char* line; // the BreakLinks line of Config.cfg; null: no such key
        bool values;
        bool refused;
    } cases[] = {{nullptr, false, false}, {"BreakLinks=0", false, false}, {"BreakLinks=1", true, false},
                 {"BreakLinks=yes", false, true}};
    for (const auto& c : cases) {
        Fixture f(c.line ? test::standardConfigLines() << QString::fromLatin1(c.line) : test::standardConfigLines());
        f.app.setBreakLinks(!c.values); // the store decides, whatever the application had
        f.add("/data/A.xls", {"S1", "S2"});
        f.app.copyDrops = {1, 2, 0, 1, 1}; // summed over the copies, said only with values
        const QString folder = f.split();
        const QString shown = f.messages().value(0);
        SCOPED_TRACE(c.line ? c.line : "no key");
        EXPECT_EQ(folder.isEmpty(), c.refused);
        if (c.refused) {
            EXPECT_TRUE(shown.contains("\"BreakLinks\"") && shown.contains("\"yes\"")) << shown.toStdString();
            EXPECT_TRUE(f.app.saved.isEmpty());
            continue;
        }
        EXPECT_EQ(f.app.BreakLinks(), c.values);
        EXPECT_TRUE(shown.startsWith("Mission complete!"));
        EXPECT_EQ(shown.contains(note), c.values);
    }
}
