// The main window as built and loaded: controls, menus, toolbar, the load sequence and its
// failure paths, and the task list as the window shows it.
#include "ui/TaskListWidget.h"
#include "ui/frmMain.h"
#include "WindowTestSupport.h"

#include "tasklist/TaskListCommands.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

using namespace bf;
using bf::ui::frmMain;

namespace {

double twipsOf(const QWidget& w, double px) { return px * 1440.0 / w.logicalDpiX(); }

QStringList visibleEntries(const QMenu& menu)
{
    QStringList entries;
    for (QAction* a : menu.actions())
        if (a->isVisible())
            entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return entries;
}

// Throws from one load routine.
std::function<void(const QString&)> loadFault(const QString& routine)
{
    return [routine](const QString& r) {
        if (r == routine)
            throw Error(err::PermissionDenied, QStringLiteral("injected"));
    };
}

class VersionlessApp : public test::FakeAppInfo {
public:
    int major() const override { throw Error(err::Overflow, QStringLiteral("no version resource")); }
};

} // namespace

TEST(MainWindowLoad, BuildsTheStoredWindowMenusToolbarAndList)
{
    test::WindowEnvironment env;
    frmMain w(env.context);

    EXPECT_TRUE(env.seams.messageBox.shown.empty()) << env.seams.messageBox.texts().join('|').toStdString();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold 1.0.5"));
    EXPECT_FALSE(w.windowIcon().isNull());

    // Fixed size, no maximize button, client area 7455 x 4800 twips.
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    const QWidget* client = w.centralWidget();
    EXPECT_NEAR(twipsOf(w, client->width()), 7455, 15);
    EXPECT_NEAR(twipsOf(w, w.lvwTask->x()), 240, 15);
    EXPECT_NEAR(twipsOf(w, w.lvwTask->width()), 6975, 15);
    EXPECT_NEAR(twipsOf(w, w.lvwTask->height()), 3255, 15);
    w.show();
    QApplication::processEvents();
    // The toolbar takes the height its captions need; what goes beyond the stored 570 twips moves
    // the list and the bar down and makes the window taller, so the stored gaps stay.
    for (QAction* a : w.tlbMain->actions()) {
        if (a->isSeparator())
            continue;
        EXPECT_GE(w.tlbMain->widgetForAction(a)->height(), w.tlbMain->widgetForAction(a)->sizeHint().height());
    }
    EXPECT_GE(w.tlbMain->height(), w.tlbMain->sizeHint().height());
    EXPECT_NEAR(twipsOf(w, w.lvwTask->y() - w.tlbMain->geometry().bottom() - 1), 840 - 570, 15);
    EXPECT_NEAR(twipsOf(w, w.prgSplit->y() - w.lvwTask->y()), 4320 - 840, 15);
    EXPECT_NEAR(twipsOf(w, client->height() - w.prgSplit->y()), 4800 - 4320, 15);

    // Menu bar: the five menus; the pop-up menu is not on it.
    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Actions", "&Options", "&Help"}));
    EXPECT_EQ(visibleEntries(*w.mnuFile), (QStringList{"Add File", "Add Folder", "-", "Exit"}));
    EXPECT_EQ(visibleEntries(*w.mnuEdit), (QStringList{"Remove Item", "Clear List"}));
    EXPECT_EQ(visibleEntries(*w.mnuActions), QStringList{"Split"});
    EXPECT_EQ(visibleEntries(*w.mnuOptions), QStringList{"Settings"});
    EXPECT_EQ(visibleEntries(*w.mnuHelp), (QStringList{"Application Help", "Visit HomePage", "Support", "About"}));
    EXPECT_EQ(visibleEntries(*w.mnuPopup),
              (QStringList{"Split", "-", "Add File", "Add Folder", "Remove Item", "Clear List"}));
    const std::pair<const char*, int> contexts[] = {
        {"mnuFile", 1}, {"mnuEdit", 2}, {"mnuActions", 3}, {"mnuOptions", 4}, {"mnuHelp", 5},
        {"mnuAddFile", 6}, {"mnuAddFolder", 7}, {"mnuExit", 8}, {"mnuRemoveItem", 9}, {"mnuClearList", 10},
        {"mnuSplit", 11}, {"mnuSettings", 12}, {"mnuApplicationHelp", 13}, {"mnuVisitHomePage", 14},
        {"mnuSupport", 15}, {"mnuAbout", 18}};
    for (const auto& [name, context] : contexts) {
        QAction* a = w.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(a, nullptr) << name;
        EXPECT_EQ(a->property("helpContextID").toInt(), context) << name;
        EXPECT_TRUE(a->shortcut().isEmpty()) << name;
    }
    EXPECT_FALSE(w.mnuPopupSplit->property("helpContextID").isValid());

    // Toolbar: ten positions, keys and captions in order, pictures under which the caption sits.
    ASSERT_EQ(w.ilsMain.size(), 7u);
    const QList<QAction*> buttons = w.tlbMain->actions();
    ASSERT_EQ(buttons.size(), 10);
    const QStringList keys{"mnuFile", "mnuEdit", "", "mnuSplit_Click", "", "mnuSettings_Click",
                           "mnuApplicationHelp_Click", "mnuVisitHomePage_Click", "", "mnuExit_Click"};
    const QStringList captions{"Add file", "Remove ", "", "Split", "", "Option", "Help", "Homepage", "", "Exit"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(buttons[i]->property("key").toString(), keys[i]) << i;
        EXPECT_EQ(buttons[i]->isSeparator(), keys[i].isEmpty()) << i;
        if (!keys[i].isEmpty()) {
            EXPECT_EQ(buttons[i]->text(), captions[i]);
            EXPECT_FALSE(buttons[i]->icon().isNull());
        }
    }
    EXPECT_EQ(w.tlbMain->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(w.tlbMain->iconSize(), QSize(32, 32));

    // The list: report view with grid lines, whole rows, no editing, never sorted, two headers.
    EXPECT_TRUE(w.progressVisible() == false);
    EXPECT_TRUE(w.prgSplit->isHidden());
    ASSERT_EQ(w.lvwTask->columnCount(), 2);
    EXPECT_EQ(w.lvwTask->horizontalHeaderItem(0)->text(), QStringLiteral("Source File Name"));
    EXPECT_EQ(w.lvwTask->horizontalHeaderItem(1)->text(), QStringLiteral("WorkSheet Name"));
    EXPECT_TRUE(w.lvwTask->showGrid());
    EXPECT_EQ(w.lvwTask->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(w.lvwTask->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(w.lvwTask->isSortingEnabled());
    // The columns share the list's inner width 3:2, and the empty list has no horizontal bar.
    EXPECT_NEAR(w.rows().columnWidthTwips(1) / w.rows().columnWidthTwips(2), 1.5, 1e-3);
    EXPECT_NEAR(w.rows().columnWidthTwips(1) + w.rows().columnWidthTwips(2), 6975, 60);
    EXPECT_FALSE(w.lvwTask->horizontalScrollBar()->isVisible());
    EXPECT_EQ(w.rows().rowCount(), 0);

    // Names for screen readers: controls by their designed names, captions spoken.
    for (const char* name : {"lvwTask", "tlbMain", "prgSplit", "mnuPopup"})
        EXPECT_NE(w.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    QWidget* addButton = w.tlbMain->widgetForAction(buttons[0]);
    ASSERT_NE(addButton, nullptr);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(addButton);
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(spoken->text(QAccessible::Name), QStringLiteral("Add file"));
}

TEST(MainWindowLoad, EachFailingStepShowsItsReportsAndLeavesTheWindowAsFarAsBuilt)
{
    {
        // No caption key: only the configured message; nothing after it is built.
        QStringList lines = test::standardConfigLines();
        lines.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("frmMainCaption=")); });
        test::WindowEnvironment env(lines);
        frmMain w(env.context);
        EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"caption missing"});
        EXPECT_TRUE(w.windowTitle().isEmpty());
        EXPECT_TRUE(w.tlbMain->actions().isEmpty());
        EXPECT_EQ(w.lvwTask->columnCount(), 0);
        EXPECT_FALSE(w.prgSplit->isHidden());
    }
    {
        // A missing icon under ICON: the routine's report, then the configured message.
        test::WindowEnvironment env;
        QFile::remove(env.iconFile(QStringLiteral("Split.ico")));
        frmMain w(env.context);
        const QStringList texts = env.seams.messageBox.texts();
        ASSERT_EQ(texts.size(), 2);
        EXPECT_TRUE(texts[0].startsWith(QStringLiteral("Err Number: 53\r\nErr Description: ")));
        EXPECT_TRUE(texts[0].endsWith(QStringLiteral("\r\nErr Proc: InitImageList")));
        EXPECT_EQ(texts[1], QStringLiteral("no image list"));
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold 1.0.5"));
        EXPECT_TRUE(w.tlbMain->actions().isEmpty());
        EXPECT_FALSE(w.prgSplit->isHidden());
    }
    {
        test::WindowEnvironment env;
        env.context.loadFault = loadFault(QStringLiteral("InitToolbar"));
        frmMain w(env.context);
        EXPECT_EQ(env.seams.messageBox.texts(),
                  (QStringList{"Err Number: 70\r\nErr Description: injected\r\nErr Proc: InitToolbar", "no toolbar"}));
        EXPECT_EQ(w.lvwTask->columnCount(), 0);
    }
    {
        // The window's own icon missing: the load handler's report alone, nothing built.
        test::WindowEnvironment env;
        QFile::remove(env.iconFile(QStringLiteral("frmMain.ico")));
        frmMain w(env.context);
        const QStringList texts = env.seams.messageBox.texts();
        ASSERT_EQ(texts.size(), 1);
        EXPECT_TRUE(texts[0].endsWith(QStringLiteral("\r\nErr Proc: Form_Load")));
        EXPECT_TRUE(w.windowTitle().isEmpty());
        EXPECT_TRUE(w.tlbMain->actions().isEmpty());
        EXPECT_FALSE(w.prgSplit->isHidden());
        // The window can still be closed.
        w.show();
        EXPECT_TRUE(w.close());
    }
    {
        // No version: its report, and the caption is the configured text alone.
        test::WindowEnvironment env;
        VersionlessApp versionless;
        versionless.folder = env.appFolder.path();
        env.seams.Seams::appInfo = &versionless;
        frmMain w(env.context);
        EXPECT_EQ(env.seams.messageBox.texts(),
                  QStringList{"Err Number: 6\r\nErr Description: no version resource\r\nErr Proc: GetVersionString"});
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold "));
        EXPECT_EQ(w.tlbMain->actions().size(), 10);
    }
}

