// The split run in the real main window: while rows are written the bar, the hourglass and the
// selected row show it; when the run ends, well or not, the window is idle again.
#include "split/SplitNaming.h"
#include "ui/TaskListWidget.h"
#include "ui/WindowTestSupport.h"
#include "ui/frmMain.h"

#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace bf;
using bf::test::FakeOp;

namespace {
struct Seen {
    bool barVisible;
    Qt::CursorShape pointer;
    int barValue;
    int selectedRow; // 0-based, -1 for none
    bool eventsOn;
};
} // namespace

TEST(SplitInWindow, TheWindowShowsEachRowAsItIsWrittenAndIsIdleAfterEveryRun)
{
    test::WindowEnvironment env;
    test::TempDir out;
    env.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 7)); };
    ui::frmMain w(env.context);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    env.spreadsheet.addWorkbook(QStringLiteral("/d/a.xls"), {"S1", "S2", "S3"});
    env.seams.fileOpenDialog.answers = {QStringLiteral("/d/a.xls")};
    w.mnuAddFile_Click();
    ASSERT_EQ(w.rows().rowCount(), 3);

    std::vector<Seen> seen;
    env.spreadsheet.beforeOp = [&](FakeOp op, const QString&) {
        if (op == FakeOp::SaveAs)
            seen.push_back({w.prgSplit->isVisible(), w.cursor().shape(), w.prgSplit->value(),
                            w.lvwTask->currentRow(), env.spreadsheet.EnableEvents()});
    };
    env.seams.folderChooser.answers = {out.path()};
    w.mnuSplit_Click();

    ASSERT_EQ(seen.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(seen[i].barVisible);
        EXPECT_EQ(seen[i].pointer, Qt::WaitCursor);
        EXPECT_FALSE(seen[i].eventsOn);
        EXPECT_EQ(seen[i].barValue, i == 0 ? 1 : 2 * i); // the bar stands at the rows done
        if (i > 0) {
            EXPECT_EQ(seen[i].selectedRow, i - 1); // the row written last is selected
        }
    }
    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{QStringLiteral("Mission complete!")});
    EXPECT_EQ(env.seams.shell.foldersShown, QStringList{out.path() + QStringLiteral("/2008723957/")});
    EXPECT_FALSE(w.prgSplit->isVisible());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w.lvwTask->currentRow(), 0);
    EXPECT_TRUE(w.lvwTask->item(0, 0)->isSelected());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold 1.0.5"));

    // A run that fails at its second row: the report, and no busy pointer over an idle window.
    env.context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 8)); };
    seen.clear();
    env.seams.messageBox.shown.clear();
    env.spreadsheet.failOn(FakeOp::SaveAs, QString(), err::PermissionDenied, QStringLiteral("disk says no"), 1, 1);
    env.seams.folderChooser.answers = {out.path()};
    w.mnuSplit_Click();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(env.seams.messageBox.texts(),
              QStringList{QStringLiteral("Err Number: 70\r\nErr Description: disk says no\r\nErr Proc: mnuSplit_Click")});
    EXPECT_FALSE(w.prgSplit->isVisible());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(env.spreadsheet.EnableEvents());
    EXPECT_EQ(env.seams.shell.foldersShown.size(), 1);
}
