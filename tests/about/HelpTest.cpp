// Help: the compiled file beside the program, else the topic's page, else a message naming both;
// and each menu entry's context number leading to its own page.
#include "about/HelpTopics.h"
#include "about/LinkCommands.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace bf;

TEST(Help, OpensTheCompiledFileElseTheTopicsPageElseSaysWhatCouldNotBeOpened)
{
    test::FakeSeams fakes;
    test::TempDir app;
    fakes.appInfo.folder = app.path();
    const QString chm = app.write("Help/HELP.chm", "ITSF"); // found whatever its letter case, beside help/
    const QString page = app.write("help/html/add_file.htm", "<html></html>");
    using Shell = test::FakeShell;
    const struct {
        const char* topic;
        QStringList handled; // the endings a program is registered for
        Shell::Outcome opens;
        QStringList opened; // in the order tried
    } cases[] = {
        {"add_file.htm", {"chm", "htm"}, Shell::Opens, {chm}},
        {"add_file.htm", {"htm"}, Shell::Opens, {page}},
        {"add_file.htm", {"chm", "htm"}, Shell::CannotStart, {chm, page}},
        {"add_file.htm", {"chm", "htm"}, Shell::OpenerFails, {chm, page}}, // found out once started
        {"add_file.htm", {"txt"}, Shell::Opens, {}},
        {"no_such_topic.htm", {"htm"}, Shell::Opens, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handled.join(',').toStdString() + ' ' + c.topic);
        fakes.shell.handledEndings = c.handled;
        fakes.shell.opens = c.opens;
        fakes.shell.opened.clear();
        fakes.messageBox.shown.clear();
        about::OpenHelp(fakes, c.topic);
        EXPECT_EQ(fakes.shell.opened, c.opened);
        const bool told = c.opened.isEmpty() || c.opens != Shell::Opens;
        ASSERT_EQ(fakes.messageBox.shown.size(), told ? 1u : 0u);
        if (told) {
            EXPECT_TRUE(fakes.messageBox.texts()[0].contains(chm) && fakes.messageBox.texts()[0].contains(c.topic));
        }
    }
}

TEST(Help, EachMenuContextNumberLeadsToItsOwnPage)
{
    for (const about::MenuHelpTopic& t : about::kMenuHelpTopics) {
        EXPECT_STREQ(about::HelpPageForContext(t.context), t.page) << t.menuName;
        EXPECT_TRUE(QFileInfo::exists(test::sourceDir() + "/assets/help/src/" + t.page)) << t.page;
    }
    EXPECT_EQ(about::HelpPageForContext(16), nullptr);
}
