// The split run's flow on the scripted spreadsheet application: checks before anything is
// written, the order of opens and closes, progress, the names saved, and every way a run ends.
#include "split/SplitNaming.h"
#include "split/SplitRun.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListTestSupport.h"

#include "split/SplitTestSupport.h"
#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::split;
using bf::test::FakeOp;

namespace {

const QString kStamp = QStringLiteral("2008723957");

struct Fixture {
    Fixture()
    {
        context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 7)); };
        seams.folderChooser.answers = {out.path()};
    }

    QString runFolder() const { return out.path() + '/' + kStamp + '/'; }
    QString outputFile(const QString& shortName, const QString& sheet) const
    {
        return runFolder() + shortName + '/' + sheet + QStringLiteral("_Splitted_at_") + kStamp + QStringLiteral(".xls");
    }
    void addRows(const QString& path, const QStringList& sheets)
    {
        for (const QString& s : sheets)
            rows.addRow(path, s);
    }
    QStringList savedFiles() const
    {
        QStringList names;
        for (const auto& s : app.saves)
            names << s.fileName;
        return names;
    }
    // Every file and folder under the chosen output folder, relative to it, sorted.
    QStringList tree() const
    {
        QStringList entries;
        QDirIterator it(out.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            entries << QDir(out.path()).relativeFilePath(it.next());
        entries.sort();
        return entries;
    }
    QStringList messages() const { return seams.messageBox.texts(); }

    test::FakeSeams seams;
    AppContext context{seams};
    test::InstalledConfig config{context, test::standardConfigLines()};
    test::FakeSpreadsheet app;
    test::InstalledApplication installed{context, app};
    tasklist::InMemoryTaskRows rows;
    test::RecordingSplitView view;
    test::TempDir out;
};

void expectIdle(const test::RecordingSplitView& view, const test::FakeSpreadsheet& app)
{
    EXPECT_FALSE(view.visible);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.value, view.minimum);
    EXPECT_TRUE(app.EnableEvents());
}

} // namespace

TEST(SplitRunChecks, EmptyListOrNoFolderEndsTheRunBeforeAnythingIsWritten)
{
    Fixture f;
    // Empty list: the caption is refreshed, the message shown, the folder never asked for.
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(f.view.caption, QStringLiteral("Brakenfold 1.0.5"));
    EXPECT_EQ(f.messages(), QStringList{QStringLiteral("Please select some Excel workbook at first")});
    EXPECT_TRUE(f.seams.folderChooser.prompts.isEmpty());

    // Cancelled chooser, then a folder that does not exist.
    f.addRows(QStringLiteral("/data/A.xls"), {"S1"});
    f.seams.folderChooser.answers = {QString(), f.out.file(QStringLiteral("missing"))};
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(f.seams.folderChooser.prompts, QStringList(2, QStringLiteral("Please select output folder")));
    EXPECT_EQ(f.messages().mid(1), QStringList(2, QStringLiteral("Please select a output folder and try again")));

    EXPECT_TRUE(f.tree().isEmpty());
    EXPECT_EQ(f.app.openCount(), 0);
    EXPECT_TRUE(f.view.frames.empty()); // the split state was never entered
    EXPECT_TRUE(f.seams.shell.foldersShown.isEmpty());
}

