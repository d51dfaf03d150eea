// The command-line program, started as the real program on a few small workbooks: what its split
// run, listing and extraction write, what they print on which stream, and their exit status.
#include "support/RunProgram.h"
#include "support/TempDir.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace bf;
using test::filesUnder;
using test::Outcome;

namespace {

Outcome runTool(const QStringList& args, const QString& workingDir)
{
    return test::runProgram("brakenfold-split", args, workingDir);
}

QString corpus(const QString& name) { return test::corpusFile("xls/" + name); }

} // namespace

TEST(SplitCommandLine, WorkbooksOfOneNameOrDifferingInCaseKeepTheirOwnFolderAndSheetsInOneRunFolder)
{
    test::TempDir in, other, out, scratch;
    const struct {
        QString source, corpusFile, folder;
        QStringList sheets;
    } books[] = {{in.file("Same.xls"), "xlrd--ragged.xls", "Same", {"Sheet1", "Sheet2", "Sheet3"}},
                 {in.file("same.xls"), "poi--twosheetsonehidden.xls", "same", {"Sheet1", "Sheet2"}},
                 {other.file("Same.xls"), "poi--simplewithcomments.xls", "Same (2)", {"Sheet1", "Sheet2", "Sheet3"}}};
    for (const auto& b : books)
        ASSERT_TRUE(QFile::link(corpus(b.corpusFile), b.source));
    // Same.xls named first and again through its folder: listed once.
    const Outcome o = runTool({"-o", out.path(), in.file("Same.xls"), in.path(), other.file("Same.xls")}, in.path());
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.err, QStringLiteral("Mission complete!\n")); // no progress line: not a terminal
    ASSERT_EQ(o.outLines().size(), 1);
    const QString stamp = QDir(o.outLines()[0]).dirName();
    EXPECT_EQ(o.outLines()[0], out.path() + '/' + stamp + '/');

    QStringList expected;
    for (const auto& b : books)
        for (const QString& sheet : b.sheets) {
            expected << stamp + '/' + b.folder + '/' + sheet + "_Splitted_at_" + stamp + ".xls";
            // Its own workbook's sheet: the bytes the extraction writes (xls_fidelity checks those).
            const QString alone = scratch.file(QString::number(expected.size()) + ".xls");
            ASSERT_EQ(runTool({"--extract", b.source, sheet, alone}, in.path()).exitCode, 0);
            EXPECT_EQ(test::readFile(out.file(expected.back())), test::readFile(alone)) << expected.back().toStdString();
        }
    expected.sort();
    EXPECT_EQ(filesUnder(out.path()), expected);
}

TEST(SplitCommandLine, ExitStatusTellsAFailedRunFromAnInputThatWasNotListedAndKeepGoingGoesOn)
{
    test::TempDir in;
    const QString ragged = corpus("xlrd--ragged.xls"), other = corpus("gnumeric--array-intersection.xls");
    const QString missing = in.file(QStringLiteral("missing.xls"));
    const QString text = in.write(QStringLiteral("notes.txt"), "text");
    const QString dotted = in.file(QStringLiteral("...xls")); // its folder would be the run folder
    const QString bare = in.file(QStringLiteral("xls"));      // nothing is left once "xls" is dropped
    const QString fifo = in.file(QStringLiteral("fifo.xls")); // refused at once, never waited on
    ASSERT_TRUE(QFile::link(ragged, dotted) && QFile::link(corpus("poi--twosheetsonehidden.xls"), bare));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString stopped = "Err Description: the workbook \"xls\"";
    const struct {
        QStringList args; // "@" stands for the output folder
        int status;
        QStringList err; // each found on standard error
        int files;
        bool printsRunFolder; // only a run that went to its end
    } cases[] = {
        {{"-o", "@", missing, ragged, text}, 2, {"Name: " + missing, "Name: " + text, "Mission complete!\n"}, 3, true},
        {{ragged}, 0, {"Mission complete!\n"}, 3, true}, // into the working folder
        {{"-o", "@", missing}, 1, {"Please select some Excel workbook at first\n"}, 0, false},
        {{"-o", "@", fifo}, 1, {fifo + "' is a FIFO, not a regular file"}, 0, false},
        {{"-o", "@/nowhere", ragged}, 1, {"Please select a output folder and try again\n"}, 0, false},
        {{"-o", "@", dotted}, 1, {"Err Number: 75\n", "\nErr Proc: mnuSplit_Click\n"}, 0, false},
        {{"-o", "@", ragged, bare, other}, 1, {stopped}, 3, false},
        {{"--keep-going", "-o", "@", ragged, bare, other}, 1,
         {stopped, "2 of 8 worksheets could not be split:\n" + bare + ": Sheet1: Err 5: "}, 6, true},
    };
    for (const auto& c : cases) {
        test::TempDir out;
        QStringList args = c.args;
        args.replaceInStrings(QRegularExpression(QStringLiteral("^@")), out.path());
        const Outcome o = runTool(args, out.path());
        EXPECT_EQ(o.exitCode, c.status) << args.join(' ').toStdString() << '\n' << o.err.toStdString();
        for (const QString& part : c.err)
            EXPECT_TRUE(o.err.contains(part)) << o.err.toStdString();
        EXPECT_EQ(o.err.contains(QStringLiteral("Mission complete!")), c.printsRunFolder && c.status != 1);
        EXPECT_EQ(filesUnder(out.path()).size(), c.files);
        ASSERT_EQ(o.outLines().size(), c.printsRunFolder ? 1 : 0);
        if (c.printsRunFolder) {
            EXPECT_EQ(filesUnder(o.outLines()[0]).size(), c.files);
        }
    }
}