TEST(MainWindowList, RowsAndColumnWidthsFollowTheWindowFont)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    const QString longSheet = QStringLiteral("A worksheet name long enough to widen the column ") + QString::fromUtf8("Доходы 工作表");
    env.spreadsheet.addWorkbook(QStringLiteral("/d/a.xls"), {"S1", longSheet, "S3"});
    env.seams.fileOpenDialog.answers = {QStringLiteral("/d/a.xls")};
    const double firstColumn = w.rows().columnWidthTwips(1);
    w.mnuAddFile_Click();

    ASSERT_EQ(w.rows().rowCount(), 3);
    EXPECT_EQ(w.lvwTask->item(1, 1)->text(), longSheet);
    EXPECT_EQ(w.lvwTask->item(2, 0)->text(), QStringLiteral("/d/a.xls"));
    EXPECT_FALSE(w.lvwTask->item(0, 0)->flags() & Qt::ItemIsEditable);

    const double measured = QFontMetricsF(w.font()).horizontalAdvance(longSheet) * 1440.0 / w.logicalDpiX();
    const double expected = tasklist::RoundHalfEven(measured + 200);
    ASSERT_GT(expected, 2790);
    EXPECT_EQ(w.rows().columnWidthTwips(2), expected);
    EXPECT_EQ(w.lvwTask->columnWidth(1), static_cast<int>(std::lround(expected * w.logicalDpiX() / 1440.0)));
    EXPECT_EQ(w.rows().columnWidthTwips(1), firstColumn);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor); // the hourglass is gone

    // Removing the long row does not narrow the column again.
    w.rows().selectRow(2);
    w.mnuRemoveItem_Click();
    EXPECT_EQ(w.rows().columnWidthTwips(2), expected);
}

