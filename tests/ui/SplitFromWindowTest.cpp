// The Split command from the window with the real engine: the window's progress bar, pointer,
// selection and caption as the run drives them, and one file per listed worksheet.
#include "ui/TaskListWidget.h"
#include "ui/frmMain.h"
#include "WindowTestSupport.h"

#include "automation/ApplicationFactory.h"

#include <QDirIterator>
#include <QProgressBar>
#include <gtest/gtest.h>

using namespace bf;

TEST(SplitFromWindow, ListedWorksheetsBecomeFilesAndTheWindowReturnsToIdle)
{
    test::WindowEnvironment env;
    auto engine = automation::Backends().create(QStringLiteral("native"), env.seams);
    env.context.application = engine.get();
    ui::frmMain w(env.context);
    w.show();

    const QString book = test::corpusFile(QStringLiteral("xls/poi--57925.xls"));
    env.seams.fileOpenDialog.answers = {book};
    w.mnuAddFile_Click();
    ASSERT_EQ(w.rows().rowCount(), 3);

    // The bar and the pointer while the run writes its files.
    int busyPaints = 0;
    bool barShownWhileBusy = true;
    test::TempDir out;
    env.seams.folderChooser.answers = {out.path()};
    w.setWindowTitle(QStringLiteral("stale"));
    QMetaObject::Connection watch = QObject::connect(w.prgSplit, &QProgressBar::valueChanged, [&](int value) {
        if (value <= w.prgSplit->minimum())
            return; // set up or reset, not a step of the run
        ++busyPaints;
        barShownWhileBusy = barShownWhileBusy && w.progressVisible() && w.cursor().shape() == Qt::WaitCursor;
    });
    w.mnuPopupSplit->trigger();
    QObject::disconnect(watch);

    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Mission complete!"});
    EXPECT_GE(busyPaints, 3);
    EXPECT_TRUE(barShownWhileBusy);
    EXPECT_FALSE(w.progressVisible());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w.rows().currentRow(), 1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold 1.0.5"));
    ASSERT_EQ(env.seams.shell.foldersShown.size(), 1u);

    QStringList written;
    QDirIterator it(out.path(), {QStringLiteral("*.xls")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << QFileInfo(it.next()).fileName().section(QStringLiteral("_Splitted_at_"), 0, 0);
    written.sort();
    QStringList expected{QString::fromUtf8("Дефициты"), QString::fromUtf8("Доходы"), QString::fromUtf8("Расходы")};
    expected.sort();
    EXPECT_EQ(written, expected);
}
