// Listing workbooks into rows, sizing the columns, adding files and folders, removing and
// clearing: the task list's rules driven without a window, on the scripted spreadsheet fake.
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"
#include "tasklist/TaskListTestSupport.h"

#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::tasklist;
using bf::test::FakeOp;

namespace {

QStringList sheetsOf(const InMemoryTaskRows& rows)
{
    QStringList names;
    for (int i = 1; i <= rows.rowCount(); ++i)
        names << rows.worksheetName(i);
    return names;
}

QStringList pathsOf(const InMemoryTaskRows& rows)
{
    QStringList paths;
    for (int i = 1; i <= rows.rowCount(); ++i)
        paths << rows.sourceFileName(i);
    return paths;
}

struct Fixture {
    Fixture() { context.application = &app; }
    test::FakeSeams seams;
    AppContext context{seams};
    test::InstalledConfig config{context, test::standardConfigLines()};
    test::FakeSpreadsheet app;
    InMemoryTaskRows rows;
};

} // namespace

TEST(UpdateListView, ListsEverySheetInOrderUnderOnePathAndClosesTheWorkbook)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/Three.xls"), {"First", "Second", "Third"});
    bool busyWhileOpening = false;
    f.app.beforeOp = [&](FakeOp op, const QString&) {
        if (op == FakeOp::Open)
            busyWhileOpening = f.rows.busy();
    };

    UpdateListView(f.context, f.rows, QStringLiteral("/data/Three.xls"));

    EXPECT_EQ(sheetsOf(f.rows), (QStringList{"First", "Second", "Third"}));
    EXPECT_EQ(pathsOf(f.rows), QStringList(3, QStringLiteral("/data/Three.xls")));
    EXPECT_TRUE(busyWhileOpening);
    EXPECT_FALSE(f.rows.busy());
    EXPECT_EQ(f.app.closed, QStringList{"/data/Three.xls"});
    EXPECT_EQ(f.app.openWorkbookCount(), 0);
    EXPECT_TRUE(f.seams.messageBox.shown.empty());

    // The same path again is already listed: nothing is opened or shown. In other letter case
    // it names another file, which is listed.
    UpdateListView(f.context, f.rows, QStringLiteral("/data/Three.xls"));
    EXPECT_EQ(f.app.openCount(), 1);
    EXPECT_EQ(f.rows.rowCount(), 3);
    f.app.addWorkbook(QStringLiteral("/data/three.xls"), {"Other"});
    UpdateListView(f.context, f.rows, QStringLiteral("/data/three.xls"));
    EXPECT_EQ(f.rows.rowCount(), 4);
    EXPECT_EQ(f.rows.worksheetName(4), QStringLiteral("Other"));
    EXPECT_TRUE(f.seams.messageBox.shown.empty());
}

TEST(UpdateListView, SkipsUnrepresentableNamesAndWorkbooksWithoutWorksheets)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/data/q.xls"), {"Good", "Bad?Name", QString::fromUtf8("Лист1"), "工作表"});
    f.app.addWorkbook(QStringLiteral("/data/charts.xls"), {});

    UpdateListView(f.context, f.rows, QStringLiteral("/data/q.xls"));
    UpdateListView(f.context, f.rows, QStringLiteral("/data/charts.xls"));

    EXPECT_EQ(sheetsOf(f.rows), (QStringList{"Good", QString::fromUtf8("Лист1"), QString::fromUtf8("工作表")}));
    EXPECT_EQ(f.app.closed, (QStringList{"/data/q.xls", "/data/charts.xls"}));
    EXPECT_TRUE(f.seams.messageBox.shown.empty());
}

