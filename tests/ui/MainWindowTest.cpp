// The main window: every way into its commands (toolbar, menus, the list's keys and buttons) and
// what each one does as the fakes see it; the list; closing; the load sequence's failures.
#include "ui/TaskListWidget.h"
#include "ui/frmMain.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <gtest/gtest.h>

using namespace bf;
using bf::ui::frmMain;

namespace {

QStringList entries(const QMenu& menu)
{
    QStringList list;
    for (QAction* a : menu.actions())
        if (a->isVisible())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
}

void addRows(test::WindowEnvironment& env, frmMain& w, const QStringList& sheets)
{
    env.spreadsheet.addWorkbook(QStringLiteral("/d/book.xls"), sheets);
    env.seams.fileOpenDialog.answers = {QStringLiteral("/d/book.xls")};
    w.mnuAddFile_Click();
    env.seams.fileOpenDialog.filters.clear();
}

// "tool:KEY" clicks a toolbar button, "call:KEY" hands the toolbar a key, "menu:NAME" picks a menu
// entry, "key:KEYS" presses keys in the list, "mouse:Right|Left" clicks its current row. The list
// holds the worksheets 1, 2, 3 with the second current; every question is answered Yes, no file or
// folder is chosen.
QStringList whatDoorDoes(const QString& door, test::FakeShell::Outcome opens = test::FakeShell::Opens)
{
    test::WindowEnvironment env;
    env.seams.shell.opens = opens;
    frmMain w(env.context);
    QStringList seen;
    w.popupPresenter = [&](QMenu& m) { seen << "popup " + entries(m).join(','); };
    w.dialogPresenter = [&](QDialog& d) { seen << "dialog " + d.windowTitle(); };
    QObject::connect(&w, &frmMain::unloaded, [&] { seen << "unloaded"; });
    w.show();
    addRows(env, w, {"1", "2", "3"});
    w.rows().selectRow(2);
    env.seams.messageBox.answers = {platform::MsgResult::Yes};
    const QString kind = door.section(':', 0, 0), name = door.section(':', 1);
    const QKeyCombination key = QKeySequence::fromString(name)[0];
    for (QAction* a : w.tlbMain->actions())
        if (kind == "tool" && a->property("key").toString() == name && !a->isSeparator())
            QTest::mouseClick(w.tlbMain->widgetForAction(a), Qt::LeftButton);
    if (kind == "call")
        w.tlbMain_ButtonClick(name);
    if (kind == "menu")
        w.findChild<QAction*>(name)->trigger();
    if (kind == "key")
        QTest::keyClick(w.lvwTask, key.key(), key.keyboardModifiers());
    if (kind == "mouse")
        QTest::mouseClick(w.lvwTask->viewport(), name == "Right" ? Qt::RightButton : Qt::LeftButton, {},
                          w.lvwTask->visualRect(w.lvwTask->currentIndex()).center());
    QCoreApplication::processEvents();
    const auto note = [&](const QString& what, QStringList items) {
        for (QString& item : items)
            seen << what + item.replace("\r\n", "|").replace(env.appFolder.path(), "APP");
    };
    note("file ", env.seams.fileOpenDialog.filters);
    note("folder ", env.seams.folderChooser.prompts);
    note("msg ", env.seams.messageBox.texts());
    note("open ", env.seams.shell.opened);
    const int current = w.rows().currentRow();
    const QString list = QStringLiteral("rows %1 at %2").arg(w.rows().rowCount()).arg(current ? w.rows().worksheetName(current) : "-");
    return list == "rows 3 at 2" ? seen : seen << list; // the list when it changed
}

} // namespace

