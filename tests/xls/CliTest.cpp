// The command-line front end's listing and extraction, started as the program.
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct Result {
    int code;
    QString out, err;
};
Result split(const QStringList& args, const QString& program = bf::test::appDir() + QStringLiteral("/brakenfold-split"))
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {-1, {}, QStringLiteral("timed out")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
} // namespace

TEST(CommandLine, ListPrintsPathTabWorksheetAndReportsBadFilesOnStderr)
{
    const QString good = bf::test::corpusFile(QStringLiteral("xls/calamine--any_sheets.xls"));
    const QString bad = bf::test::corpusFile(QStringLiteral("xls/sheetjs--password_2002_40_972000.xls"));
    Result r = split({QStringLiteral("--list"), good, bad});
    EXPECT_EQ(r.out, good + "\tVisible\n" + good + "\tHidden\n" + good + "\tVeryHidden\n");
    EXPECT_TRUE(r.err.contains(QStringLiteral("error 1004:")) && r.err.contains(QStringLiteral("password-protected"))) << r.err.toStdString();
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(split({QStringLiteral("--list"), good}).code, 0);
    r = split({QStringLiteral("--list"), bf::test::corpusFile(QStringLiteral("absent.xls"))});
    EXPECT_TRUE(r.code != 0 && r.err.contains(QStringLiteral("error 53:"))) << r.err.toStdString();
    EXPECT_NE(split({QStringLiteral("--extract"), good}).code, 0);
    // A copy of the program without plugins/ beside it: calc names the package that brings it.
    bf::test::TempDir bare;
    ASSERT_TRUE(QFile::copy(bf::test::appDir() + QStringLiteral("/brakenfold-split"), bare.file("brakenfold-split")));
    r = split({QStringLiteral("--backend"), QStringLiteral("calc"), QStringLiteral("--list"), good}, bare.file("brakenfold-split"));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("error 1004:")) && r.err.contains(QStringLiteral("Install the package brakenfold-calc")))
        << r.err.toStdString();
}

TEST(CommandLine, ExtractWritesOneWorksheetAndNeverReplaces)
{
    bf::test::TempDir dir;
    const QString source = bf::test::corpusFile(QStringLiteral("xls/poi--27394.xls"));
    const QString out = dir.file(QStringLiteral("out.xls"));
    Result r = split({QStringLiteral("--extract"), source, QString::fromUtf8("šžčňř"), out});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(split({QStringLiteral("--list"), out}).out, out + QString::fromUtf8("\tšžčňř\n"));
    const QByteArray before = [&] { QFile f(out); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    r = split({QStringLiteral("--extract"), source, QString::fromUtf8("šž"), out});
    EXPECT_TRUE(r.code != 0 && r.err.contains(QStringLiteral("error 58:"))) << r.err.toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    r = split({QStringLiteral("--extract"), source, QStringLiteral("Nope"), dir.file(QStringLiteral("n.xls"))});
    EXPECT_TRUE(r.err.contains(QStringLiteral("error 9:"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("n.xls"))));
}