TEST(MainWindowList, DroppedFilesAndFoldersAreAdded)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    test::TempDir dir;
    const QString file = dir.write(QStringLiteral("one.xls"), "x");
    const QString bad = dir.write(QStringLiteral("bad.xls"), "x"); // no workbook the application knows
    dir.write(QStringLiteral("sub/two.XLS"), "x");
    env.spreadsheet.addWorkbook(file, {"One"});
    env.spreadsheet.addWorkbook(dir.path() + QStringLiteral("/sub/two.XLS"), {"Two"});

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(dir.path() + QStringLiteral("/sub")), QUrl::fromLocalFile(bad)});
    // As the desktop delivers a drag: it enters over the list, then drops.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.lvwTask->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    // Only folders and workbooks get the copy pointer.
    const std::pair<QStringList, bool> drags[] = {{{"notes.txt"}, false}, {{"BOOK.XLS"}, true},
                                                  {{"sub"}, true}, {{"a.txt", "b.xls"}, true}};
    for (const auto& [names, taken] : drags) {
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(dir.path() + '/' + name);
        QMimeData other;
        other.setUrls(urls);
        QDragEnterEvent otherEnter(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.lvwTask->viewport(), &otherEnter);
        EXPECT_EQ(otherEnter.isAccepted(), taken) << names.join(',').toStdString();
    }
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.lvwTask->viewport(), &drop);

    // The drop is taken and over before anything is listed or any report shown, so the program
    // dragging does not wait for the report box.
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(w.rows().rowCount(), 0);
    EXPECT_TRUE(env.seams.messageBox.shown.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(w.rows().rowCount(), 2);
    EXPECT_EQ(w.rows().worksheetName(1), QStringLiteral("One"));
    EXPECT_EQ(w.rows().worksheetName(2), QStringLiteral("Two"));
    ASSERT_EQ(env.seams.messageBox.shown.size(), 1u);
    EXPECT_TRUE(env.seams.messageBox.shown[0].text.endsWith("Error File Name: " + bad));
}

TEST(MainWindowSplitView, ProgressAndPointerAsTheRunSetsThem)
{
    test::WindowEnvironment env;
    frmMain w(env.context);
    split::SplitView& view = w;
    view.setProgressVisible(true);
    view.setProgressMinimum(1);
    view.setProgressMaximum(6);
    view.setProgressValue(3.5f);
    view.setBusyPointer(true);
    view.repaintNow();
    EXPECT_TRUE(view.progressVisible());
    EXPECT_EQ(view.progressValue(), 3.5f);
    EXPECT_EQ(w.prgSplit->maximum(), 6);
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    view.setBusyPointer(false);
    view.setProgressVisible(false);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(view.progressVisible());
}