TEST(UpdateListView, FailuresAreReportedWithThePathAndKeepRowsAlreadyAdded)
{
    Fixture f;
    // Cannot open: one file report, nothing added, default pointer.
    UpdateListView(f.context, f.rows, QStringLiteral("/data/missing.xls"));
    ASSERT_EQ(f.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.startsWith(QStringLiteral("Error Number: 1004\r\n Error Description: ")));
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.endsWith(QStringLiteral("\r\nError File Name: /data/missing.xls")));
    EXPECT_EQ(f.seams.messageBox.shown[0].buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(f.rows.rowCount(), 0);
    EXPECT_FALSE(f.rows.busy());

    // Failing on the third worksheet's name: two rows stay, the workbook is closed anyway, and
    // the kept rows block a second attempt.
    f.seams.messageBox.shown.clear();
    f.app.addWorkbook(QStringLiteral("/data/partial.xls"), {"A", "B", "C", "D"});
    f.app.failOn(FakeOp::WorksheetName, QStringLiteral("C"), err::PermissionDenied, QStringLiteral("locked"));
    UpdateListView(f.context, f.rows, QStringLiteral("/data/partial.xls"));
    EXPECT_EQ(sheetsOf(f.rows), (QStringList{"A", "B"}));
    ASSERT_EQ(f.seams.messageBox.texts(),
              QStringList{"Error Number: 70\r\n Error Description: locked\r\nError File Name: /data/partial.xls"});
    EXPECT_EQ(f.app.openWorkbookCount(), 0);
    EXPECT_FALSE(f.rows.busy());
    UpdateListView(f.context, f.rows, QStringLiteral("/data/partial.xls"));
    EXPECT_EQ(f.app.openCount(), 2);

    // No workbook handed back: the configured text alone.
    f.seams.messageBox.shown.clear();
    f.app.addNullWorkbook(QStringLiteral("/data/null.xls"));
    UpdateListView(f.context, f.rows, QStringLiteral("/data/null.xls"));
    EXPECT_EQ(f.seams.messageBox.texts(), QStringList{"The workbook could not be opened."});
    EXPECT_EQ(f.rows.rowCount(), 2);
    EXPECT_FALSE(f.rows.busy());
}

TEST(UpdateListView, MissingOpenFailureTextShowsAnEmptyBox)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config{context, {QStringLiteral("DisplayExcel=0")}};
    test::FakeSpreadsheet app;
    context.application = &app;
    InMemoryTaskRows rows;
    app.addNullWorkbook(QStringLiteral("/data/null.xls"));
    UpdateListView(context, rows, QStringLiteral("/data/null.xls"));
    EXPECT_EQ(seams.messageBox.texts(), QStringList{QString()});
}

TEST(ColumnWidths, GrowToMeasuredTextPlus200RoundedHalfToEvenAndNeverShrink)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(4185.49), 4185);
    EXPECT_THROW(RoundHalfEven(1e12), Error);

    Fixture f;
    f.rows.twipsPerChar = 150.25; // 30 characters: 4507.5 + 200 = 4707.5 -> 4708 (even)
    const QString longName = QString(30, QLatin1Char('W'));
    f.app.addWorkbook(QStringLiteral("/d/a.xls"), {longName, "x"});
    UpdateListView(f.context, f.rows, QStringLiteral("/d/a.xls"));
    EXPECT_EQ(f.rows.columnWidthTwips(1), 4185); // the short path fits already
    EXPECT_EQ(f.rows.columnWidthTwips(2), 4708);

    // Shorter names, removals and clearing leave it wide.
    f.app.addWorkbook(QStringLiteral("/d/b.xls"), {"y"});
    UpdateListView(f.context, f.rows, QStringLiteral("/d/b.xls"));
    f.rows.selectRow(1);
    RemoveItem(f.rows);
    f.seams.messageBox.answers.push_back(platform::MsgResult::Yes);
    ClearList(f.seams, f.rows);
    EXPECT_EQ(f.rows.columnWidthTwips(2), 4708);

    // A long path widens column 1.
    const QString longPath = QStringLiteral("/d/") + QString(40, QLatin1Char('p')) + QStringLiteral(".xls");
    f.app.addWorkbook(longPath, {"s"});
    UpdateListView(f.context, f.rows, longPath);
    EXPECT_EQ(f.rows.columnWidthTwips(1), RoundHalfEven(150.25 * longPath.size() + 200));

    // A failing measurement is reported under its own name and changes nothing.
    AdjustColumnWidth(f.seams, f.rows, 3, QStringLiteral("text"));
    ASSERT_FALSE(f.seams.messageBox.shown.empty());
    EXPECT_TRUE(f.seams.messageBox.shown.back().text.endsWith(QStringLiteral("Err Proc: AdjustColumnWidth")));
}

