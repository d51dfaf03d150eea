// Whole runs through the real engine: every sound corpus workbook listed and split in one run,
// each output read back by xlrd and compared with its source sheet; and two source workbooks of
// one file name, whose outputs meet in one workbook folder.
#include "automation/ApplicationFactory.h"
#include "split/SplitRun.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"
#include "tasklist/TaskListTestSupport.h"

#include "split/SplitTestSupport.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using namespace bf;

namespace {

struct RealRun {
    RealRun()
    {
        app->setDisplayAlerts(false); // as the installed configuration has it
        seams.folderChooser.answers = {out.path()};
    }
    ~RealRun()
    {
        app->workbooks().Close();
        app->Quit();
    }

    test::FakeSeams seams;
    AppContext context{seams};
    test::InstalledConfig config{context, test::standardConfigLines()};
    std::unique_ptr<automation::SpreadsheetApplication> app = automation::Backends().create(QString(), seams);
    test::InstalledApplication installed{context, *app};
    tasklist::InMemoryTaskRows rows;
    test::RecordingSplitView view;
    test::TempDir out;
};

QString stampOf(const QString& runFolder) { return QDir(runFolder).dirName(); }

QString outputFileOf(const QString& runFolder, const QString& source, const QString& sheet)
{
    const QString name = QFileInfo(source).fileName();
    return runFolder + name.left(name.size() - 4) + '/' + sheet + QStringLiteral("_Splitted_at_") +
           stampOf(runFolder) + QStringLiteral(".xls");
}

QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Runs the xlrd comparison over (source, sheet, output) lines; its printout on failure.
::testing::AssertionResult outputsMatchSources(const QStringList& jobLines, const test::TempDir& scratch)
{
    const QString jobs = scratch.write(QStringLiteral("jobs.tsv"), (jobLines.join('\n') + '\n').toUtf8());
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(test::python(), {test::sourceDir() + QStringLiteral("/tests/split/check_split_output.py"), jobs});
    if (!python.waitForFinished(280000))
        return ::testing::AssertionFailure() << "the xlrd check did not finish";
    const QString printout = QString::fromUtf8(python.readAll());
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return ::testing::AssertionFailure() << printout.toStdString();
    return ::testing::AssertionSuccess() << printout.toStdString();
}

} // namespace

TEST(SplitEndToEnd, EveryCorpusWorkbookSplitsInOneRunAndEachOutputMatchesItsSheet)
{
    RealRun r;
    std::vector<test::ManifestEntry> sound;
    for (const auto& e : test::readManifest())
        if (e.kind == QLatin1String("biff8"))
            sound.push_back(e);
    ASSERT_GE(sound.size(), 38u) << "corpus missing at " << test::corpusDir().toStdString();

    QStringList expectedSheets;
    for (const auto& e : sound) {
        tasklist::UpdateListView(r.context, r.rows, test::corpusFile(e.file));
        expectedSheets << e.worksheetNames;
    }
    ASSERT_TRUE(r.seams.messageBox.shown.empty()) << r.seams.messageBox.texts().join('\n').toStdString();
    QStringList listedSheets;
    for (int i = 1; i <= r.rows.rowCount(); ++i)
        listedSheets << r.rows.worksheetName(i);
    ASSERT_EQ(listedSheets, expectedSheets);

    const QString runFolder = split::RunSplit(r.context, r.rows, r.view);
    ASSERT_FALSE(runFolder.isEmpty()) << r.seams.messageBox.texts().join('\n').toStdString();
    EXPECT_EQ(r.seams.messageBox.texts(), QStringList{QStringLiteral("Mission complete!")});
    EXPECT_EQ(r.seams.shell.foldersShown, QStringList{runFolder});
    EXPECT_EQ(r.app->workbooks().Count(), 0);

    // Exactly one file per row, named as the run names it, and nothing beside the run folder.
    QStringList jobs, expectedFiles;
    for (int i = 1; i <= r.rows.rowCount(); ++i) {
        const QString source = r.rows.sourceFileName(i);
        const QString output = outputFileOf(runFolder, source, r.rows.worksheetName(i));
        expectedFiles << output;
        jobs << source + '\t' + r.rows.worksheetName(i) + '\t' + output;
    }
    expectedFiles.sort();
    EXPECT_EQ(filesUnder(r.out.path()), expectedFiles);
    EXPECT_EQ(QDir(r.out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{stampOf(runFolder)});

    test::TempDir scratch;
    EXPECT_TRUE(outputsMatchSources(jobs, scratch));
}

TEST(SplitEndToEnd, WorkbooksOfOneNameOrOfNamesDifferingInCaseKeepTheirOwnFolderAndSheets)
{
    RealRun r;
    test::TempDir sources;
    QDir().mkpath(sources.file(QStringLiteral("one")));
    QDir().mkpath(sources.file(QStringLiteral("two")));
    // Three workbooks with sheets of the same names: two of one file name, and a case twin.
    const std::pair<const char*, const char*> books[] = {{"one/Same.xls", "xlrd--ragged.xls"},
                                                         {"two/Same.xls", "poi--simplewithcomments.xls"},
                                                         {"one/same.xls", "poi--twosheetsonehidden.xls"}};
    for (const auto& [name, corpus] : books) {
        ASSERT_TRUE(QFile::link(test::corpusFile(QStringLiteral("xls/") + corpus), sources.file(name)));
        tasklist::UpdateListView(r.context, r.rows, sources.file(name));
    }
    ASSERT_EQ(r.rows.rowCount(), 8);

    const QString runFolder = split::RunSplit(r.context, r.rows, r.view);
    ASSERT_FALSE(runFolder.isEmpty()) << r.seams.messageBox.texts().join('\n').toStdString();
    const QString stamp = stampOf(runFolder);
    QStringList jobs, expected;
    for (int i = 1; i <= r.rows.rowCount(); ++i) {
        const QString folder = QStringList{"Same", "Same (2)", "same"}[(i - 1) / 3];
        expected << runFolder + folder + '/' + r.rows.worksheetName(i) + "_Splitted_at_" + stamp + ".xls";
        jobs << r.rows.sourceFileName(i) + '\t' + r.rows.worksheetName(i) + '\t' + expected.back();
    }
    expected.sort();
    EXPECT_EQ(filesUnder(r.out.path()), expected);
    test::TempDir scratch;
    EXPECT_TRUE(outputsMatchSources(jobs, scratch)); // each output holds its own workbook's sheet
}
