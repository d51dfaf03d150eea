// Every door of the main window to its handler: toolbar keys, pop-up menus, F1, the Delete key,
// the right button, closing, and the link commands.
#include "ui/TaskListWidget.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHelpEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace bf;
using bf::ui::frmMain;

namespace {

QWidget* toolButton(frmMain& w, const QString& key)
{
    for (QAction* a : w.tlbMain->actions())
        if (a->property("key").toString() == key && !a->isSeparator())
            return w.tlbMain->widgetForAction(a);
    return nullptr;
}

void click(frmMain& w, const QString& key)
{
    QWidget* button = toolButton(w, key);
    ASSERT_NE(button, nullptr) << key.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList entries(const QMenu& menu)
{
    QStringList list;
    for (QAction* a : menu.actions())
        if (a->isVisible())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : " (disabled)"));
    return list;
}

void addRows(test::WindowEnvironment& env, frmMain& w, const QStringList& sheets)
{
    static int n = 0;
    const QString path = QStringLiteral("/d/book%1.xls").arg(++n);
    env.spreadsheet.addWorkbook(path, sheets);
    env.seams.fileOpenDialog.answers.push_back(path);
    w.mnuAddFile_Click();
}

} // namespace

TEST(ToolbarRouting, EachKeyReachesItsHandlerAndUnknownKeysAreReported)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    QStringList shown;
    w.popupPresenter = [&](QMenu& menu) { shown << entries(menu).join(','); };
    QStringList dialogs;
    w.dialogPresenter = [&](QDialog& d) { dialogs << d.objectName(); };

    click(w, QStringLiteral("mnuFile"));
    click(w, QStringLiteral("mnuEdit"));
    EXPECT_EQ(shown, (QStringList{"Add File,Add Folder", "Remove Item,Clear List"}));
    // Exit and its separator are back on the menu bar's File menu.
    EXPECT_EQ(entries(*w.mnuFile), (QStringList{"Add File", "Add Folder", "-", "Exit"}));

    click(w, QStringLiteral("mnuSettings_Click"));
    EXPECT_EQ(dialogs, QStringList{"frmOptions"});

    click(w, QStringLiteral("mnuVisitHomePage_Click"));
    EXPECT_EQ(env.seams.shell.opened, QStringList{"https://brakenfold.example.org/"});

    // Help: the F1 press is queued and handled once the command has returned.
    env.seams.shell.opened.clear();
    click(w, QStringLiteral("mnuApplicationHelp_Click"));
    EXPECT_TRUE(env.seams.shell.opened.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(env.seams.shell.opened, QStringList{env.appFolder.path() + "/help/help.chm"});

    // Split on an empty list: the run says so.
    click(w, QStringLiteral("mnuSplit_Click"));
    ASSERT_FALSE(env.seams.messageBox.shown.empty());
    EXPECT_EQ(env.seams.messageBox.shown.back().text, QStringLiteral("Please select some Excel workbook at first"));

    // Exit with an empty list closes without a question.
    env.seams.messageBox.shown.clear();
    QSignalSpy unloaded(&w, &frmMain::unloaded);
    w.show();
    click(w, QStringLiteral("mnuExit_Click"));
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(env.seams.messageBox.shown.empty());

    // Keys are compared exactly.
    w.tlbMain_ButtonClick(QStringLiteral("mnuNoSuchHandler"));
    w.tlbMain_ButtonClick(QStringLiteral("mnusplit_click"));
    ASSERT_EQ(env.seams.messageBox.shown.size(), 2u);
    for (const auto& m : env.seams.messageBox.shown) {
        EXPECT_TRUE(m.text.startsWith(QStringLiteral("Err Number: 438\r\n")));
        EXPECT_TRUE(m.text.endsWith(QStringLiteral("\r\nErr Proc: tlbMain_ButtonClick")));
    }
}

