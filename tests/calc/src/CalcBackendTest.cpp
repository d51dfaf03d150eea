// The Calc backend against a real office: the office process it owns and what it refuses to
// replace. (What it refuses to open is the contract suite's table; plugin_check.sh splits real
// workbooks through it.)
#include "automation/calc/CalcApplication.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "support/Thrown.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <unistd.h>

using bf::automation::calc::CalcApplication;
using bf::test::corpusFile;
using bf::test::errorOf;

namespace {

// The rest of the first argument of the office's command line that starts with prefix.
QString argumentOf(pid_t office, const QByteArray& prefix)
{
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(office));
    for (const QByteArray& a : f.open(QIODevice::ReadOnly) ? f.readAll().split('\0') : QList<QByteArray>())
        if (a.startsWith(prefix))
            return QString::fromUtf8(a.mid(prefix.size()));
    return {};
}

} // namespace

TEST(CalcOffice, RunsInAGroupOfItsOwnWithPrivateProfileAndPipeAndLeavesNothingOnQuit)
{
    bf::test::FakeSeams seams;
    CalcApplication other(seams);
    auto app = std::make_unique<CalcApplication>(seams);
    const pid_t group = app->officeProcessGroup();
    ASSERT_GT(group, 0);
    EXPECT_EQ(::getpgid(group), group);
    EXPECT_NE(group, ::getpgrp());
    const QString pipe = argumentOf(group, "--accept=pipe,name=");
    const QString profile = QUrl(argumentOf(group, "-env:UserInstallation=")).toLocalFile();
    ASSERT_TRUE(QFileInfo(profile).isDir()) << profile.toStdString();
    EXPECT_FALSE(pipe.isEmpty());
    EXPECT_NE(pipe, argumentOf(other.officeProcessGroup(), "--accept=pipe,name="));
    EXPECT_NE(profile, QUrl(argumentOf(other.officeProcessGroup(), "-env:UserInstallation=")).toLocalFile());
    for (int fd = 0; fd <= 2; ++fd) // the office's output never mixes with the program's
        EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(group).arg(fd)).symLinkTarget(), QStringLiteral("/dev/null"));

    app->workbooks().Open(corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls")));
    app->Quit();
    EXPECT_EQ(::kill(-group, 0), -1) << "a process of the office's group outlived Quit";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(QFileInfo::exists(profile));
    EXPECT_EQ(errorOf([&] { app->workbooks(); }).number(), bf::err::SpreadsheetFailure);
    app.reset();
    EXPECT_EQ(::kill(-other.officeProcessGroup(), 0), 0) << "the other office keeps running";
}

TEST(CalcOffice, AMissingOfficeIsAFailureToStart)
{
    bf::test::FakeSeams seams;
    const bf::Error e = errorOf([&] { CalcApplication app(seams, QStringLiteral("/nonexistent/office/program")); });
    EXPECT_EQ(e.number(), bf::err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().contains(QLatin1String("not installed"))) << e.description().toStdString();
}

TEST(CalcOffice, AnOfficeThatHangsIsEndedAndTheCallFailsInsteadOfWaitingForever)
{
    bf::test::FakeSeams seams;
    CalcApplication app(seams);
    const pid_t group = app.officeProcessGroup();
    bf::test::TempDir temp;
    // The office's export loops on the drawings of this sheet once it has been copied. Only that
    // call gets the short deadline: the opening and the copy before it may take long on a busy
    // machine.
    app.workbooks().Open(corpusFile(QStringLiteral("xls/gnumeric--objs.xls")))->WorksheetByName(QStringLiteral("Sheet1 (2)"))->Copy();
    app.setCallTimeout(std::chrono::seconds(8));
    const bf::Error e = errorOf([&] { app.ActiveWorkbook()->SaveAs(temp.file(QStringLiteral("objs.xls"))); });
    EXPECT_EQ(e.number(), bf::err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().contains(QLatin1String("did not answer"))) << e.description().toStdString();
    // Every later call fails at once; closing and quitting still work and leave nothing behind.
    EXPECT_EQ(errorOf([&] { app.workbooks().Open(corpusFile(QStringLiteral("xls/poi--text.xls"))); }).number(),
              bf::err::SpreadsheetFailure);
    EXPECT_NO_THROW(app.workbooks().Close());
    EXPECT_EQ(app.workbooks().Count(), 0);
    app.Quit();
    EXPECT_EQ(::kill(-group, 0), -1);
}

// One office for the cases below; each leaves it with no workbook open.
class CalcWorkbooks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app = std::make_unique<CalcApplication>(seams); }
    static void TearDownTestSuite() { app.reset(); }
    void SetUp() override { ASSERT_NE(app, nullptr) << "the office did not start"; }
    static inline bf::test::FakeSeams seams;
    static inline std::unique_ptr<CalcApplication> app;
};

TEST_F(CalcWorkbooks, AFailedSaveReplacesNothingAndLeavesTheWorkbookUnsaved)
{
    bf::test::TempDir temp;
    const QString existing = temp.write(QStringLiteral("Sheet1.xls"), "keep me");
    app->setDisplayAlerts(false);
    app->workbooks().Open(corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls")))->WorksheetByName(QStringLiteral("Sheet1"))->Copy();
    auto copy = app->ActiveWorkbook();
    for (const QString& target : {existing + QLatin1Char(' '), temp.file(QStringLiteral("no/such/folder/x.xls"))})
        EXPECT_EQ(errorOf([&] { copy->SaveAs(target); }).number(), bf::err::SpreadsheetFailure) << target.toStdString();
    QFile kept(existing);
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "keep me");
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Sheet1.xls"});
    EXPECT_EQ(copy->FullName(), copy->Name());
    app->workbooks().Close();
}
