// The About box with its real widgets: its links run the link commands, System Info looks for
// the tool, and each failure is reported as the menu command's.
#include "about/LinkCommands.h"
#include "about/SysInfo.h"
#include "about/frmAbout.h"
#include "platform/qt/QtSeams.h"
#include "support/ConfigFixture.h"
#include "support/FakeSeams.h"
#include "support/TestPaths.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::about;

TEST(frmAbout, LinksAndSystemInfoRunTheirCommandsAndReportFailuresAsTheMenuCommands)
{
    test::FakeSeams fakes;
    platform::qt::NoRegistry registry; // as on this platform: nothing is registered
    fakes.Seams::registry = &registry;
    test::TempDir app;
    for (const char* file : {"Icon/AppMain.ico", "Icon/hand.cur"})
        app.write(file, test::readFile(test::sourceDir() + "/assets/" + file));
    fakes.appInfo.folder = app.path();
    AppContext context(fakes);
    // Wired as the main window wires them: to the link commands.
    frmAbout box(fakes, "Brakenfold 1.0.5", {[&] { VisitHomePage(context); }, [&] { Support(context); }});
    box.show();
    {
        // The stored values go to the shell unchanged; a missing key as the empty text.
        test::InstalledConfig config(context, {"HomePage=https://brakenfold.example.org/?a=1&b=2", "SupportEmail= mailto:h@x.org "});
        QTest::mouseClick(box.lblVisitHomePage, Qt::LeftButton);
        QTest::mouseClick(box.lblVisitHomePage, Qt::RightButton); // only the left button follows a link
        QTest::mouseClick(box.lblTechnicalSupport, Qt::LeftButton);
        test::InstalledConfig without(context, {"frmMainCaption=Brakenfold "});
        fakes.shell.opens = test::FakeShell::OpenerFails; // said, naming what was handed over
        QTest::mouseClick(box.lblTechnicalSupport, Qt::LeftButton);
    }
    EXPECT_EQ(fakes.shell.opened, (QStringList{"https://brakenfold.example.org/?a=1&b=2", " mailto:h@x.org ", ""}));
    EXPECT_EQ(fakes.messageBox.texts(), QStringList{"The address could not be opened: no program on this computer opens \"\"."});
    fakes.messageBox.shown.clear();
    // Without a configuration store the commands fail.
    QTest::mouseClick(box.lblTechnicalSupport, Qt::LeftButton);
    QTest::mouseClick(box.lblVisitHomePage, Qt::LeftButton);
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
    const QStringList texts = fakes.messageBox.texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts[0].endsWith("Err Proc: mnuSupport_Click")) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].endsWith("Err Proc: mnuVisitHomePage_Click")) << texts[1].toStdString();
    EXPECT_EQ(texts[2], kSysInfoUnavailable);
    EXPECT_EQ(fakes.shell.opened.size(), 3);
    EXPECT_TRUE(box.isVisible());
    QTest::mouseClick(box.cmdOK, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
}