TEST(ToolbarRouting, FilePopupRunsTheCommandInsideAndRestoresExitEvenWhenItFails)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    env.spreadsheet.addWorkbook(QStringLiteral("/d/x.xls"), {"X"});
    env.seams.fileOpenDialog.answers = {QStringLiteral("/d/x.xls")};
    bool exitHiddenDuringCommand = false;
    env.spreadsheet.beforeOp = [&](test::FakeOp op, const QString&) {
        if (op == test::FakeOp::Open)
            exitHiddenDuringCommand = !w.mnuExit->isVisible() && !w.mnuSep1->isVisible();
    };
    w.popupPresenter = [&](QMenu& menu) {
        for (QAction* a : menu.actions())
            if (a->text() == QLatin1String("Add File"))
                a->trigger();
    };
    click(w, QStringLiteral("mnuFile"));
    EXPECT_EQ(w.rows().rowCount(), 1);
    EXPECT_TRUE(exitHiddenDuringCommand);
    EXPECT_TRUE(w.mnuExit->isVisible());
    EXPECT_TRUE(w.mnuSep1->isVisible());

    // The pop-up itself failing: reported by the toolbar handler, entries restored.
    w.popupPresenter = [](QMenu&) { throw Error(err::PermissionDenied, QStringLiteral("menu failed")); };
    click(w, QStringLiteral("mnuFile"));
    EXPECT_EQ(env.seams.messageBox.texts(),
              QStringList{"Err Number: 70\r\nErr Description: menu failed\r\nErr Proc: tlbMain_ButtonClick"});
    EXPECT_TRUE(w.mnuExit->isVisible());
    EXPECT_TRUE(w.mnuSep1->isVisible());
}

TEST(KeyRouting, F1WithAnyModifiersFromAnyControlOpensHelpOnce)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    const QString help = env.appFolder.path() + "/help/help.chm";
    int expected = 0;
    for (QWidget* target : {static_cast<QWidget*>(w.lvwTask), static_cast<QWidget*>(w.tlbMain),
                            static_cast<QWidget*>(&w)}) {
        for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                           Qt::KeyboardModifiers(Qt::ControlModifier),
                                           Qt::KeyboardModifiers(Qt::AltModifier),
                                           Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier)}) {
            QTest::keyClick(target, Qt::Key_F1, mods);
            ++expected;
            EXPECT_EQ(env.seams.shell.opened.size(), expected) << target->objectName().toStdString();
        }
    }
    EXPECT_EQ(env.seams.shell.opened, QStringList(expected, help));
    QTest::keyClick(w.lvwTask, Qt::Key_F2);
    EXPECT_EQ(env.seams.shell.opened.size(), expected);
    EXPECT_TRUE(env.seams.messageBox.shown.empty());
}

TEST(ListInteraction, DeleteRemovesTheCurrentRowAndSelectsTheNext)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    QTest::keyClick(w.lvwTask, Qt::Key_Delete); // empty: nothing
    EXPECT_TRUE(env.seams.messageBox.shown.empty());

    addRows(env, w, {"1", "2", "3", "4"});
    ASSERT_EQ(w.rows().rowCount(), 4);
    // The first row added became the current, selected row.
    EXPECT_EQ(w.rows().currentRow(), 1);
    EXPECT_TRUE(w.lvwTask->selectionModel()->isRowSelected(0, QModelIndex()));

    // Rows but no current row: the remove report, error 91, nothing removed.
    w.lvwTask->setCurrentIndex(QModelIndex());
    w.mnuRemoveItem_Click();
    EXPECT_EQ(env.seams.messageBox.texts(),
              QStringList{"Err Number: 91\r\nErr Description: Object variable or With block variable not set\r\n"
                          "Err Proc: mnuRemoveItem_Click"});
    EXPECT_EQ(w.rows().rowCount(), 4);
    env.seams.messageBox.shown.clear();

    // Row 2 current: Delete (with Shift, then Ctrl) removes one row at a time.
    const QRect row2 = w.lvwTask->visualRect(w.lvwTask->model()->index(1, 1));
    QTest::mouseClick(w.lvwTask->viewport(), Qt::LeftButton, Qt::NoModifier, row2.center());
    EXPECT_EQ(w.rows().currentRow(), 2);
    QTest::keyClick(w.lvwTask, Qt::Key_Delete, Qt::ShiftModifier);
    ASSERT_EQ(w.rows().rowCount(), 3);
    EXPECT_EQ(w.rows().worksheetName(1), QStringLiteral("1"));
    EXPECT_EQ(w.rows().worksheetName(2), QStringLiteral("3"));
    const int current = w.rows().currentRow();
    ASSERT_NE(current, 0);
    EXPECT_TRUE(w.lvwTask->selectionModel()->isRowSelected(current - 1, QModelIndex()));
    QTest::keyClick(w.lvwTask, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(w.rows().rowCount(), 2);
    EXPECT_TRUE(env.seams.messageBox.shown.empty());
}

