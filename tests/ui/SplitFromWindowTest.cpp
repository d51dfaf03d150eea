// The Split command from the window with the real engine: the window's progress bar, pointer,
// selection and caption as the run drives them, and one file per listed worksheet.
#include "automation/ApplicationFactory.h"
#include "ui/frmMain.h"
#include "WindowTestSupport.h"

#include <QDirIterator>
#include <QProgressBar>
#include <gtest/gtest.h>

using namespace bf;

TEST(SplitFromWindow, ListedWorksheetsBecomeFilesWhileTheBarMovesAndTheWindowReturnsToIdle)
{
    test::WindowEnvironment env;
    auto engine = automation::Backends().create(QStringLiteral("native"), env.seams);
    env.context.application = engine.get();
    ui::frmMain w(env.context);
    w.show();
    env.seams.fileOpenDialog.answers = {test::corpusFile(QStringLiteral("xls/poi--57925.xls"))};
    w.mnuAddFile_Click();
    test::TempDir out;
    env.seams.folderChooser.answers = {out.path()};
    w.setWindowTitle(QStringLiteral("stale"));
    QStringList steps; // the filled part of the bar and the pointer at each step the run shows
    QObject::connect(w.prgSplit, &QProgressBar::valueChanged, [&] {
        if (w.progressVisible())
            steps << w.prgSplit->text() + (w.cursor().shape() == Qt::WaitCursor ? " busy" : " idle");
    });
    w.mnuPopupSplit->trigger();

    EXPECT_EQ(steps, (QStringList{"0% busy", "20% busy", "60% busy", "100% busy"}));
    EXPECT_EQ(env.seams.messageBox.texts(), QStringList{"Mission complete!"});
    EXPECT_FALSE(w.progressVisible());
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(w.rows().currentRow(), 1);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Brakenfold 1.0.5"));
    EXPECT_EQ(env.seams.shell.foldersShown.size(), 1u);
    QStringList written;
    for (QDirIterator it(out.path(), {"*.xls"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        written << QFileInfo(it.next()).fileName().section(QStringLiteral("_Splitted_at_"), 0, 0);
    written.sort();
    EXPECT_EQ(written, (QStringList{QString::fromUtf8("Дефициты"), QString::fromUtf8("Доходы"), QString::fromUtf8("Расходы")}));
}
