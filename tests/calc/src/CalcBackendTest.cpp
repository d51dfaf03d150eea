// The Calc backend against a real office: the office process it owns, opening and refusing
// workbooks, the active-workbook rule, copying a sheet and saving it without ever replacing a
// file silently.
#include "CalcFixture.h"

#include "automation/ApplicationFactory.h"
#include "automation/calc/OfficeProcess.h"
#include "core/Error.h"
#include "support/FakeSeams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <unistd.h>

using bf::automation::calc::CalcApplication;
using namespace bf::test::calc;

namespace {

QStringList commandLineOf(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList args = QString::fromUtf8(f.readAll()).split(QChar(0), Qt::SkipEmptyParts);
    return args;
}

QString argumentStartingWith(const QStringList& args, const QString& prefix)
{
    for (const QString& a : args)
        if (a.startsWith(prefix))
            return a.mid(prefix.size());
    return {};
}

// The error number a call fails with; 0 when it does not fail.
template <class F>
int errorNumberOf(F&& f, QString* description = nullptr)
{
    try {
        f();
    } catch (const bf::Error& e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(CalcOffice, RunsInAGroupOfItsOwnWithPrivateProfileAndPipeAndLeavesNothingOnQuit)
{
    const QStringList sharedArgs = commandLineOf(sharedCalc().officeProcessGroup());
    auto app = std::make_unique<CalcApplication>(sharedSeams());
    const pid_t group = app->officeProcessGroup();
    ASSERT_GT(group, 0);
    EXPECT_EQ(::getpgid(group), group) << "the office leads a process group of its own";
    EXPECT_NE(group, ::getpgrp());

    const QStringList args = commandLineOf(group);
    for (const char* flag : {"--norestore", "--nodefault", "--nolockcheck"})
        EXPECT_TRUE(args.contains(QLatin1String(flag))) << flag << " in " << args.join(' ').toStdString();
    const bool windows = bf::automation::calc::OfficeProcess::canShowWindows(CalcApplication::defaultProgramDir());
    EXPECT_TRUE(args.contains(windows ? QStringLiteral("--invisible") : QStringLiteral("--headless")));
    const QString accept = argumentStartingWith(args, QStringLiteral("--accept="));
    EXPECT_TRUE(accept.startsWith(QLatin1String("pipe,name="))) << accept.toStdString();
    const QString profileUrl = argumentStartingWith(args, QStringLiteral("-env:UserInstallation="));
    ASSERT_TRUE(profileUrl.startsWith(QLatin1String("file:///"))) << profileUrl.toStdString();
    const QString profile = QUrl(profileUrl).toLocalFile();
    EXPECT_TRUE(QFileInfo(profile).isDir());
    // Two backends never share a pipe or a profile.
    EXPECT_NE(accept, argumentStartingWith(sharedArgs, QStringLiteral("--accept=")));
    EXPECT_NE(profileUrl, argumentStartingWith(sharedArgs, QStringLiteral("-env:UserInstallation=")));
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(group).arg(fd)).symLinkTarget(),
                  QStringLiteral("/dev/null"))
            << "standard stream " << fd;

    app->workbooks().Open(bf::test::corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls")));
    app->workbooks().Close();
    app->Quit();
    EXPECT_EQ(::kill(-group, 0), -1) << "a process of the office's group outlived Quit";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(QFileInfo::exists(profile)) << "the temporary profile is removed";
    EXPECT_EQ(app->officeProcessGroup(), -1);
    EXPECT_EQ(errorNumberOf([&] { app->workbooks(); }), bf::err::SpreadsheetFailure);
    EXPECT_NO_THROW(app->Quit());
    app.reset();
    // The shared office is another process group and keeps running.
    EXPECT_EQ(::kill(-sharedCalc().officeProcessGroup(), 0), 0);
}

TEST(CalcOffice, AMissingOfficeIsAFailureToStartAndTheFactoryKnowsTheBackendOnceRegistered)
{
    QString why;
    EXPECT_EQ(errorNumberOf([&] { CalcApplication app(sharedSeams(), QStringLiteral("/nonexistent/office/program")); }, &why),
              bf::err::SpreadsheetFailure);
    EXPECT_TRUE(why.contains(QLatin1String("not installed"))) << why.toStdString();

    bf::automation::Backends backends;
    EXPECT_FALSE(backends.available(QStringLiteral("calc")));
    bf::automation::calc::addCalcBackend(backends);
    EXPECT_TRUE(backends.available(QStringLiteral("calc")));
}

TEST(CalcWorkbooks, OpenListsWorksheetsOnlyAndFollowsTheActiveWorkbookRule)
{
    auto& app = sharedCalc();
    auto& books = app.workbooks();
    ASSERT_EQ(books.Count(), 0);
    EXPECT_EQ(app.ActiveWorkbook(), nullptr);

    const QString anySheets = bf::test::corpusFile(QStringLiteral("xls/calamine--any_sheets.xls"));
    auto first = books.Open(anySheets);
    EXPECT_EQ(first->FullName(), anySheets);
    EXPECT_EQ(first->Name(), QStringLiteral("calamine--any_sheets.xls"));
    // The chart sheet is no worksheet; hidden and very hidden ones are.
    EXPECT_EQ(worksheetNames(*first), (QStringList{"Visible", "Hidden", "VeryHidden"}));
    EXPECT_EQ(first->WorksheetByName(QStringLiteral("Hidden"))->Name(), QStringLiteral("Hidden"));
    EXPECT_EQ(errorNumberOf([&] { first->WorksheetByName(QStringLiteral("Chart")); }), bf::err::SubscriptOutOfRange);
    EXPECT_EQ(errorNumberOf([&] { first->WorksheetByName(QStringLiteral("hidden")); }), bf::err::SubscriptOutOfRange);

    // Dialog and macro sheets are no worksheets either.
    auto types = books.Open(bf::test::corpusFile(QStringLiteral("xls/sheetjs--blanksheettypes.xls")));
    EXPECT_EQ(worksheetNames(*types), QStringList{"Sheet1"});
    types->Close();

    // The same file by another spelling of its path is the workbook already open.
    auto again = books.Open(bf::test::corpusDir() + QStringLiteral("/bad/../xls/calamine--any_sheets.xls"));
    EXPECT_EQ(again, first);
    EXPECT_EQ(books.Count(), 1);

    auto second = books.Open(bf::test::corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls")));
    EXPECT_EQ(books.Count(), 2);
    EXPECT_EQ(app.ActiveWorkbook(), second);
    EXPECT_EQ(books.Open(anySheets), first) << "opening an open workbook activates it";
    EXPECT_EQ(app.ActiveWorkbook(), first);
    EXPECT_EQ(books.Count(), 2);
    first->Close();
    EXPECT_EQ(app.ActiveWorkbook(), second) << "the workbook active before the closed one is active again";
    EXPECT_EQ(books.Count(), 1);

    // A handle outlives its workbook; using it fails cleanly.
    auto hidden = second->WorksheetByName(QStringLiteral("Sheet2"));
    books.Close();
    EXPECT_EQ(books.Count(), 0);
    EXPECT_EQ(app.ActiveWorkbook(), nullptr);
    EXPECT_EQ(errorNumberOf([&] { second->FullName(); }), bf::err::SpreadsheetFailure);
    EXPECT_EQ(errorNumberOf([&] { second->Worksheets(); }), bf::err::SpreadsheetFailure);
    EXPECT_EQ(errorNumberOf([&] { second->Close(); }), bf::err::SpreadsheetFailure);
    EXPECT_EQ(errorNumberOf([&] { hidden->Copy(); }), bf::err::SpreadsheetFailure);
    EXPECT_EQ(books.Count(), 0);
}

TEST(CalcWorkbooks, WhatIsNoReadableWorkbookIsRefusedAndLeavesNothingOpen)
{
    // The corpus files the office cannot read are the contract suite's refusal table; here the
    // cases around them.
    auto& app = sharedCalc();
    bf::test::TempDir temp;
    QString why;
    EXPECT_EQ(errorNumberOf([&] { app.workbooks().Open(temp.file(QStringLiteral("missing.xls"))); }, &why),
              bf::err::FileNotFound);
    EXPECT_TRUE(why.contains(QLatin1String("missing.xls"))) << why.toStdString();
    EXPECT_EQ(errorNumberOf([&] { app.workbooks().Open(temp.path()); }), bf::err::SpreadsheetFailure);
    // The office would make an empty workbook of an empty file, and a one-column sheet of text.
    const QString empty = temp.write(QStringLiteral("empty.xls"), QByteArray());
    const QString text = temp.write(QStringLiteral("notes.xls"), "Sheet1\tnot a workbook\n1\t2\n");
    for (const QString& path : {empty, text}) {
        EXPECT_EQ(errorNumberOf([&] { app.workbooks().Open(path); }, &why), bf::err::SpreadsheetFailure) << path.toStdString();
        EXPECT_TRUE(why.contains(QFileInfo(path).fileName())) << why.toStdString();
    }
    EXPECT_EQ(app.workbooks().Count(), 0);
    EXPECT_EQ(app.ActiveWorkbook(), nullptr);
    // What the native engine refuses but the office reads: spreadsheets saved as HTML or XML,
    // and Excel 5.0/95 workbooks.
    for (const char* name : {"xls/sheetjs--sized_boxen.htm.xls", "xls/sheetjs--autofilter.xml.xls",
                             "xls/sheetjs--crlfx5_5.xls"}) {
        auto book = app.workbooks().Open(bf::test::corpusFile(QLatin1String(name)));
        EXPECT_FALSE(book->Worksheets().empty()) << name;
        book->Close();
    }
    EXPECT_EQ(app.workbooks().Count(), 0);
}

TEST(CalcCopy, CopyMakesANewActiveWorkbookWithOnlyThatSheetUnderItsOwnName)
{
    auto& app = sharedCalc();
    bf::test::TempDir temp;
    const QString sourcePath = bf::test::corpusFile(QStringLiteral("xls/poi--1904datewindowing.xls"));
    auto source = app.workbooks().Open(sourcePath);
    ASSERT_EQ(worksheetNames(*source), (QStringList{"Sheet1", "Sheet2", "Sheet3"}));

    // "Sheet1" is also the name of the new document's own sheet: the copy must keep it.
    for (const QString& name : {QStringLiteral("Sheet1"), QStringLiteral("Sheet3")}) {
        // The second round with the documents' windows shown (only virtually here, headless).
        app.setVisible(name == QLatin1String("Sheet3"));
        source->WorksheetByName(name)->Copy();
        auto copy = app.ActiveWorkbook();
        ASSERT_NE(copy, source);
        EXPECT_EQ(app.workbooks().Count(), 2);
        EXPECT_TRUE(copy->Name().startsWith(QLatin1String("Book"))) << copy->Name().toStdString();
        EXPECT_EQ(copy->FullName(), copy->Name()) << "an unsaved workbook's full name is its name";
        EXPECT_EQ(worksheetNames(*copy), QStringList{name});

        // The output name ends in a blank; the file written does not.
        const QString output = temp.file(name + QStringLiteral("_Splitted_at_2026126.xls"));
        copy->SaveAs(output + QLatin1Char(' '));
        EXPECT_TRUE(QFileInfo::exists(output));
        EXPECT_FALSE(QFileInfo::exists(output + QLatin1Char(' ')));
        EXPECT_EQ(copy->FullName(), output);
        EXPECT_EQ(copy->Name(), QFileInfo(output).fileName());
        copy->Close();
        EXPECT_EQ(app.ActiveWorkbook(), source);
        const ScriptResult check = checkSplit(sourcePath, name, output);
        EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    }
    app.setVisible(false);
    EXPECT_FALSE(app.Visible());
    // Two copies made in a row are two workbooks with names of their own.
    source->WorksheetByName(QStringLiteral("Sheet2"))->Copy();
    auto a = app.ActiveWorkbook();
    source->WorksheetByName(QStringLiteral("Sheet2"))->Copy();
    auto b = app.ActiveWorkbook();
    EXPECT_NE(a, b);
    EXPECT_NE(a->Name(), b->Name());
    EXPECT_EQ(app.workbooks().Count(), 3);
    b->Close();
    EXPECT_EQ(app.ActiveWorkbook(), a);
    app.workbooks().Close();
    EXPECT_EQ(app.workbooks().Count(), 0);
}

TEST(CalcSaveAs, AnExistingFileIsNeverReplacedSilently)
{
    auto& app = sharedCalc();
    bf::test::FakeSeams& seams = sharedSeams();
    seams.messageBox.shown.clear();
    bf::test::TempDir temp;
    const QString sourcePath = bf::test::corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls"));
    auto source = app.workbooks().Open(sourcePath);
    source->WorksheetByName(QStringLiteral("Sheet1"))->Copy();
    auto copy = app.ActiveWorkbook();
    const QString existing = temp.write(QStringLiteral("Sheet1.xls"), "keep me");

    // Without alerts: refused, nobody asked.
    app.setDisplayAlerts(false);
    QString why;
    EXPECT_EQ(errorNumberOf([&] { copy->SaveAs(existing + QLatin1Char(' ')); }, &why), bf::err::SpreadsheetFailure);
    EXPECT_TRUE(why.contains(QLatin1String("Sheet1.xls"))) << why.toStdString();
    EXPECT_TRUE(seams.messageBox.shown.empty());
    EXPECT_EQ(readAll(existing), QByteArray("keep me"));

    // With alerts: asked, No by default, refused.
    app.setDisplayAlerts(true);
    EXPECT_EQ(errorNumberOf([&] { copy->SaveAs(existing); }), bf::err::SpreadsheetFailure);
    ASSERT_EQ(seams.messageBox.shown.size(), 1u);
    const auto& asked = seams.messageBox.shown.front();
    EXPECT_EQ(asked.buttons, bf::platform::MsgButtons::YesNo);
    EXPECT_EQ(asked.icon, bf::platform::MsgIcon::Question);
    EXPECT_EQ(asked.defaultButton, bf::platform::MsgDefault::Second);
    EXPECT_TRUE(asked.text.contains(QFileInfo(existing).fileName())) << asked.text.toStdString();
    EXPECT_EQ(readAll(existing), QByteArray("keep me"));
    EXPECT_EQ(copy->FullName(), copy->Name()) << "a refused save leaves the workbook unsaved";

    // Yes replaces it with the workbook.
    seams.messageBox.answers.push_back(bf::platform::MsgResult::Yes);
    copy->SaveAs(existing);
    EXPECT_EQ(seams.messageBox.shown.size(), 2u);
    EXPECT_EQ(copy->FullName(), existing);
    const ScriptResult check = checkSplit(sourcePath, QStringLiteral("Sheet1"), existing);
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();

    // A folder that does not exist is a failure, not a crash or a silent success.
    EXPECT_EQ(errorNumberOf([&] { copy->SaveAs(temp.file(QStringLiteral("no/such/folder/x.xls"))); }),
              bf::err::SpreadsheetFailure);
    EXPECT_FALSE(QFileInfo::exists(temp.file(QStringLiteral("no"))));
    app.workbooks().Close();
}

TEST(CalcOffice, AnOfficeThatHangsIsEndedAndTheCallFailsInsteadOfWaitingForever)
{
    // The office's export loops on the drawings of this sheet once it has been copied.
    CalcApplication app(sharedSeams());
    app.setCallTimeout(std::chrono::seconds(8));
    const pid_t group = app.officeProcessGroup();
    bf::test::TempDir temp;
    auto source = app.workbooks().Open(bf::test::corpusFile(QStringLiteral("xls/gnumeric--objs.xls")));
    source->WorksheetByName(QStringLiteral("Sheet1 (2)"))->Copy();
    QString why;
    EXPECT_EQ(errorNumberOf([&] { app.ActiveWorkbook()->SaveAs(temp.file(QStringLiteral("objs.xls"))); }, &why),
              bf::err::SpreadsheetFailure);
    EXPECT_TRUE(why.contains(QLatin1String("did not answer"))) << why.toStdString();
    // Every later call fails at once; closing and quitting still work and leave nothing behind.
    EXPECT_EQ(errorNumberOf([&] { app.workbooks().Open(bf::test::corpusFile(QStringLiteral("xls/poi--text.xls"))); }),
              bf::err::SpreadsheetFailure);
    EXPECT_NO_THROW(app.workbooks().Close());
    EXPECT_EQ(app.workbooks().Count(), 0);
    app.Quit();
    EXPECT_EQ(::kill(-group, 0), -1);
}