TEST(SplitRunFlow, ConsecutiveRowsShareOneOpeningAndEveryRowIsSavedUnderItsName)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1", "S2", "S3"});
    f.app.addWorkbook(QStringLiteral("/other/B.xls"), {"T1", "T2", "T3"});
    f.addRows(QStringLiteral("/data/A.xls"), {"S1", "S2", "S3"});
    f.addRows(QStringLiteral("/other/B.xls"), {"T1", "T2", "T3"});
    bool eventsOffWhileSaving = true;
    f.app.beforeOp = [&](FakeOp op, const QString&) {
        if (op == FakeOp::SaveAs)
            eventsOffWhileSaving = eventsOffWhileSaving && !f.app.EnableEvents();
    };

    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), f.runFolder());

    // A opened once and closed when row 4 came; B opened once and closed by the final close-all.
    EXPECT_EQ(f.app.opened, (QStringList{"/data/A.xls", "/other/B.xls"}));
    EXPECT_EQ(f.app.closed.count(QStringLiteral("/data/A.xls")), 1);
    EXPECT_EQ(f.app.closeAllCount, 1);
    EXPECT_EQ(f.app.openWorkbookCount(), 0);
    EXPECT_EQ(f.savedFiles(),
              (QStringList{f.outputFile("A", "S1"), f.outputFile("A", "S2"), f.outputFile("A", "S3"),
                           f.outputFile("B", "T1"), f.outputFile("B", "T2"), f.outputFile("B", "T3")}));
    EXPECT_EQ(f.app.saves[4].sourceFile, QStringLiteral("/other/B.xls"));
    EXPECT_EQ(f.app.saves[4].sheetName, QStringLiteral("T2"));
    EXPECT_TRUE(eventsOffWhileSaving);
    EXPECT_EQ(f.tree(), (QStringList{kStamp, kStamp + "/A", kStamp + "/B"}));

    // Each row selected as it was written, row 1 at the end; then the message and the folder.
    EXPECT_EQ(f.rows.selectionHistory(), (std::vector<int>{1, 2, 3, 4, 5, 6, 1}));
    EXPECT_EQ(f.messages(), QStringList{QStringLiteral("Mission complete!")});
    EXPECT_EQ(f.seams.shell.foldersShown, QStringList{f.runFolder()});
    expectIdle(f.view, f.app);
}

TEST(SplitRunFlow, PathsThatDifferFromTheFullNameReopenTheWorkbookAtEveryRow)
{
    Fixture f;
    // Letter case counts: on this file system these are two workbooks.
    f.app.addWorkbook(QStringLiteral("/data/Book.xls"), {"S"});
    f.app.addWorkbook(QStringLiteral("/data/BOOK.xls"), {"S"});
    f.rows.addRow(QStringLiteral("/data/Book.xls"), QStringLiteral("S"));
    f.rows.addRow(QStringLiteral("/data/BOOK.xls"), QStringLiteral("S"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), f.runFolder());
    EXPECT_EQ(f.app.opened, (QStringList{"/data/Book.xls", "/data/BOOK.xls"}));
    ASSERT_EQ(f.app.saves.size(), 2u);
    EXPECT_EQ(f.app.saves[0].sourceFile, QStringLiteral("/data/Book.xls"));
    EXPECT_EQ(f.app.saves[1].sourceFile, QStringLiteral("/data/BOOK.xls"));
    EXPECT_EQ(f.savedFiles(), (QStringList{f.outputFile("Book", "S"), f.outputFile("BOOK", "S")}));

    // A row path written otherwise than the application reports it: closed and reopened at
    // every row, the output unchanged.
    Fixture g;
    g.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1", "S2", "S3"});
    g.addRows(QStringLiteral("/data/./A.xls"), {"S1", "S2", "S3"});
    EXPECT_EQ(RunSplit(g.context, g.rows, g.view), g.runFolder());
    EXPECT_EQ(g.app.openCount(), 4); // the first row opens it twice: Count 0, then a name mismatch
    EXPECT_EQ(g.savedFiles(), (QStringList{g.outputFile("A", "S1"), g.outputFile("A", "S2"), g.outputFile("A", "S3")}));
    EXPECT_EQ(g.messages(), QStringList{QStringLiteral("Mission complete!")});
}

