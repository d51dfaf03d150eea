// The command-line split run, started as the real program: what it lists, where it writes, what
// it prints on which stream, and its exit status.
#include "support/TempDir.h"
#include "tasklist/TaskListTestSupport.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace bf;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

Outcome runTool(const QStringList& args, const QString& workingDir)
{
    QProcess p;
    p.setWorkingDirectory(workingDir);
    p.start(test::appDir() + QStringLiteral("/brakenfold-split"), args);
    Outcome o;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return o;
    o.exitCode = p.exitCode();
    o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    o.err = QString::fromLocal8Bit(p.readAllStandardError());
    return o;
}

// Files under folder, relative to it, sorted.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QString corpus(const char* name) { return test::corpusFile(QStringLiteral("xls/") + QLatin1String(name)); }

} // namespace

TEST(SplitCommandLine, FilesAndFoldersAreListedLikeTheAddCommandsAndSplitIntoOneRunFolder)
{
    test::TempDir in, out;
    // A folder: two workbooks (one with an upper-case ending), a text file, a sub-folder that
    // is not searched.
    ASSERT_TRUE(QFile::link(corpus("poi--27394.xls"), in.file(QStringLiteral("b.xls"))));
    ASSERT_TRUE(QFile::link(corpus("calamine--issue219.xls"), in.file(QStringLiteral("C.XLS"))));
    in.write(QStringLiteral("notes.txt"), "not a workbook");
    QDir().mkpath(in.file(QStringLiteral("sub")));
    ASSERT_TRUE(QFile::link(corpus("poi--text.xls"), in.file(QStringLiteral("sub/d.xls"))));

    const QString ragged = corpus("xlrd--ragged.xls");
    // The same workbook twice: listed once, as the add commands do.
    const Outcome o = runTool({QStringLiteral("-o"), out.path(), ragged, in.path(), ragged}, in.path());
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.err, QStringLiteral("Mission complete!\n")); // no progress line: not a terminal
    ASSERT_FALSE(o.outLines().isEmpty());
    const QString runFolder = o.outLines().last();
    const QString stamp = QDir(runFolder).dirName();
    EXPECT_EQ(runFolder, out.path() + '/' + stamp + '/');
    const QString tail = QStringLiteral("_Splitted_at_") + stamp + QStringLiteral(".xls");
    EXPECT_EQ(filesUnder(out.path()),
              (QStringList{stamp + "/C/工作表1" + tail, stamp + "/b/šž" + tail, stamp + "/b/šžčňř" + tail,
                           stamp + "/xlrd--ragged/Sheet1" + tail, stamp + "/xlrd--ragged/Sheet2" + tail,
                           stamp + "/xlrd--ragged/Sheet3" + tail}));
}

TEST(SplitCommandLine, ExitStatusTellsAFailedRunFromAnInputThatWasNotListed)
{
    test::TempDir in, out;
    const QString ragged = corpus("xlrd--ragged.xls");
    const QString missing = in.file(QStringLiteral("missing.xls"));
    const QString text = in.write(QStringLiteral("notes.txt"), "text");

    // Completed, but two inputs could not be listed: 2, each reported, the run folder last.
    Outcome o = runTool({QStringLiteral("-o"), out.path(), missing, ragged, text}, in.path());
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.err.contains(QStringLiteral("Error File Name: ") + missing)) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(QStringLiteral("Error File Name: ") + text)) << o.err.toStdString();
    EXPECT_TRUE(o.err.endsWith(QStringLiteral("Mission complete!\n")));
    ASSERT_EQ(o.outLines().size(), 1);
    EXPECT_TRUE(o.outLines()[0].startsWith(out.path() + '/'));
    EXPECT_EQ(filesUnder(out.path()).size(), 3);

    // Nothing listable: the run's own message, status 1, nothing written.
    test::TempDir out2;
    o = runTool({QStringLiteral("-o"), out2.path(), missing}, in.path());
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.endsWith(QStringLiteral("Please select some Excel workbook at first\n")));
    EXPECT_TRUE(o.out.isEmpty());

    // An output folder that does not exist.
    o = runTool({QStringLiteral("-o"), out2.file(QStringLiteral("nowhere")), ragged}, in.path());
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err, QStringLiteral("Please select a output folder and try again\n"));
    EXPECT_TRUE(filesUnder(out2.path()).isEmpty());

    // A run that fails: the report on standard error, status 1, no run folder printed.
    const QString dotted = in.file(QStringLiteral("...xls"));
    ASSERT_TRUE(QFile::link(ragged, dotted));
    o = runTool({QStringLiteral("-o"), out2.path(), dotted}, in.path());
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.err.startsWith(QStringLiteral("Err Number: 75\nErr Description: "))) << o.err.toStdString();
    EXPECT_TRUE(o.err.endsWith(QStringLiteral("\nErr Proc: mnuSplit_Click\n")));
    EXPECT_TRUE(o.out.isEmpty());
    EXPECT_TRUE(filesUnder(out2.path()).isEmpty());
}

