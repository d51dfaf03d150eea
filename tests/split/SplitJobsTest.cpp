// brakenfold-split --jobs 2 against --jobs 1 on the same workbooks, started as the real program:
// the same tree of files byte for byte, the same reports and the same exit status, whether the
// run stops at its first failure or goes on.
#include "support/RunProgram.h"
#include "support/TempDir.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace bf;

namespace {

struct Result {
    int status = -1;
    QString err;
    QMap<QString, QByteArray> files; // by path under the run folder, its time stamp written STAMP
};

Result split(const QStringList& args, const test::TempDir& in)
{
    test::TempDir out;
    const test::Outcome o = test::runProgram("brakenfold-split", QStringList{"-o", out.path()} + args, in.path());
    const QStringList runs = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (runs.size() != 1)
        return {o.exitCode, o.err, {{"run folders: " + runs.join(", "), {}}}};
    Result r{o.exitCode, QString(o.err).replace(runs[0], "STAMP"), {}};
    for (const QString& file : test::filesUnder(out.path()))
        r.files.insert(QString(file).replace(runs[0], "STAMP"), test::readFile(out.file(file)));
    return r;
}

} // namespace

TEST(SplitJobs, TwoJobsWriteTheFilesAndReportsOfOneAndStopAtTheSameFailure)
{
    test::TempDir in;
    // The first workbook's last worksheet cannot name a file, so a run that does not go on ends
    // there once the second job has written later workbooks; "lots" and "book" come twice (.xls
    // and .xlsx: "lots (2)", "book (2)"), the second "lots" opened sooner; "xls" has no short name,
    // so every worksheet of it fails.
    QByteArray cut = test::readFile(test::corpusFile("xls/exceldatareader--test_lotsofsheets.xls"));
    const qsizetype last = cut.indexOf(QByteArray("\x10\x00" "DeNormalisedData", 18));
    ASSERT_GT(last, 0);
    cut.replace(last + 14, 1, "/"); // DeNormalised/ata
    QStringList inputs{in.write("a/lots.xls", cut)};
    const QStringList links[] = {{"b/lots.xlsx", "xlsx/calamine--any_sheets.xlsx"},
                                 {"a/book.xls", "xls/xlrd--ragged.xls"},
                                 {"b/book.xlsx", "xlsx/exceldatareader--test_lotsofsheets.xlsx"},
                                 {"c/xls", "xls/poi--twosheetsonehidden.xls"},
                                 {"c/arrays.xls", "xls/gnumeric--arrays.xls"}};
    for (const QStringList& link : links) {
        inputs << in.file(link[0]);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(inputs.back()).path()) && QFile::link(test::corpusFile(link[1]), inputs.back()));
    }
    const struct {
        QStringList options;
        int files;               // written by the run with one job
        QStringList errInOrder;  // found in this order on its standard error
    } cases[] = {
        {{}, 13, {"Err Number: 75\n"}},
        {{"--keep-going"}, 38, {"3 of 41 worksheets could not be split:\n" + inputs[0] + ": DeNormalised/ata: Err 75: ",
                                inputs[4] + ": Sheet1: Err 5: ", inputs[4] + ": Sheet2: Err 5: "}},
    };
    for (const auto& c : cases) {
        const Result one = split(c.options + QStringList{"--jobs", "1"} + inputs, in);
        EXPECT_EQ(one.status, 1) << one.err.toStdString();
        EXPECT_EQ(one.files.size(), c.files) << one.files.keys().join('\n').toStdString();
        qsizetype at = 0;
        for (const QString& part : c.errInOrder) {
            at = one.err.indexOf(part, at);
            EXPECT_GE(at, 0) << part.toStdString() << '\n' << one.err.toStdString();
        }
        const Result two = split(c.options + QStringList{"--jobs", "2"} + inputs, in);
        EXPECT_EQ(two.status, one.status);
        EXPECT_EQ(two.err, one.err);
        EXPECT_EQ(two.files.keys(), one.files.keys());
        EXPECT_TRUE(two.files == one.files) << "the bytes of a file differ";
    }
}