TEST(SplitRunFlow, ProgressRunsFromOneToTwiceTheRowCount)
{
    {
        Fixture f;
        f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"Only"});
        f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("Only"));
        RunSplit(f.context, f.rows, f.view);
        ASSERT_EQ(f.view.frames.size(), 3u); // split state entered, the row, restored
        const auto& start = f.view.frames[0];
        EXPECT_TRUE(start.visible && start.busy);
        EXPECT_EQ(start.minimum, 1.0f);
        EXPECT_EQ(start.maximum, 2.0f);
        EXPECT_EQ(start.value, 1.0f);
        EXPECT_EQ(f.view.frames[1].value, 2.0f);
        EXPECT_TRUE(f.view.frames[1].busy);
        EXPECT_FALSE(f.view.frames[2].visible);
        EXPECT_EQ(f.view.value, 1.0f);
        EXPECT_EQ(f.view.maximum, 2.0f); // the maximum stays as the run left it
        expectIdle(f.view, f.app);
    }
    {
        Fixture f;
        QStringList sheets;
        for (int i = 1; i <= 50; ++i)
            sheets << QStringLiteral("S%1").arg(i);
        f.app.addWorkbook(QStringLiteral("/data/A.xls"), sheets);
        f.addRows(QStringLiteral("/data/A.xls"), sheets);
        RunSplit(f.context, f.rows, f.view);
        ASSERT_EQ(f.view.frames.size(), 52u);
        EXPECT_EQ(f.view.frames[0].maximum, 100.0f);
        EXPECT_EQ(f.view.frames[20].value, 40.0f); // after row 20
        EXPECT_EQ(f.view.frames[50].value, 100.0f);
        EXPECT_EQ(f.app.openCount(), 1);
        EXPECT_EQ(f.app.saves.size(), 50u);
    }
}

TEST(SplitRunFailures, AnExistingRunFolderFailsTheSecondRunBeforeTheSplitState)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1"});
    f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("S1"));
    ASSERT_EQ(RunSplit(f.context, f.rows, f.view), f.runFolder());
    const std::size_t framesAfterFirst = f.view.frames.size();
    const QString captionBefore = f.view.caption;

    // Same second again; and 1 November 01:02:03 after 11 January 01:02:03, which share a stamp.
    f.seams.folderChooser.answers = {f.out.path()};
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    f.context.clock = [] { return QDateTime(QDate(2008, 1, 11), QTime(1, 2, 3)); };
    f.seams.folderChooser.answers = {f.out.path()};
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), f.out.path() + QStringLiteral("/2008111123/"));
    f.context.clock = [] { return QDateTime(QDate(2008, 11, 1), QTime(1, 2, 3)); };
    f.seams.folderChooser.answers = {f.out.path()};
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());

    const QStringList m = f.messages();
    ASSERT_EQ(m.size(), 4);
    for (int i : {1, 3}) {
        EXPECT_TRUE(m[i].startsWith(QStringLiteral("Err Number: 58\r\nErr Description: "))) << m[i].toStdString();
        EXPECT_TRUE(m[i].endsWith(QStringLiteral("\r\nErr Proc: mnuSplit_Click")));
    }
    EXPECT_TRUE(m[1].contains(f.runFolder()));
    EXPECT_EQ(f.app.saves.size(), 2u);                                // nothing more written
    EXPECT_EQ(f.view.frames.size(), framesAfterFirst + 3);            // only the one good run painted
    EXPECT_EQ(f.view.caption, captionBefore);
    EXPECT_EQ(f.seams.shell.foldersShown.size(), 2);
}