TEST(SplitCommandLine, DefaultOutputIsTheCurrentDirectoryAndHelpDocumentsTheRun)
{
    test::TempDir here;
    Outcome o = runTool({corpus("gnumeric--array-intersection.xls")}, here.path());
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    const QString runFolder = o.outLines().last();
    EXPECT_EQ(QDir(runFolder).absolutePath(), QDir(here.path()).canonicalPath() + '/' + QDir(runFolder).dirName());
    EXPECT_EQ(filesUnder(here.path()).size(), 3);

    for (const QStringList& args : {QStringList{QStringLiteral("--help")},
                                    QStringList{QStringLiteral("-o"), QStringLiteral("."), QStringLiteral("--help")}}) {
        o = runTool(args, here.path());
        EXPECT_EQ(o.exitCode, 0);
        EXPECT_TRUE(o.out.contains(QStringLiteral("[-o FOLDER] [--keep-going] WORKBOOK|FOLDER...")));
        EXPECT_EQ(o.out.contains(QStringLiteral("a line feed \\n")), args.size() == 1); // the --list escapes
        EXPECT_TRUE(o.out.contains(QStringLiteral("Exit status: 0")));
    }
    // A wrong command line: 2, and nothing is written.
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("-o")},
                                    QStringList{QStringLiteral("--bogus"), corpus("xlrd--ragged.xls")}}) {
        o = runTool(args, here.path());
        EXPECT_EQ(o.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(o.err.contains(QStringLiteral("--help")));
    }
    EXPECT_EQ(filesUnder(here.path()).size(), 3);
}

