// Both programs' own options and the refused command lines of brakenfold-split, started as the
// real programs: the answer on standard output, the message on standard error, the exit status.
#include "startup/AppVersion.h"
#include "support/FakeSeams.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace bf;
using test::Outcome;

namespace {

// Runs program in folder with a private home, lock and settings; withDisplay false takes every
// way to a display away.
Outcome run(const QString& program, const QStringList& args, const test::TempDir& folder, bool withDisplay = true)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        env.insert(QString::fromLatin1(name), folder.path());
    if (!withDisplay)
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
    return test::runProgram(program, args, folder.path(), env);
}

} // namespace

TEST(ProgramOptions, HelpAndVersionAnswerOnTheTerminalWithADisplayOrWithout)
{
    test::TempDir dir;
    test::FakeSeams seams;
    const QString version = GetVersionString(seams); // what the About box shows
    ASSERT_FALSE(version.isEmpty());
    const struct {
        QString program;
        QStringList args;
        bool help;
    } cases[] = {
        {"brakenfold-split", {"--version"}, false}, {"brakenfold-split", {"-V"}, false},
        {"brakenfold-split", {"--help"}, true},     {"brakenfold-split", {"-h"}, true},
        {"brakenfold-split", {"--help", "--bogus"}, true}, // the first option decides
        {"brakenfold-split", {"-o", "out", "book.xls", "--help"}, true},
        {"brakenfold", {"-V"}, false},              {"brakenfold", {"book.xls", "--version"}, false},
        {"brakenfold", {"-h"}, true},               {"brakenfold", {"-platform", "offscreen", "--help"}, true},
    };
    for (const auto& c : cases)
        for (const bool withDisplay : {true, false}) {
            const QString what = c.program + ' ' + c.args.join(' ') + (withDisplay ? "" : " (no display)");
            const Outcome o = run(c.program, c.args, dir, withDisplay);
            EXPECT_EQ(o.exitCode, 0) << what.toStdString() << '\n' << o.err.toStdString();
            EXPECT_EQ(o.err, QString()) << what.toStdString();
            if (!c.help) {
                EXPECT_EQ(o.out, c.program + ' ' + version + '\n') << what.toStdString();
                continue;
            }
            EXPECT_TRUE(o.out.startsWith("Usage: ") || o.out.startsWith("Usage:\n")) << what.toStdString();
            for (const QString& line : o.out.split('\n'))
                EXPECT_LE(line.size(), 80) << what.toStdString() << ": " << line.toStdString();
            EXPECT_TRUE(o.out.contains("-V") && o.out.contains("--version")) << what.toStdString();
        }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

TEST(ProgramOptions, AWrongCommandLineIsRefusedWithItsReason)
{
    test::TempDir dir;
    const QString book = dir.file("book.xls");
    ASSERT_TRUE(QFile::link(test::corpusFile("xls/xlrd--ragged.xls"), book));
    const struct {
        QStringList args;
        QString reason; // the usage message
    } cases[] = {
        {{}, "no workbook or folder given"},
        {{"--backend"}, "--backend needs a name (native or calc)"},
        {{"-o"}, "-o needs a value"},
        {{"-o", "", book}, "-o needs a folder"},
        {{"--bogus", "--help"}, "unknown option '--bogus'"},
        {{"-o", "out", "--bogus", book}, "unknown option '--bogus'"},
        {{"-oout", book}, "unknown option '-oout'"},
        {{"--keep-going=1", book}, "unknown option '--keep-going=1'"},
        {{"--list"}, "--list needs at least one workbook"},
        {{"-o", "out", "--list", book}, "--list takes no -o or --keep-going"},
        {{"--keep-going", "--list", book}, "--list takes no -o or --keep-going"},
        {{"--values", "--list", book}, "--list takes no --values"},
        {{"--extract"}, "--extract needs WORKBOOK WORKSHEET OUTPUT.xls"},
        {{"--extract", book, "Sheet1"}, "--extract needs WORKBOOK WORKSHEET OUTPUT.xls"},
        {{"--extract", book, "Sheet1", "a.xls", "b.xls"}, "--extract needs WORKBOOK WORKSHEET OUTPUT.xls"},
        {{book, "--name"}, "--name needs a template"},
        {{book, "--jobs"}, "--jobs needs a number"},
        {{"--jobs", "0", book}, "--jobs needs a whole number from 1 to 64, not '0'"},
        {{"--jobs=65", book}, "--jobs needs a whole number from 1 to 64, not '65'"},
        {{"--backend", "calc", "--jobs", "2", book},
         "--jobs 2: the calc backend splits one workbook at a time; only the native one takes more jobs"},
        {{"--jobs", "2", "--list", book}, "--jobs belongs to the split alone"},
        {{"--name", "{sheet", book}, "--name: the file name template \"{sheet\" has a \"{\" without its \"}\""},
        {{"--skip-hidden", "--list", book}, "--skip-hidden, --skip-very-hidden and --name belong to the split alone"},
        {{"--name", "{index}", "--extract", book, "S", "o.xls"},
         "--skip-hidden, --skip-very-hidden and --name belong to the split alone"},
    };
    for (const auto& c : cases) {
        const Outcome o = run("brakenfold-split", c.args, dir);
        EXPECT_EQ(o.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(o.out, QString());
        EXPECT_EQ(o.err, "brakenfold-split: " + c.reason + "\nTry 'brakenfold-split --help'.\n");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"book.xls"});
}
