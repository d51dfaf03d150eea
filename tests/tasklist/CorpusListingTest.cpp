// Every BIFF8 workbook of the corpus listed through the real engine: one row per worksheet, in
// workbook order, with the names the manifest records (chart sheets are not worksheets).
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"
#include "tasklist/TaskListTestSupport.h"

#include "automation/ApplicationFactory.h"
#include "support/FakeSeams.h"

#include <gtest/gtest.h>

using namespace bf;

TEST(CorpusListing, EveryBiff8WorkbookListsTheManifestWorksheetNames)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, test::standardConfigLines());
    auto app = automation::Backends().create(QStringLiteral("native"), seams);
    context.application = app.get();
    const auto manifest = test::readManifest();
    ASSERT_GE(manifest.size(), 50u) << "the corpus manifest could not be read";

    int listed = 0;
    for (const auto& entry : manifest) {
        if (entry.kind != QLatin1String("biff8"))
            continue;
        ++listed;
        tasklist::InMemoryTaskRows rows;
        const QString path = test::corpusFile(entry.file);
        seams.messageBox.shown.clear();
        tasklist::UpdateListView(context, rows, path);
        EXPECT_TRUE(seams.messageBox.shown.empty())
            << entry.file.toStdString() << ": " << seams.messageBox.texts().join('|').toStdString();
        QStringList names;
        for (int i = 1; i <= rows.rowCount(); ++i) {
            EXPECT_EQ(rows.sourceFileName(i), path);
            names << rows.worksheetName(i);
        }
        EXPECT_EQ(names, entry.worksheetNames) << entry.file.toStdString();
        EXPECT_EQ(app->workbooks().Count(), 0) << entry.file.toStdString() << " was left open";
    }
    EXPECT_EQ(listed, 38);
}

TEST(CorpusListing, FilesThatAreNoWorkbookGiveOneFileReportAndNoRows)
{
    test::FakeSeams seams;
    AppContext context(seams);
    test::InstalledConfig config(context, test::standardConfigLines());
    auto app = automation::Backends().create(QStringLiteral("native"), seams);
    context.application = app.get();
    for (const auto& entry : test::readManifest()) {
        // A damaged workbook whose sheet list is intact may be listed; the damage shows when split.
        if (entry.kind == QLatin1String("biff8") ||
            (entry.kind == QLatin1String("corrupt") && !entry.worksheetNames.isEmpty()))
            continue;
        tasklist::InMemoryTaskRows rows;
        seams.messageBox.shown.clear();
        const QString path = test::corpusFile(entry.file);
        tasklist::UpdateListView(context, rows, path);
        ASSERT_EQ(seams.messageBox.shown.size(), 1u) << entry.file.toStdString();
        EXPECT_TRUE(seams.messageBox.shown[0].text.endsWith("\r\nError File Name: " + path));
        EXPECT_FALSE(rows.busy());
        EXPECT_EQ(app->workbooks().Count(), 0);
    }
}
