// The whole program in-process: start-up on a copy of the built application folder, the real
// main window and options dialog driven as a user drives them, the window closed from the File
// menu, and the configuration file read back as the program rewrote it.
#include "WindowTestSupport.h"
#include "ui/MainWindowHost.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace bf;

namespace {

void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

template <typename T> T* topLevel(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            if (auto* t = dynamic_cast<T*>(w))
                return t;
    return nullptr;
}

// Runs step once the widget it needs is showing (polled, as a user waits for a window).
template <typename T> void whenShown(const char* name, std::function<void(T&)> step, int triesLeft = 200)
{
    QTimer::singleShot(25, [=] {
        if (T* w = topLevel<T>(name)) {
            step(*w);
            return;
        }
        if (triesLeft > 0)
            whenShown<T>(name, step, triesLeft - 1);
        else
            ADD_FAILURE() << name << " never appeared";
    });
}

QString readConfig(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = f.readAll();
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

} // namespace

TEST(WholeProgram, AnOptionChangedInTheDialogIsInConfigCfgAfterExit)
{
    test::TempDir temp;
    const QString appFolder = temp.path() + QStringLiteral("/app");
    copyTree(test::appDir(), appFolder);
    const QString configPath = appFolder + QStringLiteral("/Config/Config.cfg");
    const QString before = readConfig(configPath);
    ASSERT_TRUE(before.contains(QStringLiteral("DisplayExcel=0\r\n"))) << before.toStdString();

    test::FakeSeams seams; // message boxes, dialogs, shell and lock: nobody is there to click
    seams.appInfo.folder = appFolder;

    bool optionsSeen = false;
    bool exitChosen = false;
    whenShown<ui::frmMain>("frmMain", [&](ui::frmMain& main) {
        // The dialog comes up from the Options menu; the user ticks "Display Excel" and presses OK.
        whenShown<ui::frmOptions>("frmOptions", [&](ui::frmOptions& options) {
            optionsSeen = true;
            QCheckBox* box = options.chkDisplayExcel;
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
            QTest::mouseClick(options.cmdOK, Qt::LeftButton);
        });
        main.mnuSettings->trigger();
        // Back from the modal dialog: File, Exit.
        exitChosen = true;
        main.mnuExit->trigger();
    });

    MainProc::Main([] { return std::make_unique<ui::MainWindowHost>(); });

    EXPECT_TRUE(optionsSeen);
    EXPECT_TRUE(exitChosen);
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join('|').toStdString();
    const QString after = readConfig(configPath);
    QString expected = before;
    expected.replace(QStringLiteral("DisplayExcel=0\r\n"), QStringLiteral("DisplayExcel=1\r\n"));
    EXPECT_EQ(after, expected);
    EXPECT_EQ(MainProc::Setting(), nullptr);
    EXPECT_EQ(MainProc::ExcelApp(), nullptr);
}
