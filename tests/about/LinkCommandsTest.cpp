// The link commands hand the configured addresses to the shell exactly as they are stored.
#include "about/LinkCommands.h"
#include "core/Error.h"
#include "StoreFixture.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace bf;

using test::StoreFixture;

TEST(LinkCommands, ConfiguredValuesReachTheShellUnchanged)
{
    test::FakeSeams fakes;
    AppContext context(fakes);
    StoreFixture store(context, QStringLiteral("HomePage=https://brakenfold.example.org/start?a=1&b=2\r\n"
                                      "SupportEmail= mailto:help@example.org \r\n"));
    about::VisitHomePage(context);
    about::Support(context);
    EXPECT_EQ(fakes.shell.opened, (QStringList{QStringLiteral("https://brakenfold.example.org/start?a=1&b=2"),
                                               QStringLiteral(" mailto:help@example.org ")}));

    // A web address as the support value, and a value without a scheme, go over as they are.
    StoreFixture other(context, QStringLiteral("HomePage=www.example.org\r\nSupportEmail=https://example.org/help\r\n"));
    fakes.shell.opened.clear();
    about::VisitHomePage(context);
    about::Support(context);
    EXPECT_EQ(fakes.shell.opened,
              (QStringList{QStringLiteral("www.example.org"), QStringLiteral("https://example.org/help")}));
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST(LinkCommands, MissingKeysAndShellRefusalsAreNotReported)
{
    test::FakeSeams fakes;
    AppContext context(fakes);
    StoreFixture store(context, QStringLiteral("frmMainCaption=Brakenfold \r\n"));
    fakes.shell.openSucceeds = false;
    EXPECT_NO_THROW(about::VisitHomePage(context));
    EXPECT_NO_THROW(about::Support(context));
    EXPECT_EQ(fakes.shell.opened, (QStringList{QString(), QString()})); // the empty text is handed over
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}

TEST(LinkCommands, WithoutAStoreTheCommandRaisesForItsHandlerToReport)
{
    test::FakeSeams fakes;
    const AppContext context(fakes);
    try {
        about::VisitHomePage(context);
        ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::ObjectVariableNotSet);
    }
    EXPECT_THROW(about::Support(context), Error);
    EXPECT_TRUE(fakes.shell.opened.isEmpty());
}

TEST(LinkCommands, HelpFileIsFoundBesideTheProgramWhateverItsLetterCase)
{
    test::FakeSeams fakes;
    test::TempDir app;
    fakes.appInfo.folder = app.path();
    const QString stored = app.write("Help/HELP.chm", "ITSF");
    EXPECT_EQ(QDir::cleanPath(about::HelpFilePath(fakes)), QDir::cleanPath(stored));
}

TEST(LinkCommands, HelpOpensTheCompiledFileElseTheTopicsPageElseSaysWhatCouldNotBeOpened)
{
    test::FakeSeams fakes;
    test::TempDir app;
    fakes.appInfo.folder = app.path();
    const QString chm = app.write("help/help.chm", "ITSF");
    const QString page = app.write("help/html/add_file.htm", "<html></html>");
    const struct {
        QStringList handled;
        bool openSucceeds;
        QStringList opened; // in the order tried
        bool message;
    } cases[] = {
        {{"chm", "htm"}, true, {chm}, false},
        {{"htm"}, true, {page}, false},
        {{"chm", "htm"}, false, {chm, page}, true},
        {{"txt"}, true, {}, true},
    };
    for (const auto& c : cases) {
        fakes.shell.handledEndings = c.handled;
        fakes.shell.openSucceeds = c.openSucceeds;
        fakes.shell.opened.clear();
        fakes.messageBox.shown.clear();
        about::OpenHelp(fakes, "add_file.htm");
        EXPECT_EQ(fakes.shell.opened, c.opened) << c.handled.join(',').toStdString();
        ASSERT_EQ(fakes.messageBox.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            const QString text = fakes.messageBox.texts().first();
            EXPECT_TRUE(text.contains(chm) && text.contains(page)) << text.toStdString();
        }
    }
    // No page for the topic and no viewer for the compiled file: nothing opens, and the user is told.
    fakes.shell.handledEndings = {"htm"};
    fakes.shell.openSucceeds = true;
    fakes.shell.opened.clear();
    fakes.messageBox.shown.clear();
    about::OpenHelp(fakes, "no_such_topic.htm");
    EXPECT_TRUE(fakes.shell.opened.isEmpty());
    EXPECT_EQ(fakes.messageBox.shown.size(), 1u);
}