TEST(SplitRunFailures, AFailureAtOneRowKeepsEarlierOutputReportsAndReturnsToIdle)
{
    Fixture f;
    f.app.writeFilesOnSave = true;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1", "S2"});
    f.app.addWorkbook(QStringLiteral("/data/B.xls"), {"T1", "T2"});
    f.addRows(QStringLiteral("/data/A.xls"), {"S1", "S2"});
    f.addRows(QStringLiteral("/data/B.xls"), {"T1", "T2"});
    f.app.failOn(FakeOp::SaveAs, QString(), err::PermissionDenied, QStringLiteral("disk says no"), 2, 1);

    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(f.savedFiles(), (QStringList{f.outputFile("A", "S1"), f.outputFile("A", "S2")}));
    EXPECT_TRUE(QFileInfo::exists(f.outputFile("A", "S2")));
    EXPECT_EQ(f.messages(), QStringList{QStringLiteral("Err Number: 70\r\nErr Description: disk says no\r\n"
                                                       "Err Proc: mnuSplit_Click")});
    EXPECT_EQ(f.rows.selectionHistory(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(f.seams.shell.foldersShown.isEmpty());
    // Not left busy, yet the workbooks stay open for the next run to close.
    expectIdle(f.view, f.app);
    EXPECT_EQ(f.app.openWorkbookCount(), 2); // B and the unsaved copy

    // The next run (a second later) finds the copy active, closes it, and goes on normally.
    f.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 8)); };
    f.seams.folderChooser.answers = {f.out.path()};
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), f.out.path() + QStringLiteral("/2008723958/"));
    EXPECT_EQ(f.app.openWorkbookCount(), 0);
    EXPECT_EQ(f.app.saves.size(), 6u);
    EXPECT_EQ(f.messages().back(), QStringLiteral("Mission complete!"));
}

TEST(SplitRunFailures, MissingSheetOrWorkbookEndsTheRunWithItsReport)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1"});
    f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("S1"));
    f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("Gone"));
    f.rows.addRow(QStringLiteral("/data/Deleted.xls"), QStringLiteral("S1"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(f.app.saves.size(), 1u);
    ASSERT_EQ(f.messages().size(), 1);
    EXPECT_TRUE(f.messages()[0].startsWith(QStringLiteral("Err Number: 9\r\n")));

    f.rows.removeRow(2);
    f.seams.folderChooser.answers = {f.out.path()};
    f.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 8)); };
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    ASSERT_EQ(f.messages().size(), 2);
    EXPECT_TRUE(f.messages()[1].startsWith(QStringLiteral("Err Number: 1004\r\n")));
    EXPECT_TRUE(f.messages()[1].contains(QStringLiteral("/data/Deleted.xls")));
    expectIdle(f.view, f.app);
}

