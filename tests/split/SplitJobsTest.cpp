// The split run in jobs. In the real program --jobs 2 writes the files, reports and exit status of
// --jobs 1, stopping at a failure or going on; folder names follow the list whichever job asks first.
#include "split/SplitJobs.h"
#include "support/SplitFixture.h"

#include <QMap>
#include <atomic>
#include <gtest/gtest.h>

using namespace bf;

namespace {

struct Result {
    int status = -1;
    QString err;
    QMap<QString, QByteArray> files; // by path under the run folder, its time stamp written STAMP
};

Result programSplit(const QStringList& args, const test::TempDir& in)
{
    test::TempDir out;
    const test::Outcome o = test::runProgram("brakenfold-split", QStringList{"-o", out.path()} + args, in.path());
    const QString stamp = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0, "(no run folder)");
    Result r{o.exitCode, QString(o.err).replace(stamp, "STAMP"), {}};
    for (const QString& file : test::filesUnder(out.path()))
        r.files.insert(QString(file).replace(stamp, "STAMP"), test::readFile(out.file(file)));
    return r;
}

} // namespace

TEST(SplitJobs, TwoJobsWriteTheFilesAndReportsOfOneAndStopAtTheSameFailure)
{
    test::TempDir in;
    // The first workbook's last worksheet cannot name a file: a run that does not go on ends there once
    // the second job has written later workbooks. "lots" and "book" come twice (.xls and .xlsx), the
    // second "lots" opened sooner; "xls" has no short name, so every worksheet of it fails.
    QByteArray cut = test::readFile(test::corpusFile("xls/exceldatareader--test_lotsofsheets.xls"));
    const qsizetype last = cut.indexOf(QByteArray("\x10\x00" "DeNormalisedData", 18));
    ASSERT_GT(last, 0);
    cut.replace(last + 14, 1, "/"); // DeNormalised/ata
    QStringList inputs{in.write("a/lots.xls", cut)};
    const QStringList copies[] = {
        {"b/lots.xlsx", "xlsx/calamine--any_sheets.xlsx"}, {"a/book.xls", "xls/xlrd--ragged.xls"},
        {"b/book.xlsx", "xlsx/exceldatareader--test_lotsofsheets.xlsx"}, {"c/xls", "xls/poi--twosheetsonehidden.xls"},
        {"c/arrays.xls", "xls/gnumeric--arrays.xls"}};
    for (const QStringList& copy : copies)
        inputs << in.write(copy[0], test::readFile(test::corpusFile(copy[1])));
    const struct { QStringList options; int files; QString err; } cases[] = { // files, err: of the run with one job
        {{}, 13, "Err Number: 75\n"},
        {{"--keep-going"}, 38, "3 of 41 worksheets could not be split:\n" + inputs[0] + ": DeNormalised/ata: Err 75: "}};
    for (const auto& c : cases) {
        const Result one = programSplit(c.options + QStringList{"--jobs", "1"} + inputs, in);
        EXPECT_EQ(one.status, 1) << one.err.toStdString();
        EXPECT_EQ(one.files.size(), c.files) << one.files.keys().join('\n').toStdString();
        EXPECT_TRUE(one.err.contains(c.err)) << one.err.toStdString();
        const Result two = programSplit(c.options + QStringList{"--jobs", "2"} + inputs, in);
        EXPECT_EQ(two.status, one.status);
        EXPECT_EQ(two.err, one.err);
        EXPECT_TRUE(two.files == one.files) << "the files or their bytes differ:\n" << two.files.keys().join('\n').toStdString();
    }
}

TEST(SplitJobs, FolderNamesFollowTheListThoughALaterWorkbookAsksFirst)
{
    test::SplitFixture f;
    f.rows.addRow("/a/book.xls", "A");
    f.rows.addRow("/b/book.xls", "B");
    std::atomic<bool> secondAsked = false; // for its folder name: only then is the first workbook opened
    split::JobMakers makers{[&](const platform::Seams&) {
        auto app = std::make_unique<test::FakeSpreadsheet>();
        app->addWorkbook("/a/book.xls", {"A"});
        app->addWorkbook("/b/book.xls", {"B"});
        app->beforeOp = [&](test::FakeOp, const QString& path) { if (path == "/a/book.xls") secondAsked.wait(false); };
        return app;
    }, {}, [&](std::size_t workbook) { secondAsked = secondAsked || workbook == 1; secondAsked.notify_all(); }};
    split::RunSplitInJobs(f.context, f.rows, f.view, 2, makers);
    EXPECT_EQ(f.files(), (QStringList{f.output("book (2)", "B"), f.output("book", "A")})) << f.files().join('\n').toStdString();
}
