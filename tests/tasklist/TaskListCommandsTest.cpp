// Listing workbooks into rows, adding files and folders, removing and clearing: the task list's
// rules driven without a window, on the scripted spreadsheet fake.
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"
#include "support/ConfigFixture.h"

#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"

#include <gtest/gtest.h>

using namespace bf;
using namespace bf::tasklist;
using bf::test::FakeOp;

namespace {

QStringList column(const InMemoryTaskRows& rows, bool paths)
{
    QStringList names;
    for (int i = 1; i <= rows.rowCount(); ++i)
        names << (paths ? rows.sourceFileName(i) : rows.worksheetName(i));
    return names;
}

struct Fixture {
    Fixture() { context.application = &app; }
    QStringList messages() const { return seams.messageBox.texts(); }
    test::FakeSeams seams;
    AppContext context{seams};
    test::InstalledConfig config{context, test::standardConfigLines()};
    test::FakeSpreadsheet app;
    InMemoryTaskRows rows;
};

} // namespace

TEST(UpdateListView, ListsEveryNameableSheetUnderOnePathOnceAndReportsFailuresKeepingRowsAdded)
{
    Fixture f;
    f.app.addWorkbook("/data/Three.xls", {"First", "Bad?Name", "Лист1"});
    f.app.addWorkbook("/data/three.xls", {"Other"});
    f.app.addWorkbook("/data/charts.xls", {});
    f.app.addWorkbook("/data/partial.xls", {"A", "B", "C", "D"});
    bool busyWhileOpening = true;
    f.app.beforeOp = [&](FakeOp op, const QString& subject) {
        busyWhileOpening &= op != FakeOp::Open || f.rows.busy();
        if (op == FakeOp::WorksheetName && subject == "C")
            throw Error(err::PermissionDenied, "locked");
    };
    // The same path again is already listed; in other letter case it names another file. The
    // workbook failing at its third sheet keeps two rows, which block a second attempt.
    for (const char* path : {"/data/Three.xls", "/data/Three.xls", "/data/three.xls", "/data/charts.xls",
                             "/data/missing.xls", "/data/partial.xls", "/data/partial.xls"})
        UpdateListView(f.context, f.rows, path);

    // A name the list cannot hold ("?") could not be found again when splitting: left out.
    EXPECT_EQ(column(f.rows, false), (QStringList{"First", "Лист1", "Other", "A", "B"}));
    EXPECT_EQ(column(f.rows, true), (QStringList{"/data/Three.xls", "/data/Three.xls", "/data/three.xls",
                                                 "/data/partial.xls", "/data/partial.xls"}));
    EXPECT_EQ(f.app.opened, (QStringList{"/data/Three.xls", "/data/three.xls", "/data/charts.xls",
                                         "/data/missing.xls", "/data/partial.xls"}));
    EXPECT_EQ(f.app.closed, (QStringList{"/data/Three.xls", "/data/three.xls", "/data/charts.xls", "/data/partial.xls"}));
    EXPECT_TRUE(busyWhileOpening);
    EXPECT_FALSE(f.rows.busy());
    ASSERT_EQ(f.messages().size(), 2);
    EXPECT_TRUE(f.messages()[0].startsWith("Error Number: 1004\r\n Error Description: "));
    EXPECT_TRUE(f.messages()[0].endsWith("\r\nError File Name: /data/missing.xls"));
    EXPECT_EQ(f.messages()[1], "Error Number: 70\r\n Error Description: locked\r\nError File Name: /data/partial.xls");

    // A column width out of range is an error, not an undefined conversion.
    const std::pair<double, int> roundings[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {4185.49, 4185}};
    for (const auto& [value, rounded] : roundings)
        EXPECT_EQ(RoundHalfEven(value), rounded);
    EXPECT_THROW(RoundHalfEven(1e12), Error);
}