TEST(SplitCommandLine, ListedNamesAreEscapedOneWorksheetALine)
{
    // A sheet named tab, backslash, line feed, carriage return, escape and the C1 control U+0085.
    test::TempDir in;
    QFile source(corpus("xlrd--ragged.xls"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    bytes.replace(QByteArray("\x06\x00Sheet1", 8), QByteArray("\x06\x00\t\\\n\r\x1b\x85", 8));
    const QString odd = in.write(QStringLiteral("odd.xls"), bytes);
    const Outcome o = runTool({QStringLiteral("--list"), odd}, in.path());
    EXPECT_EQ(o.out, odd + QStringLiteral("\t\\t\\\\\\n\\r\\x1b\\x85\n") + odd + "\tSheet2\n" + odd + "\tSheet3\n");
}

TEST(SplitCommandLine, ListAndExtractTakeLaterArgumentsAsOperandsNameEachFailureAndReplaceNothing)
{
    test::TempDir dir;
    const QString good = corpus("calamine--any_sheets.xls"), locked = corpus("sheetjs--password_2002_40_972000.xls");
    const QString taken = dir.write("taken.xls", "keep me");
    const struct {
        QStringList args;
        int status;
        QString out, err;
    } cases[] = {
        {{"--list", good, locked}, 1, good + "\tVisible\n" + good + "\tHidden\n" + good + "\tVeryHidden\n",
         "error 1004: '" + locked + "' cannot be opened: it is a password-protected Excel 97-2003 workbook"},
        {{"--list", dir.file("absent.xls")}, 1, "", "error 53: File not found: " + dir.file("absent.xls")},
        {{"--extract", good, "Nope", dir.file("n.xls")}, 1, "", "error 9: "},
        {{"--extract", good, "Visible", taken}, 1, "", "error 58: '" + taken + "' already exists"},
        // After --list or --extract every argument is an operand, even one that looks like an option.
        {{"--list", good, "--backend", "calc"}, 1, good + "\tVisible\n" + good + "\tHidden\n" + good + "\tVeryHidden\n",
         "error 53: File not found: " + dir.file("--backend") + "\nbrakenfold-split: error 53: File not found: " +
             dir.file("calc") + '\n'},
        {{"--list", "--help"}, 1, "", "error 53: File not found: " + dir.file("--help") + '\n'},
        {{"--extract", good, "--keep-going", "x.xls"}, 1, "", "has no worksheet named '--keep-going'\n"},
        {{"--backend", "bogus", "--list", good}, 1, "",
         "error 1004: the spreadsheet application \"bogus\" is not available in this build\n"},
        {{"-o", ".", "--", "-x.xls"}, 1, "", "Error File Name: " + dir.file("-x.xls") + '\n'},
    };
    for (const auto& c : cases) {
        const Outcome o = runTool(c.args, dir.path());
        EXPECT_EQ(o.exitCode, c.status) << o.err.toStdString();
        EXPECT_EQ(o.out, c.out);
        EXPECT_TRUE(o.err.contains(c.err)) << o.err.toStdString();
    }
    EXPECT_EQ(test::readFile(taken), "keep me");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"taken.xls"});
}

TEST(SplitCommandLine, AMacroEnabledSourceIsSaidOnceOnStandardErrorAndItsOutputsHoldNoMacros)
{
    test::TempDir out;
    const QString withVba = test::corpusFile("xlsx/phpspreadsheet--form_pass_print.xlsm"); // two sheets
    const QString withXlm = test::corpusFile("xlsx/poi--xlmmacro.xlsm");
    const QString plain = test::corpusFile("xlsx/calamine--any_sheets.xlsx");
    const Outcome o = runTool({"-o", out.path(), withVba, plain, withXlm}, out.path());
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString(); // not a failure
    const QString notice = ": its macros are not copied: its worksheets are written as .xlsx workbooks, which hold no macros\n";
    EXPECT_EQ(o.err, "brakenfold-split: " + withVba + notice + "brakenfold-split: " + withXlm + notice + "Mission complete!\n");
    const QStringList files = filesUnder(out.path());
    ASSERT_EQ(files.size(), 7);
    for (const QString& file : files) {
        EXPECT_TRUE(file.endsWith(".xlsx")) << file.toStdString();
        EXPECT_FALSE(test::readFile(out.file(file)).contains("vbaProject")) << file.toStdString();
    }
}