TEST(ListInteraction, RightButtonShowsTheFullPopupAndClearAsks)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    QStringList shown;
    QString choose;
    w.popupPresenter = [&](QMenu& menu) {
        shown << entries(menu).join(',');
        for (QAction* a : menu.actions())
            if (!choose.isEmpty() && a->text() == choose)
                a->trigger();
    };
    // Empty space and a row alike; the left and middle buttons show nothing.
    QTest::mouseClick(w.lvwTask->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(50, 150));
    QTest::mouseClick(w.lvwTask->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 150));
    QTest::mouseClick(w.lvwTask->viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(50, 150));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QStringLiteral("Split,-,Add File,Add Folder,Remove Item,Clear List"));

    addRows(env, w, {"a", "b"});
    choose = QStringLiteral("Clear List");
    QTest::mouseClick(w.lvwTask->viewport(), Qt::RightButton, Qt::NoModifier,
                      w.lvwTask->visualRect(w.lvwTask->model()->index(0, 0)).center());
    EXPECT_EQ(shown.size(), 2);
    ASSERT_EQ(env.seams.messageBox.shown.size(), 1u);
    EXPECT_EQ(env.seams.messageBox.shown[0].text, QStringLiteral("Do you really want to clear the list"));
    EXPECT_EQ(w.rows().rowCount(), 2); // the default answer is No

    const double widthBefore = w.rows().columnWidthTwips(1);
    env.seams.messageBox.answers = {platform::MsgResult::Yes};
    w.mnuPopupClearList_Click();
    EXPECT_EQ(w.rows().rowCount(), 0);
    EXPECT_EQ(w.lvwTask->columnCount(), 2);
    EXPECT_EQ(w.rows().columnWidthTwips(1), widthBefore);
}

TEST(Closing, AsksOnEveryWayOutWhileRowsRemain)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    QSignalSpy unloaded(&w, &frmMain::unloaded);
    w.show();
    addRows(env, w, {"only"});

    // Close box, Exit menu, toolbar Exit: each asks; No keeps everything.
    EXPECT_FALSE(w.close());
    w.mnuExit->trigger();
    click(w, QStringLiteral("mnuExit_Click"));
    ASSERT_EQ(env.seams.messageBox.shown.size(), 3u);
    for (const auto& q : env.seams.messageBox.shown) {
        EXPECT_EQ(q.text, QStringLiteral("Do you really want to exit?"));
        EXPECT_EQ(q.buttons, platform::MsgButtons::YesNo);
        EXPECT_EQ(q.icon, platform::MsgIcon::Question);
        EXPECT_EQ(q.defaultButton, platform::MsgDefault::Second);
    }
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(unloaded.count(), 0);
    EXPECT_EQ(w.rows().rowCount(), 1);

    env.seams.messageBox.answers = {platform::MsgResult::Yes};
    w.mnuExit->trigger();
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w.isVisible());
}

TEST(Closing, TheSessionEndingAsksTooAndClosesForShutdown)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    QSignalSpy unloaded(&w, &frmMain::unloaded);
    w.show();
    addRows(env, w, {"only"});

    EXPECT_FALSE(w.EndSession(true)); // No, the default
    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Do you really want to exit?"});
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(unloaded.count(), 0);

    env.seams.messageBox.answers = {platform::MsgResult::Yes};
    EXPECT_TRUE(w.EndSession(true));
    EXPECT_EQ(env.seams.messageBox.shown.size(), 2u); // asked once, not again by the close
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w.isVisible());
}