TEST(MainWindow, EachDoorReachesItsHandler)
{
    const QStringList split{"folder Please select output folder", "msg Please select a output folder and try again"};
    const QStringList settings{"dialog Options"}, help{"open APP/help/help.chm"};
    const QStringList home{"open https://brakenfold.example.org/"}, removed{"rows 2 at 3"}, nothing{};
    const QStringList exit{"unloaded", "msg Do you really want to exit?"}, addFile{"file Excel Files (*.xls;*.xlsx;*.xlsm)"};
    const QStringList addFolder{"folder Add all Excel files in the folder"}, clear{"msg Do you really want to clear the list", "rows 0 at -"};
    const QStringList popup{"popup Split,-,Add File,Add Folder,Remove Item,Clear List"};
    const QString unknown = "msg Err Number: 438|Err Description: Object doesn't support this property or method: %1|"
                            "Err Proc: tlbMain_ButtonClick";
    const std::pair<const char*, QStringList> doors[] = {
        {"tool:mnuFile", {"popup Add File,Add Folder"}}, {"tool:mnuEdit", {"popup Remove Item,Clear List"}},
        {"tool:mnuSplit_Click", split}, {"menu:mnuSplit", split}, {"menu:mnuPopupSplit", split},
        {"tool:mnuSettings_Click", settings}, {"menu:mnuSettings", settings},
        {"tool:mnuApplicationHelp_Click", help}, {"menu:mnuApplicationHelp", help},
        {"tool:mnuVisitHomePage_Click", home}, {"menu:mnuVisitHomePage", home},
        {"tool:mnuExit_Click", exit}, {"menu:mnuExit", exit},
        {"menu:mnuAddFile", addFile}, {"menu:mnuPopupAddFile", addFile},
        {"menu:mnuAddFolder", addFolder}, {"menu:mnuPopupAddFolder", addFolder},
        {"menu:mnuRemoveItem", removed}, {"menu:mnuPopupRemoveItem", removed},
        {"menu:mnuClearList", clear}, {"menu:mnuPopupClearList", clear},
        {"menu:mnuSupport", {"open mailto:support@brakenfold.example.org"}},
        {"menu:mnuAbout", {"dialog About Brakenfold"}},
        {"call:mnuNoSuchHandler", {unknown.arg("mnuNoSuchHandler")}},
        {"call:mnusplit_click", {unknown.arg("mnusplit_click")}}, // keys are compared exactly
        {"key:Del", removed}, {"key:Shift+Del", removed}, {"key:F2", nothing},
        {"key:Shift+F10", popup}, {"key:Menu", popup}, {"key:Ctrl+F10", nothing}, {"mouse:Right", popup}, {"mouse:Left", nothing},
        {"key:F1", help}, {"key:Ctrl+Shift+F1", help}, // the help once, whatever the modifiers
    };
    for (const auto& [door, expected] : doors)
        EXPECT_EQ(whatDoorDoes(QString::fromLatin1(door)).join(" / ").toStdString(), expected.join(" / ").toStdString()) << door;
}

// An opener that cannot start; one that fails once started is the About box test's.
TEST(MainWindow, AnAddressNoProgramOpensIsNamedInAMessage)
{
    for (const QString address : {"https://brakenfold.example.org/", "mailto:support@brakenfold.example.org"})
        EXPECT_EQ(whatDoorDoes(address.startsWith("mailto") ? "menu:mnuSupport" : "menu:mnuVisitHomePage", test::FakeShell::CannotStart),
                  (QStringList{"msg The address could not be opened: no program on this computer opens \"" + address + "\".",
                               "open " + address}));
}

TEST(MainWindow, TheFilePopupHidesExitOnlyWhileItIsShownEvenWhenItFails)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    EXPECT_TRUE(w.hasHandler(QStringLiteral("mnuSplit_Click")) && !w.hasHandler(QStringLiteral("mnusplit_click")));
    QStringList shown;
    w.popupPresenter = [&](QMenu& menu) {
        shown = entries(menu);
        throw Error(err::PermissionDenied, QStringLiteral("menu failed"));
    };
    w.tlbMain_ButtonClick(QStringLiteral("mnuFile"));
    EXPECT_EQ(shown, (QStringList{"Add File", "Add Folder"}));
    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Err Number: 70\r\nErr Description: menu failed\r\nErr Proc: tlbMain_ButtonClick"});
    EXPECT_EQ(entries(*w.mnuFile), (QStringList{"Add File", "Add Folder", "-", "Exit"}));
}

TEST(MainWindow, TheSessionsEndAsksWhileRowsRemainIfItMay)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    addRows(env, w, {"only"});
    EXPECT_FALSE(w.EndSession(true)); // No, the default, keeps everything
    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Do you really want to exit?"});
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.EndSession(false)); // nobody may be asked: it ends without a question
    EXPECT_EQ(env.seams.messageBox.shown.size(), 1u);
    EXPECT_FALSE(w.isVisible());
}

TEST(MainWindow, EachFailingLoadStepIsReportedAndTheWindowIsBuiltAsFarAsItGot)
{
    const std::pair<QString, QStringList> cases[] = {
        {"", {"'Brakenfold 1.0.5' buttons 10 columns 2"}},
        {"frmMainCaption=", {"caption missing", "'' buttons 0 columns 0"}},
        {"Split.ico", {"Err Number: 53|Err Proc: InitImageList", "no image list", "'Brakenfold 1.0.5' buttons 0 columns 0"}},
        {"frmMain.ico", {"Err Number: 53|Err Proc: Form_Load", "'' buttons 0 columns 0"}},
    };
    for (const auto& [spoil, expected] : cases) {
        QStringList config = test::standardConfigLines();
        config.removeIf([&](const QString& l) { return !spoil.isEmpty() && l.startsWith(spoil); });
        test::WindowEnvironment env(config);
        QFile::remove(env.appFolder.path() + "/Icon/" + spoil);
        frmMain w(env.context);
        QStringList seen;
        for (const QString& text : env.seams.messageBox.texts())
            seen << (text.contains("\r\n") ? text.section("\r\n", 0, 0) + '|' + text.section("\r\n", -1) : text);
        seen << QStringLiteral("'%1' buttons %2 columns %3").arg(w.windowTitle()).arg(w.tlbMain->actions().size()).arg(w.lvwTask->columnCount());
        EXPECT_EQ(seen, expected) << spoil.toStdString();
        EXPECT_EQ(w.prgSplit->isHidden(), spoil.isEmpty()); // hidden once fully loaded
        w.show();
        EXPECT_TRUE(w.close()); // however far it got, the window closes
    }
}