TEST(AddFile, CancelOtherEndingsAndTheLastThreeLettersRule)
{
    Fixture f;
    f.app.addWorkbook(QStringLiteral("/d/Book1.XLS"), {"S1"});
    f.app.addWorkbook(QStringLiteral("/d/fooxls"), {"S2"});

    AddFile(f.context, f.rows); // cancelled
    EXPECT_EQ(f.seams.fileOpenDialog.filters, QStringList{"Excel Files (*.xls;*.xlsx;*.xlsm)"});
    f.seams.fileOpenDialog.answers = {QStringLiteral("/d/book1.xlsb"), QStringLiteral("/d/Book1.XLS"),
                                      QStringLiteral("/d/fooxls"), QStringLiteral("/d/gone.xls")};
    for (int i = 0; i < 4; ++i)
        AddFile(f.context, f.rows);

    EXPECT_EQ(f.app.opened, (QStringList{"/d/Book1.XLS", "/d/fooxls", "/d/gone.xls"}));
    EXPECT_EQ(sheetsOf(f.rows), (QStringList{"S1", "S2"}));
    ASSERT_EQ(f.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.endsWith(QStringLiteral("Error File Name: /d/gone.xls")));
}

TEST(AddFolder, ListsVisibleXlsFilesOnlyAndGoesOnPastAFailingWorkbook)
{
    Fixture f;
    test::TempDir dir;
    for (const char* name : {"a.xls", "B.XLS", "c.Xls", "D.XLSX", "e.txt", ".hidden.xls", "fxls", "g.xlsb"})
        dir.write(QString::fromLatin1(name), "x");
    QDir(dir.path()).mkdir(QStringLiteral("sub.xls"));
    dir.write(QStringLiteral("sub.xls/inner.xls"), "x");

    const QString folder = dir.path() + '/';
    f.app.addWorkbook(folder + "a.xls", {"A1", "A2"});
    // B.XLS is not scripted: it cannot be opened.
    f.app.addWorkbook(folder + "c.Xls", {"C1"});
    f.app.addWorkbook(folder + "D.XLSX", {"D1"});

    f.seams.folderChooser.answers = {dir.path()};
    AddFolder(f.context, f.rows);

    EXPECT_EQ(f.seams.folderChooser.prompts, QStringList{"Add all Excel files in the folder"});
    QStringList opened = f.app.opened;
    opened.sort();
    EXPECT_EQ(opened, (QStringList{folder + "B.XLS", folder + "D.XLSX", folder + "a.xls", folder + "c.Xls"}));
    // Rows of one workbook stand together, in the order the files were opened.
    QStringList expectedPaths;
    for (const QString& p : f.app.opened)
        if (!p.endsWith(QStringLiteral("B.XLS")))
            expectedPaths << QStringList(p.endsWith(QStringLiteral("a.xls")) ? 2 : 1, p);
    EXPECT_EQ(pathsOf(f.rows), expectedPaths);
    ASSERT_EQ(f.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.endsWith("Error File Name: " + folder + "B.XLS"));

    // The same folder again adds nothing and shows nothing new (B still fails).
    f.seams.messageBox.shown.clear();
    f.seams.folderChooser.answers = {folder};
    AddFolder(f.context, f.rows);
    EXPECT_EQ(f.rows.rowCount(), 4);
    EXPECT_EQ(f.seams.messageBox.shown.size(), 1u);

    // Cancel: nothing.
    f.seams.messageBox.shown.clear();
    AddFolder(f.context, f.rows);
    EXPECT_TRUE(f.seams.messageBox.shown.empty());
}

