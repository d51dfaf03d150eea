// The About box with its real widgets: what it shows and where, how its links and buttons
// behave, and that it refuses to load without its icon or cursor.
#include "StoreFixture.h"
#include "about/AboutBox.h"
#include "about/LinkCommands.h"
#include "about/SysInfo.h"
#include "about/frmAbout.h"
#include "ui/Twips.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::about;

namespace {

const QString kMainCaption = QStringLiteral("Brakenfold 1.0.5");

// An application folder holding the About box's two files, the folder written as the main
// window writes it ("Icon") while the box asks for "\icon\hand.cur".
struct AppFolder {
    AppFolder(bool withIcon = true, bool withCursor = true)
    {
        if (withIcon)
            copy("AppMain.ico");
        if (withCursor)
            copy("hand.cur");
    }
    void copy(const QString& name)
    {
        QFile src(test::sourceDir() + "/assets/Icon/" + name);
        if (!src.open(QIODevice::ReadOnly))
            throw std::runtime_error("missing asset");
        dir.write("Icon/" + name, src.readAll());
    }
    test::TempDir dir;
};

QRect twipRect(const TwipRect& r, int dpiX, int dpiY)
{
    return QRect(ui::twipsToPixels(r.left, dpiX), ui::twipsToPixels(r.top, dpiY), ui::twipsToPixels(r.width, dpiX),
                 ui::twipsToPixels(r.height, dpiY));
}

} // namespace