TEST(SplitCommandLine, OnATerminalEachRowIsShownOnOneProgressLine)
{
    // script(1) gives the program a terminal of its own and copies what it shows.
    test::TempDir out;
    const QString command = QStringLiteral("'%1' -o '%2' '%3'")
                                .arg(test::appDir() + QStringLiteral("/brakenfold-split"), out.path(),
                                     corpus("xlrd--ragged.xls"));
    QProcess p;
    p.start(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString shown = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (int row = 1; row <= 3; ++row)
        EXPECT_TRUE(shown.contains(QStringLiteral("\r\x1b[KSplitting: %1 of 3 (xlrd--ragged.xls: Sheet%1)").arg(row)))
            << shown.toStdString();
    // The line is ended before the closing message.
    EXPECT_TRUE(shown.contains(QStringLiteral("Sheet3)\r\nMission complete!"))) << shown.toStdString();
}

TEST(SplitCommandLine, WholeCorpusFoldersSplitEverySoundWorkbookAndReportOnlyTheOthers)
{
    test::TempDir out;
    const Outcome o = runTool({QStringLiteral("-o"), out.path(), test::corpusFile(QStringLiteral("xls")),
                               test::corpusFile(QStringLiteral("bad"))},
                              out.path());
    EXPECT_EQ(o.exitCode, 2); // some inputs are not workbooks the engine can list
    ASSERT_FALSE(o.outLines().isEmpty()) << o.err.toStdString();
    const QString runFolder = o.outLines().last();
    const QString tail = QStringLiteral("_Splitted_at_") + QDir(runFolder).dirName() + QStringLiteral(".xls");
    const QStringList written = filesUnder(runFolder);

    QStringList reported;
    for (const QString& line : o.err.split('\n'))
        if (line.startsWith(QStringLiteral("Error File Name: ")))
            reported << line.mid(17);
    int soundSheets = 0;
    for (const auto& e : test::readManifest()) {
        const QString path = test::corpusFile(e.file);
        if (e.kind == QLatin1String("biff8")) {
            EXPECT_FALSE(reported.contains(path)) << e.file.toStdString();
            const QString shortName = QFileInfo(path).completeBaseName();
            for (const QString& sheet : e.worksheetNames) {
                ++soundSheets;
                EXPECT_TRUE(written.contains(shortName + '/' + sheet + tail)) << (shortName + '/' + sheet).toStdString();
            }
        } else if (!reported.contains(path)) {
            // A damaged file the engine still reads must then have been split in full.
            EXPECT_TRUE(QFileInfo(runFolder + QFileInfo(path).completeBaseName()).isDir()) << e.file.toStdString();
        }
    }
    EXPECT_GE(soundSheets, 200);
    EXPECT_GE(reported.size(), 15);
    EXPECT_TRUE(o.err.endsWith(QStringLiteral("Mission complete!\n")));
}

TEST(SplitCommandLine, KeepGoingListsEveryFailureAndOtherwiseTheRunStopsAtTheFirst)
{
    test::TempDir in;
    const QString ragged = corpus("xlrd--ragged.xls"), other = corpus("gnumeric--array-intersection.xls");
    const QString bad = in.file(QStringLiteral("xls")); // nothing is left once "xls" is dropped
    ASSERT_TRUE(QFile::link(corpus("poi--twosheetsonehidden.xls"), bad));
    for (const bool keepGoing : {false, true}) {
        test::TempDir out;
        QStringList args{QStringLiteral("-o"), out.path(), ragged, bad, other};
        if (keepGoing)
            args.prepend(QStringLiteral("--keep-going"));
        const Outcome o = runTool(args, in.path());
        EXPECT_EQ(o.exitCode, 1) << o.err.toStdString();
        EXPECT_EQ(o.err.count(QStringLiteral("Err Description: the workbook \"xls\"")), keepGoing ? 2 : 1) << o.err.toStdString();
        EXPECT_EQ(filesUnder(out.path()).size(), keepGoing ? 6 : 3);
        EXPECT_EQ(o.err.contains(QStringLiteral("2 of 8 worksheets could not be split:\n") + bad + ": Sheet1: Err 5: "), keepGoing);
        EXPECT_FALSE(o.err.contains(QStringLiteral("Mission complete!")));
        EXPECT_EQ(o.outLines().size(), keepGoing ? 1 : 0); // the run folder, for a run that went to its end
    }
}

TEST(SplitCommandLine, FifosAreRefusedAtOnceAndListedNamesAreEscaped)
{
    test::TempDir in, out;
    const QString fifo = in.file(QStringLiteral("x.xls"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QStringList& args : {QStringList{QStringLiteral("--list"), fifo},
                                    QStringList{QStringLiteral("--extract"), fifo, QStringLiteral("S"), out.file("o.xls")},
                                    QStringList{QStringLiteral("-o"), out.path(), fifo}}) {
        const Outcome o = runTool(args, in.path());
        EXPECT_NE(o.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(o.err.contains(fifo + QStringLiteral("' is a FIFO, not a regular file"))) << o.err.toStdString();
    }
    EXPECT_TRUE(filesUnder(out.path()).isEmpty());

    // A sheet named "S", tab, backslash, line feed, "1x" is one line, and can be read back.
    QFile source(corpus("xlrd--ragged.xls"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    bytes.replace(QByteArray("\x06\x00Sheet1", 8), QByteArray("\x06\x00S\t\\\n1x", 8));
    const QString odd = in.write(QStringLiteral("odd.xls"), bytes);
    const Outcome o = runTool({QStringLiteral("--list"), odd}, in.path());
    EXPECT_EQ(o.out, odd + QStringLiteral("\tS\\t\\\\\\n1x\n") + odd + "\tSheet2\n" + odd + "\tSheet3\n");
}