TEST(MainWindow, DroppedFilesAndFoldersAreAddedOnceTheDropIsOver)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    test::TempDir dir;
    const QString bad = dir.write("bad.xls", "x"); // no workbook the application knows
    env.spreadsheet.addWorkbook(dir.write("one.xls", "x"), {"One"});
    env.spreadsheet.addWorkbook(dir.write("sub/two.XLS", "x"), {"Two"});
    dir.write("sub/notes.txt", "x");
    const auto send = [&](bool drop, const QStringList& names) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(dir.path() + '/' + name);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w.lvwTask->viewport(), drop ? &dropped : &enter);
        return (drop ? dropped : enter).isAccepted();
    };
    EXPECT_FALSE(send(false, {"notes.txt"})); // only folders and workbooks get the copy pointer
    EXPECT_TRUE(send(false, {"a.txt", "BOOK.XLS"}) && send(false, {"sub"}));
    EXPECT_TRUE(send(true, {"one.xls", "sub", "bad.xls"}));
    EXPECT_EQ(w.rows().rowCount(), 0); // the program dragging never waits for the listing or a report
    EXPECT_TRUE(env.seams.messageBox.shown.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(w.rows().rowCount(), 2);
    EXPECT_EQ(w.rows().worksheetName(1) + ',' + w.rows().worksheetName(2), QStringLiteral("One,Two"));
    const QStringList reports = env.seams.messageBox.texts();
    EXPECT_TRUE(reports.size() == 1 && reports[0].endsWith("Error File Name: " + bad));
}

// A hidden worksheet's row shows an icon and says which kind of hidden in its tip, so the user
// sees what the skip options will leave out.
TEST(MainWindow, RowsOfHiddenWorksheetsShowAnIconAndTheirKind)
{
    test::WindowEnvironment env;
    env.spreadsheet.hidden = {{"Notes", book::Visibility::Hidden}, {"Code", book::Visibility::VeryHidden}};
    frmMain w(env.context);
    addRows(env, w, {"Data", "Notes", "Code"});
    QStringList seen;
    for (int row = 0; row < 3; ++row) {
        const QTableWidgetItem* sheet = w.lvwTask->item(row, 1);
        seen << sheet->text() + '|' + QString::number(!sheet->icon().isNull()) + '|' + sheet->toolTip() + '|' +
                    QString::number(w.rows().sheetFacts(row + 1).position);
    }
    EXPECT_EQ(seen, (QStringList{"Data|0||1", "Notes|1|Hidden worksheet|2", "Code|1|Very hidden worksheet|3"}));
    w.rows().removeRow(1);
    EXPECT_EQ(w.rows().sheetFacts(1).visibility, book::Visibility::Hidden);
}

TEST(MainWindow, FilesASecondStartHandsOverAreAddedBetweenCommandsAndTheWindowComesToTheFront)
{
    test::WindowEnvironment env;
    test::TempDir dir, out;
    const QString one = dir.write("one.xls", "x");
    env.spreadsheet.addWorkbook(one, {"One"});
    env.spreadsheet.addWorkbook(dir.write("sub/two.XLS", "x"), {"Two"});
    {
        frmMain w(env.context);
        ASSERT_TRUE(env.seams.instanceLock.receiver);
        w.show();
        addRows(env, w, {"S", "T"});
        w.setWindowState(Qt::WindowMinimized);
        // Handed over while a split runs: the list keeps the rows the run started with until it
        // has ended, then takes the new ones.
        QList<int> rowsWhileSaving;
        env.spreadsheet.beforeOp = [&](test::FakeOp op, const QString&) {
            if (op != test::FakeOp::SaveAs)
                return;
            rowsWhileSaving << w.rows().rowCount();
            if (rowsWhileSaving.size() == 1)
                env.seams.instanceLock.receiver({one});
        };
        env.seams.folderChooser.answers = {out.path()};
        w.mnuSplit_Click();
        env.spreadsheet.beforeOp = [](test::FakeOp, const QString&) {};
        EXPECT_EQ(rowsWhileSaving, (QList<int>{2, 2}));
        EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.rows().rowCount() == 3; }));
        // While a dialog is open, the list waits for it to close.
        QDialog dialog(&w);
        dialog.setModal(true);
        dialog.show();
        env.seams.instanceLock.receiver({dir.file("sub")});
        QCoreApplication::processEvents();
        EXPECT_EQ(w.rows().rowCount(), 3);
        dialog.close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.rows().rowCount() == 4; }));
        EXPECT_EQ(w.rows().worksheetName(3) + ',' + w.rows().worksheetName(4), QStringLiteral("One,Two"));
        EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Mission complete!"});
    }
    EXPECT_FALSE(env.seams.instanceLock.receiver); // a window that is gone takes nothing
}