TEST(AddFolder, FolderFailuresNameTheFolderWithOneTrailingSeparator)
{
    Fixture f;
    f.seams.folderChooser.answers = {QStringLiteral("/no/such/folder"), QStringLiteral("/no/such/root/")};
    AddFolder(f.context, f.rows);
    AddFolder(f.context, f.rows);
    ASSERT_EQ(f.seams.messageBox.shown.size(), 2u);
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.startsWith(QStringLiteral("Error Number: 76\r\n Error Description: ")));
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.endsWith(QStringLiteral("\r\nError Folder Name: /no/such/folder/")));
    EXPECT_TRUE(f.seams.messageBox.shown[1].text.endsWith(QStringLiteral("\r\nError Folder Name: /no/such/root/")));

    // The file-system root already ends in a separator: listed as it is, never with "//".
    f.seams.messageBox.shown.clear();
    f.seams.folderChooser.answers = {QStringLiteral("/")};
    AddFolder(f.context, f.rows);
    EXPECT_TRUE(f.seams.messageBox.shown.empty()) << f.seams.messageBox.texts().join('|').toStdString();
    for (const QString& opened : f.app.opened)
        EXPECT_FALSE(opened.startsWith(QStringLiteral("//"))) << opened.toStdString();

    // A chooser that fails: the report names no folder yet.
    f.seams.Seams::folderChooser = nullptr;
    f.seams.messageBox.shown.clear();
    AddFolder(f.context, f.rows);
    ASSERT_EQ(f.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(f.seams.messageBox.shown[0].text.endsWith(QStringLiteral("\r\nError Folder Name: ")));
}

TEST(AddDropped, FoldersAsAddFolderFilesAsAddFile)
{
    Fixture f;
    test::TempDir dir;
    dir.write(QStringLiteral("in/x.xls"), "x");
    dir.write(QStringLiteral("in/y.doc"), "x");
    const QString single = dir.write(QStringLiteral("single.XLS"), "x");
    const QString other = dir.write(QStringLiteral("notes.txt"), "x");
    f.app.addWorkbook(dir.path() + "/in/x.xls", {"X"});
    f.app.addWorkbook(single, {"S"});

    AddDropped(f.context, f.rows, {dir.path() + "/in", other, single});
    EXPECT_EQ(sheetsOf(f.rows), (QStringList{"X", "S"}));
    EXPECT_EQ(f.app.openCount(), 2);
    EXPECT_TRUE(f.seams.messageBox.shown.empty());
}

TEST(RemoveAndClear, RemoveTakesTheCurrentRowAndSelectsTheNext)
{
    test::FakeSeams seams;
    InMemoryTaskRows rows;
    RemoveItem(rows); // empty: nothing
    for (const char* s : {"1", "2", "3"})
        rows.addRow(QStringLiteral("/p.xls"), QString::fromLatin1(s));

    // Rows but no current row: error 91, nothing removed.
    try {
        RemoveItem(rows);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::ObjectVariableNotSet);
    }
    EXPECT_EQ(rows.rowCount(), 3);

    rows.setCurrentRow(2);
    RemoveItem(rows);
    EXPECT_EQ(sheetsOf(rows), (QStringList{"1", "3"}));
    EXPECT_EQ(rows.selectedRow(), rows.currentRow());
    EXPECT_NE(rows.currentRow(), 0);
    RemoveItem(rows);
    RemoveItem(rows);
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_TRUE(seams.messageBox.shown.empty());
}

TEST(RemoveAndClear, ClearAsksOnlyWithRowsAndNoKeepsThem)
{
    test::FakeSeams seams;
    InMemoryTaskRows rows;
    ClearList(seams, rows);
    EXPECT_TRUE(ConfirmExit(seams, rows));
    EXPECT_TRUE(seams.messageBox.shown.empty());

    rows.addRow(QStringLiteral("/p.xls"), QStringLiteral("s"));
    rows.setColumnWidthTwips(2, 5000);
    ClearList(seams, rows); // default answer: No
    ASSERT_EQ(seams.messageBox.shown.size(), 1u);
    const test::ShownMessage& q = seams.messageBox.shown[0];
    EXPECT_EQ(q.text, QStringLiteral("Do you really want to clear the list"));
    EXPECT_EQ(q.buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(q.icon, platform::MsgIcon::Question);
    EXPECT_EQ(q.defaultButton, platform::MsgDefault::Second);
    EXPECT_EQ(rows.rowCount(), 1);

    EXPECT_FALSE(ConfirmExit(seams, rows));
    EXPECT_EQ(seams.messageBox.shown.back().text, QStringLiteral("Do you really want to exit?"));
    EXPECT_EQ(seams.messageBox.shown.back().defaultButton, platform::MsgDefault::Second);
    seams.messageBox.answers = {platform::MsgResult::Yes};
    EXPECT_TRUE(ConfirmExit(seams, rows));

    seams.messageBox.answers = {platform::MsgResult::Yes};
    ClearList(seams, rows);
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_EQ(rows.columnWidthTwips(2), 5000);
}