TEST(LinkCommands, ConfiguredValuesGoToTheShellUnchanged)
{
    {
        QStringList lines = test::standardConfigLines();
        lines.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("HomePage=")); });
        lines << QStringLiteral("SupportEmail=www.example.org/help");
        test::WindowEnvironment env(lines);
        frmMain w(env.context);
        w.mnuVisitHomePage_Click();
        w.mnuSupport_Click();
        EXPECT_EQ(env.seams.shell.opened, (QStringList{"", "www.example.org/help"}));
        EXPECT_TRUE(env.seams.messageBox.shown.empty());
    }
    {
        // No configuration store: each command reports under its own name.
        test::WindowEnvironment env;
        frmMain w(env.context);
        env.context.setting = nullptr;
        w.mnuVisitHomePage_Click();
        w.mnuSupport_Click();
        w.mnuSettings_Click();
        const QStringList texts = env.seams.messageBox.texts();
        ASSERT_EQ(texts.size(), 3);
        EXPECT_TRUE(texts[0].endsWith(QStringLiteral("Err Proc: mnuVisitHomePage_Click")));
        EXPECT_TRUE(texts[1].endsWith(QStringLiteral("Err Proc: mnuSupport_Click")));
        EXPECT_TRUE(texts[2].endsWith(QStringLiteral("Err Proc: mnuSettings_Click")));
        EXPECT_TRUE(env.seams.shell.opened.isEmpty());
    }
}

TEST(Dialogs, AboutBoxOpensFreshAndAFailingLoadIsReported)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    QStringList titles;
    w.dialogPresenter = [&](QDialog& d) { titles << d.windowTitle(); };
    w.mnuAbout_Click();
    w.mnuAbout_Click();
    EXPECT_EQ(titles.size(), 2);
    EXPECT_TRUE(env.seams.messageBox.shown.empty()) << env.seams.messageBox.texts().join('|').toStdString();

    QFile::remove(env.iconFile(QStringLiteral("AppMain.ico")));
    w.mnuAbout_Click();
    EXPECT_EQ(titles.size(), 2);
    ASSERT_EQ(env.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(env.seams.messageBox.shown[0].text.endsWith(QStringLiteral("\r\nErr Proc: lmnuAbout_Click")));
}

TEST(KeyRouting, F1InAnOpenMenuOpensTheHighlightedEntrysPageWhenNoViewerTakesTheCompiledHelp)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    env.seams.shell.handledEndings = {"htm"};
    const QString topic = env.appFolder.write("help/html/add_file.htm", "<html></html>");
    const QString start = env.appFolder.write("help/html/index.htm", "<html></html>");
    w.mnuFile->popup(w.mapToGlobal(QPoint(0, 0)));
    w.mnuFile->setActiveAction(w.mnuAddFile);
    QTest::keyClick(w.mnuFile, Qt::Key_F1);
    w.mnuFile->close();
    QTest::keyClick(w.lvwTask, Qt::Key_F1);
    QStringList opened;
    for (const QString& file : env.seams.shell.opened)
        opened << QDir::cleanPath(file);
    EXPECT_EQ(opened, (QStringList{QDir::cleanPath(topic), QDir::cleanPath(start)}));
    EXPECT_TRUE(env.seams.messageBox.shown.empty());
}

TEST(ListInteraction, ShiftF10AndTheMenuKeyOpenThePopUpMenuAndToolbarButtonsShowNoTips)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    w.show();
    QStringList shown;
    w.popupPresenter = [&](QMenu& menu) { shown << menu.objectName(); };
    QTest::keyClick(w.lvwTask, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(w.lvwTask, Qt::Key_Menu);
    QTest::keyClick(w.lvwTask, Qt::Key_F10, Qt::ControlModifier);
    EXPECT_EQ(shown, (QStringList{"mnuPopup", "mnuPopup"}));

    for (QAction* action : w.tlbMain->actions()) {
        if (action->isSeparator())
            continue;
        QWidget* button = w.tlbMain->widgetForAction(action);
        QHelpEvent tip(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(button, &tip);
        EXPECT_FALSE(QToolTip::isVisible()) << action->text().toStdString();
    }
}
