// The desktop seams against the real desktop tools: the Add File dialog's filter, and whether a
// program is registered for a kind of file (xdg-mime), with private XDG folders.
#include "platform/qt/QtSeams.h"
#include "support/TempDir.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QListView>
#include <QMimeDatabase>
#include <QTest>
#include <gtest/gtest.h>

TEST(QtFileOpenDialog, ShowsTheFilterAsWrittenAndMatchesItInAnyLetterCase)
{
    bf::test::TempDir dir;
    for (const char* name : {"a.xls", "B.XLS", "c.Xls", "d.txt"})
        dir.write(name, "x");
    const auto dialog = bf::platform::qt::QtFileOpenDialog::makeDialog("Excel Files (*.xls)");
    dialog->setDirectory(dir.path());
    dialog->show();
    EXPECT_EQ(dialog->findChild<QComboBox*>("fileTypeCombo")->currentText(), "Excel Files (*.xls)");
    const QListView* list = dialog->findChild<QListView*>("listView");
    ASSERT_NE(list, nullptr);
    QStringList shown;
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(list->rootIndex()), 3, 5000);
    for (int row = 0; row < 3; ++row)
        shown << list->model()->index(row, 0, list->rootIndex()).data().toString();
    shown.sort(Qt::CaseInsensitive);
    EXPECT_EQ(shown, (QStringList{"a.xls", "B.XLS", "c.Xls"}));
}

TEST(QtShell, AFileHasAHandlerOnlyWhenTheDesktopNamesAProgramForItsKind)
{
    // The MIME database is read now, from the system; only xdg-mime sees the private folders.
    ASSERT_EQ(QMimeDatabase().mimeTypeForFile("help.chm").name(), "application/vnd.ms-htmlhelp");
    bf::test::TempDir xdg;
    const QByteArray saved[] = {qgetenv("XDG_DATA_DIRS"), qgetenv("XDG_CONFIG_DIRS"), qgetenv("XDG_DATA_HOME"),
                                qgetenv("XDG_CONFIG_HOME")};
    qputenv("XDG_DATA_DIRS", (xdg.path() + "/none").toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (xdg.path() + "/none").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (xdg.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (xdg.path() + "/config").toLocal8Bit());
    bf::platform::qt::QtShell shell;
    const QString chm = xdg.write("help.chm", "ITSF");
    EXPECT_FALSE(shell.hasHandlerFor(chm));
    xdg.write("data/applications/viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\nMimeType=application/vnd.ms-htmlhelp;\n");
    xdg.write("config/mimeapps.list", "[Default Applications]\napplication/vnd.ms-htmlhelp=viewer.desktop\n");
    EXPECT_TRUE(shell.hasHandlerFor(chm));
    const char* names[] = {"XDG_DATA_DIRS", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    for (int i = 0; i < 4; ++i)
        saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
}