TEST(frmAbout, TextsLayoutAndLinkStyleAtLoad)
{
    test::FakeSeams fakes;
    AppFolder app;
    fakes.appInfo.folder = app.dir.path();
    frmAbout box(fakes, kMainCaption, {});

    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Brakenfold"));
    EXPECT_EQ(box.lblTitle->text(), kMainCaption);
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version 1.0.5"));
    EXPECT_EQ(box.lblDisclaimer->text(), QString());
    EXPECT_EQ(box.lblVisitHomePage->text(), QStringLiteral("VisitHomePage"));
    EXPECT_EQ(box.lblTechnicalSupport->text(), QStringLiteral("Technical Support"));
    EXPECT_EQ(box.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_TRUE(box.cmdOK->isDefault());
    EXPECT_FALSE(box.cmdSysInfo->isDefault());

    // Twips through the screen's logical resolution; at 96 dpi 15 twips are one pixel.
    const int dx = box.logicalDpiX();
    const int dy = box.logicalDpiY();
    EXPECT_EQ(ui::twipsToPixels(5670, 96), 378);
    EXPECT_EQ(box.size(), QSize(ui::twipsToPixels(kClientWidth, dx), ui::twipsToPixels(kClientHeight, dy)));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()); // fixed border
    EXPECT_EQ(box.cmdOK->geometry(), twipRect(kCmdOK, dx, dy));
    EXPECT_EQ(box.cmdSysInfo->geometry(), twipRect(kCmdSysInfo, dx, dy));
    EXPECT_EQ(box.lblTitle->geometry(), twipRect(kLblTitle, dx, dy));
    EXPECT_EQ(box.lblVersion->geometry(), twipRect(kLblVersion, dx, dy));
    EXPECT_EQ(box.lblDisclaimer->geometry(), twipRect(kLblDisclaimer, dx, dy));
    EXPECT_EQ(box.picIcon->pos(), twipRect(kPicIcon, dx, dy).topLeft());
    EXPECT_EQ(box.picIcon->size(), QSize(ui::twipsToPixels(480, dx), ui::twipsToPixels(480, dx))); // the icon's size
    EXPECT_FALSE(box.picIcon->pixmap().isNull());
    // Opens centred on the screen.
    const QPoint screenCentre = box.screen()->availableGeometry().center();
    EXPECT_LE((box.geometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);

    // Links: underlined, pure blue, sized to their text where they were placed, hand cursor
    // with the hotspot that the cursor file stores.
    const Hotspot hot = ReadCursorHotspot(app.dir.file("Icon/hand.cur"));
    for (LinkLabel* link : {box.lblVisitHomePage, box.lblTechnicalSupport}) {
        SCOPED_TRACE(link->text().toStdString());
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(link->cursor().hotSpot(), QPoint(hot.x, hot.y));
        EXPECT_EQ(link->size(), link->sizeHint());
    }
    EXPECT_EQ(box.lblVisitHomePage->pos(), twipRect(kLblVisitHomePage, dx, dy).topLeft());
    EXPECT_EQ(box.lblTechnicalSupport->pos(), twipRect(kLblTechnicalSupport, dx, dy).topLeft());
    EXPECT_EQ(box.lblTitle->palette().color(QPalette::WindowText), QColor(Qt::black));

    // The etched separator as it is painted: grey, with white below it.
    const QImage shot = box.grab().toImage();
    const int greyY = ui::twipsToPixels(kSeparatorGrey.y, dy);
    for (int x : {ui::twipsToPixels(200, dx), box.width() / 2, box.width() - 2}) {
        EXPECT_EQ(shot.pixelColor(x, greyY), QColor(0x80, 0x80, 0x80)) << x;
        EXPECT_EQ(shot.pixelColor(x, greyY + 1), QColor(Qt::white)) << x;
        EXPECT_EQ(shot.pixelColor(x, greyY + 2), QColor(Qt::white)) << x;
    }
}

TEST(frmAbout, LinksOpenTheConfiguredAddressesAndReportFailuresAsTheMenuCommands)
{
    test::FakeSeams fakes;
    AppFolder app;
    fakes.appInfo.folder = app.dir.path();
    // Wired as the main window wires them: to the link commands.
    AppContext context(fakes);
    AboutLinks links{[&] { VisitHomePage(context); }, [&] { Support(context); }};
    frmAbout box(fakes, kMainCaption, links);
    box.show();
    {
        test::StoreFixture store(context, QStringLiteral("HomePage=https://brakenfold.example.org/\r\n"
                                                "SupportEmail=mailto:help@brakenfold.example.org\r\n"));
        QTest::mouseClick(box.lblVisitHomePage, Qt::LeftButton);
        QTest::mouseClick(box.lblVisitHomePage, Qt::RightButton); // only the left button follows a link
        QTest::mouseClick(box.lblTechnicalSupport, Qt::LeftButton);
        EXPECT_EQ(fakes.shell.opened, (QStringList{QStringLiteral("https://brakenfold.example.org/"),
                                                   QStringLiteral("mailto:help@brakenfold.example.org")}));
        EXPECT_TRUE(fakes.messageBox.shown.empty());
        EXPECT_TRUE(box.isVisible()); // following a link does not close the box
    }
    // Without a configuration store the commands fail; the report names the menu command.
    QTest::mouseClick(box.lblTechnicalSupport, Qt::LeftButton);
    QTest::mouseClick(box.lblVisitHomePage, Qt::LeftButton);
    ASSERT_EQ(fakes.messageBox.shown.size(), 2u);
    EXPECT_TRUE(fakes.messageBox.texts().at(0).endsWith(QStringLiteral("Err Proc: mnuSupport_Click")));
    EXPECT_TRUE(fakes.messageBox.texts().at(1).endsWith(QStringLiteral("Err Proc: mnuVisitHomePage_Click")));
    EXPECT_EQ(fakes.shell.opened.size(), 2);
}

TEST(frmAbout, KeysAndButtonsCloseOrStartSystemInformation)
{
    test::FakeSeams fakes;
    AppFolder app;
    fakes.appInfo.folder = app.dir.path();

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        frmAbout box(fakes, kMainCaption, {});
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, key);
        EXPECT_FALSE(box.isVisible()) << key;
    }
    {
        frmAbout box(fakes, kMainCaption, {});
        box.show();
        QTest::mouseClick(box.cmdOK, Qt::LeftButton);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), QDialog::Accepted);
    }
    {
        // Alt+S presses System Info; with nothing registered it says so and the box stays.
        frmAbout box(fakes, kMainCaption, {});
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        // OK has the focus first, System Info comes next.
        EXPECT_EQ(QApplication::focusWidget(), box.cmdOK);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), box.cmdSysInfo);
        EXPECT_TRUE(fakes.messageBox.shown.empty());
        QTest::keyClick(&box, Qt::Key_S, Qt::AltModifier);
        // An access key presses the button the way a click does, after its short press animation.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fakes.messageBox.shown.empty(); }, 2000));
        EXPECT_EQ(fakes.messageBox.texts(), QStringList{QString::fromLatin1(kSysInfoUnavailable)});
        EXPECT_TRUE(box.isVisible());

        fakes.registry.setValue(QString::fromLatin1(kSysInfoPathKey), "PATH", platform::REG_SZ_TYPE,
                                QByteArray("/usr/bin/sysinfo-tool"));
        QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
        EXPECT_EQ(fakes.shell.started, QStringList{"/usr/bin/sysinfo-tool"});
        EXPECT_EQ(fakes.messageBox.shown.size(), 1u);
    }
}

TEST(frmAbout, MissingOrBrokenFilesFailTheLoad)
{
    test::FakeSeams fakes;
    struct Case {
        const char* what;
        bool icon, cursor;
        QByteArray iconBytes, cursorBytes;
        std::int32_t number;
    };
    const QByteArray junk("not a picture at all, just some text of a fair length");
    const std::vector<Case> cases{
        {"no AppMain.ico", false, true, {}, {}, err::FileNotFound},
        {"no hand.cur", true, false, {}, {}, err::FileNotFound},
        {"hand.cur that is no cursor", true, false, {}, junk, 481},
        {"AppMain.ico that is no picture", false, true, junk, {}, 481},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppFolder app(c.icon, c.cursor);
        if (!c.cursorBytes.isEmpty())
            app.dir.write("Icon/hand.cur", c.cursorBytes);
        if (!c.iconBytes.isEmpty())
            app.dir.write("Icon/AppMain.ico", c.iconBytes);
        fakes.appInfo.folder = app.dir.path();
        try {
            frmAbout box(fakes, kMainCaption, {});
            ADD_FAILURE() << "the box loaded";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number);
        }
    }
    EXPECT_TRUE(fakes.messageBox.shown.empty()); // reporting is the caller's
}