TEST(AddCommands, OnlyVisibleWorkbookFilesAreListedAndAFailingWorkbookDoesNotStopTheRest)
{
    Fixture f;
    test::TempDir dir;
    for (const char* name : {"a.xls", "B.XLS", "c.Xls", "D.XLSM", "e.txt", ".hidden.xls", "fxls", "g.xlsb", "sub.xls/inner.xls"})
        dir.write(name, "x");
    const QString folder = dir.path() + '/';
    f.app.addWorkbook(folder + "a.xls", {"A1", "A2"}); // B.XLS cannot be opened
    f.app.addWorkbook(folder + "c.Xls", {"C1"});
    f.app.addWorkbook(folder + "D.XLSM", {"D1"});
    f.app.addWorkbook(folder + "fxls", {"F"});
    f.app.addWorkbook(folder + "sub.xls/inner.xls", {"I"}); // a sub-folder is not searched

    f.seams.folderChooser.answers = {dir.path(), dir.path()}; // the second time adds nothing new
    for (int i = 0; i < 3; ++i)                                // the third time is cancelled
        AddFolder(f.context, f.rows);
    EXPECT_EQ(f.seams.folderChooser.prompts, QStringList(3, "Add all Excel files in the folder"));
    // By name, letter case aside, whatever order the file system keeps them in.
    EXPECT_EQ(f.app.opened, (QStringList{folder + "a.xls", folder + "B.XLS", folder + "c.Xls", folder + "D.XLSM", folder + "B.XLS"}));
    EXPECT_EQ(f.rows.rowCount(), 4);
    ASSERT_EQ(f.messages().size(), 2);
    EXPECT_TRUE(f.messages()[1].endsWith("Error File Name: " + folder + "B.XLS"));

    // A file: by its last three letters; a dropped folder as AddFolder, a file as AddFile.
    f.rows.clearRows();
    f.seams.fileOpenDialog.answers = {folder + "g.xlsb", folder + "fxls"};
    for (int i = 0; i < 3; ++i) // the third time is cancelled
        AddFile(f.context, f.rows);
    EXPECT_EQ(f.seams.fileOpenDialog.filters, QStringList(3, "Excel Files (*.xls;*.xlsx;*.xlsm)"));
    AddDropped(f.context, f.rows, {folder + "sub.xls", folder + "e.txt", folder + "c.Xls"});
    EXPECT_EQ(column(f.rows, false), (QStringList{"F", "I", "C1"}));

    // A folder that cannot be listed, then a chooser that fails (no folder to name yet).
    f.seams.folderChooser.answers = {"/no/such/folder"};
    AddFolder(f.context, f.rows);
    f.seams.Seams::folderChooser = nullptr;
    AddFolder(f.context, f.rows);
    ASSERT_EQ(f.messages().size(), 4);
    EXPECT_TRUE(f.messages()[2].startsWith("Error Number: 76\r\n Error Description: "));
    EXPECT_TRUE(f.messages()[2].endsWith("\r\nError Folder Name: /no/such/folder/"));
    EXPECT_TRUE(f.messages()[3].endsWith("\r\nError Folder Name: "));
}

TEST(RemoveAndClear, RemoveSelectsTheNextRowAndClearOrExitAskWithNoAsTheDefault)
{
    test::FakeSeams seams;
    InMemoryTaskRows rows;
    ClearList(seams, rows); // an empty list: nothing asked
    EXPECT_TRUE(ConfirmExit(seams, rows));
    for (const char* s : {"1", "2", "3"})
        rows.addRow("/p.xls", s);
    rows.setCurrentRow(2);
    RemoveItem(rows);
    EXPECT_EQ(column(rows, false), (QStringList{"1", "3"}));
    EXPECT_EQ(rows.selectedRow(), 2);
    ClearList(seams, rows); // the default answer, No, keeps the rows
    EXPECT_FALSE(ConfirmExit(seams, rows));
    EXPECT_EQ(rows.rowCount(), 2);
    EXPECT_EQ(seams.messageBox.texts(), (QStringList{"Do you really want to clear the list", "Do you really want to exit?"}));
    for (const test::ShownMessage& q : seams.messageBox.shown)
        EXPECT_TRUE(q.buttons == platform::MsgButtons::YesNo && q.defaultButton == platform::MsgDefault::Second);
}