TEST(SplitRunFailures, NamesThatWouldLeaveTheRunFolderAreRefusedBeforeTheSave)
{
    // A worksheet named "../x" (and one holding a NUL) would be saved beside the run folder.
    for (const QString& sheet : {QStringLiteral("../x"), QStringLiteral("a/b"), QString::fromUtf16(u"nul\0x", 5)}) {
        Fixture f;
        f.app.writeFilesOnSave = true;
        f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"Good", sheet});
        f.addRows(QStringLiteral("/data/A.xls"), {"Good", sheet});
        EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
        EXPECT_EQ(f.savedFiles(), QStringList{f.outputFile("A", "Good")});
        EXPECT_TRUE(f.app.copies.size() == 1);
        ASSERT_EQ(f.messages().size(), 1);
        const QString report = f.messages()[0];
        EXPECT_TRUE(report.startsWith(QStringLiteral("Err Number: 75\r\n")));
        EXPECT_TRUE(report.contains(QStringLiteral("worksheet \"") + QString(sheet).replace(QChar(u'\0'), "\\0")))
            << report.toStdString();
        EXPECT_TRUE(report.endsWith(QStringLiteral("Err Proc: mnuSplit_Click")));
        EXPECT_EQ(f.tree(), (QStringList{kStamp, kStamp + "/A", kStamp + "/A/Good_Splitted_at_" + kStamp + ".xls"}));
        expectIdle(f.view, f.app);
    }

    // A workbook named "...xls" has the short name "..": its folder would be the output folder.
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/...xls"), {"S"});
    f.rows.addRow(QStringLiteral("/data/...xls"), QStringLiteral("S"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_TRUE(f.app.saves.empty());
    ASSERT_EQ(f.messages().size(), 1);
    EXPECT_TRUE(f.messages()[0].contains(QStringLiteral("\"...xls\"")));
    EXPECT_TRUE(f.messages()[0].endsWith(QStringLiteral("Err Proc: mnuSplit_Click")));
    EXPECT_EQ(f.tree(), QStringList{kStamp});

    // Nothing left once the last four characters go: the row fails with one report and the run
    // stops; nothing is written into the run folder itself.
    for (const QString& name : {QStringLiteral(".xls"), QStringLiteral("xls"), QStringLiteral("axls")}) {
        Fixture g;
        g.app.addWorkbook("/data/" + name, {"S"});
        g.app.addWorkbook(QStringLiteral("/data/Good.xls"), {"S"});
        g.rows.addRow("/data/" + name, QStringLiteral("S"));
        g.rows.addRow(QStringLiteral("/data/Good.xls"), QStringLiteral("S"));
        EXPECT_EQ(RunSplit(g.context, g.rows, g.view), QString());
        EXPECT_TRUE(g.app.saves.empty());
        ASSERT_EQ(g.messages().size(), 1) << name.toStdString();
        EXPECT_TRUE(g.messages()[0].startsWith("Err Number: 5\r\nErr Description: the workbook \"" + name + "\""));
        EXPECT_TRUE(g.messages()[0].endsWith(QStringLiteral("Err Proc: mnuSplit_Click")));
        EXPECT_EQ(g.tree(), QStringList{kStamp});
    }
}

TEST(SplitRunFlow, WorkbooksOfOneShortNameGetAFolderEach)
{
    Fixture f;
    for (const char* path : {"/a/book.xls", "/b/book.xls", "/c/book.xls"})
        f.app.addWorkbook(QString::fromLatin1(path), {"S", "T"});
    f.rows.addRow(QStringLiteral("/a/book.xls"), QStringLiteral("S"));
    f.rows.addRow(QStringLiteral("/b/book.xls"), QStringLiteral("S"));
    f.rows.addRow(QStringLiteral("/a/book.xls"), QStringLiteral("T")); // its folder again
    f.rows.addRow(QStringLiteral("/c/book.xls"), QStringLiteral("S"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), f.runFolder());
    EXPECT_EQ(f.savedFiles(), (QStringList{f.outputFile("book", "S"), f.outputFile("book (2)", "S"),
                                           f.outputFile("book", "T"), f.outputFile("book (3)", "S")}));
    EXPECT_EQ(f.messages(), QStringList{QStringLiteral("Mission complete!")});
}

TEST(SplitRunFailures, AFileManagerThatCannotStartIsReportedAfterTheRun)
{
    struct NoFileManager : test::FakeShell {
        bool openFolder(const QString& folder) override
        {
            foldersShown << folder;
            return false;
        }
    } shell;
    Fixture f;
    f.seams.Seams::shell = &shell;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S1"});
    f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("S1"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    EXPECT_EQ(f.app.saves.size(), 1u);
    EXPECT_EQ(shell.foldersShown, QStringList{f.runFolder()});
    const QStringList m = f.messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[0], QStringLiteral("Mission complete!"));
    EXPECT_TRUE(m[1].startsWith(QStringLiteral("Err Number: 53\r\n")));
    EXPECT_TRUE(m[1].endsWith(QStringLiteral("Err Proc: mnuSplit_Click")));
    expectIdle(f.view, f.app);
}

TEST(SplitRunFailures, MoreRowsThanASixteenBitCountOverflow)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/A.xls"), {"S"});
    for (int i = 0; i < 32768; ++i)
        f.rows.addRow(QStringLiteral("/data/A.xls"), QStringLiteral("S"));
    EXPECT_EQ(RunSplit(f.context, f.rows, f.view), QString());
    ASSERT_EQ(f.messages().size(), 1);
    EXPECT_TRUE(f.messages()[0].startsWith(QStringLiteral("Err Number: 6\r\n")));
    EXPECT_TRUE(f.app.saves.empty());
    EXPECT_EQ(f.tree(), QStringList{kStamp}); // the run folder was made before the count was taken
    expectIdle(f.view, f.app);
}
