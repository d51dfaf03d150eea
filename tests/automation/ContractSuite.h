#pragma once
// The contract of the spreadsheet application interface, written against
// automation/SpreadsheetApplication.h alone so that every backend runs the same checks.
//
// Use: include this header from exactly one .cpp of a test program and instantiate it with
// the backend's parameters:
//   INSTANTIATE_TEST_SUITE_P(Native, SpreadsheetContract,
//                            ::testing::Values(bf::test::ContractParams{"native", refusals}));
// `refusals` lists the corpus files (relative to the corpus folder) the backend is expected
// to refuse, with the error number; every other BIFF8 file of the manifest must open with
// the manifest's worksheets.
#include "automation/ApplicationFactory.h"
#include "automation/SpreadsheetApplication.h"
#include "platform/Seams.h"
#include "core/Error.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace bf::test {

struct ContractParams {
    const char* backend;
    std::map<QString, std::int32_t> refusals; // corpus file -> expected error number
    void (*addBackend)(automation::Backends&) = nullptr; // for a backend other than the native one
};

inline void PrintTo(const ContractParams& p, std::ostream* os) { *os << p.backend; }

// Rows of the corpus manifest: file -> (kind, worksheet names).
struct ContractManifestRow {
    QString kind;
    QStringList worksheets;
};
inline std::map<QString, ContractManifestRow> contractManifest()
{
    std::map<QString, ContractManifestRow> rows;
    QFile f(corpusFile(QStringLiteral("MANIFEST.tsv")));
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList c = lines[i].split('\t');
        if (c.size() >= 8)
            rows[c[0]] = {c[5], c[7].isEmpty() ? QStringList() : c[7].split(QStringLiteral(" | "))};
    }
    return rows;
}

// The error a call gives; number 0 when it succeeds.
inline Error contractError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Error& e) {
        return e;
    }
    return Error(0, QString());
}

// Worksheet names and values as an independent reader sees them (python3-xlrd).
inline QString xlrdSummary(const QString& path)
{
    QProcess p;
    p.start(python(), {QStringLiteral("-c"),
                       QStringLiteral("import sys, xlrd\n"
                                      "b = xlrd.open_workbook(sys.argv[1])\n"
                                      "for s in b.sheets():\n"
                                      "    print(s.name, s.nrows, s.ncols, [s.row_values(r) for r in range(min(s.nrows, 3))])\n"),
                       path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
}

class SpreadsheetContract : public ::testing::TestWithParam<ContractParams> {
protected:
    std::unique_ptr<automation::SpreadsheetApplication> make()
    {
        automation::Backends backends;
        if (GetParam().addBackend)
            GetParam().addBackend(backends);
        auto app = backends.create(QString::fromLatin1(GetParam().backend), seams_);
        app->setVisible(false);
        app->setDisplayAlerts(false);
        app->setScreenUpdating(true);
        app->setAskToUpdateLinks(false);
        return app;
    }
    static QString sample() { return corpusFile(QStringLiteral("xls/sheetjs--sheet_visibility.xls")); }
    static QString other() { return corpusFile(QStringLiteral("xls/poi--simplewithcomments.xls")); }
    FakeSeams seams_;
};

TEST_P(SpreadsheetContract, SettingsKeepWhatIsSet)
{
    auto app = make();
    for (bool on : {true, false}) {
        app->setVisible(on);
        app->setDisplayAlerts(on);
        app->setScreenUpdating(on);
        app->setAskToUpdateLinks(on);
        app->setEnableEvents(on);
        EXPECT_EQ(app->Visible(), on);
        EXPECT_EQ(app->DisplayAlerts(), on);
        EXPECT_EQ(app->ScreenUpdating(), on);
        EXPECT_EQ(app->AskToUpdateLinks(), on);
        EXPECT_EQ(app->EnableEvents(), on);
    }
    app->Quit();
}

TEST_P(SpreadsheetContract, OpenListsWorksheetsAndReopeningActivates)
{
    auto app = make();
    EXPECT_EQ(app->workbooks().Count(), 0);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    auto a = app->workbooks().Open(sample());
    EXPECT_EQ(a->FullName(), sample());
    EXPECT_EQ(a->Name(), QStringLiteral("sheetjs--sheet_visibility.xls"));
    QStringList names;
    for (const auto& ws : a->Worksheets())
        names << ws->Name();
    EXPECT_EQ(names, (QStringList{"Visible", "Hidden", "VeryHidden"}));
    EXPECT_EQ(a->WorksheetByName(QStringLiteral("Hidden"))->Name(), QStringLiteral("Hidden"));
    const Error missing = contractError([&] { a->WorksheetByName(QStringLiteral("hidden ")); });
    EXPECT_EQ(missing.number(), err::SubscriptOutOfRange);

    auto b = app->workbooks().Open(other());
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), other());
    // The same path again: no second copy, the workbook becomes active. A relative path
    // names the same file through its absolute form.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QFileInfo(sample()).absolutePath());
    auto again = app->workbooks().Open(QStringLiteral("sheetjs--sheet_visibility.xls"));
    QDir::setCurrent(cwd);
    EXPECT_EQ(app->workbooks().Count(), 2);
    EXPECT_EQ(again->FullName(), sample());
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), sample());
    app->workbooks().Close();
    EXPECT_EQ(app->workbooks().Count(), 0);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    // Handles of closed workbooks fail cleanly.
    EXPECT_EQ(contractError([&] { a->Worksheets(); }).number(), err::SpreadsheetFailure);
    app->Quit();
}

TEST_P(SpreadsheetContract, CopySaveAsAndCloseFollowTheActiveWorkbookRules)
{
    TempDir dir;
    auto app = make();
    auto source = app->workbooks().Open(sample());
    auto second = app->workbooks().Open(other());
    source = app->workbooks().Open(sample()); // active again
    source->WorksheetByName(QStringLiteral("VeryHidden"))->Copy();
    auto copy = app->ActiveWorkbook();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(app->workbooks().Count(), 3);
    EXPECT_NE(copy->FullName(), source->FullName());
    ASSERT_EQ(copy->Worksheets().size(), 1u);
    EXPECT_EQ(copy->Worksheets()[0]->Name(), QStringLiteral("VeryHidden"));

    // Trailing blanks of the file name go, as they did on Windows.
    const QString target = dir.file(QStringLiteral("VeryHidden.xls"));
    copy->SaveAs(target + QStringLiteral("  "));
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("  ")));
    EXPECT_TRUE(xlrdSummary(target).startsWith(QStringLiteral("VeryHidden "))) << xlrdSummary(target).toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"VeryHidden.xls"}) << "no temporary file left";

    // Closing the copy makes the workbook active before it active again; closing that one
    // goes back to the one before.
    copy->Close(false);
    EXPECT_EQ(app->workbooks().Count(), 2);
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), sample());
    source->Close(false);
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), other());
    second->Close(false);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    app->Quit();
}

TEST_P(SpreadsheetContract, SaveAsNeverReplacesAFileSilently)
{
    TempDir dir;
    const QString target = dir.write(QStringLiteral("Taken.xls"), "keep me");
    auto app = make();
    app->workbooks().Open(sample())->WorksheetByName(QStringLiteral("Visible"))->Copy();
    auto copy = app->ActiveWorkbook();

    // Alerts off: refused, nothing asked, the file untouched.
    Error e = contractError([&] { copy->SaveAs(target); });
    EXPECT_EQ(e.number(), err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().contains(QStringLiteral("Taken.xls"))) << e.description().toStdString();
    EXPECT_TRUE(seams_.messageBox.shown.empty());

    // Alerts on: asked Yes/No with No as the default; No refuses.
    app->setDisplayAlerts(true);
    seams_.messageBox.answers = {platform::MsgResult::No};
    e = contractError([&] { copy->SaveAs(target); });
    EXPECT_EQ(e.number(), err::SpreadsheetFailure);
    ASSERT_EQ(seams_.messageBox.shown.size(), 1u);
    EXPECT_EQ(seams_.messageBox.shown[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(seams_.messageBox.shown[0].defaultButton, platform::MsgDefault::Second);
    EXPECT_TRUE(seams_.messageBox.shown[0].text.contains(QStringLiteral("Taken.xls")));
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
    f.close();

    // Yes replaces it.
    seams_.messageBox.answers = {platform::MsgResult::Yes};
    copy->SaveAs(target);
    EXPECT_TRUE(xlrdSummary(target).startsWith(QStringLiteral("Visible "))) << xlrdSummary(target).toStdString();
    app->workbooks().Close();
    app->Quit();
}

TEST_P(SpreadsheetContract, RefusesWhatTheTableSaysAndOpensTheRest)
{
    auto app = make();
    int opened = 0;
    for (const auto& [file, row] : contractManifest()) {
        const auto refusal = GetParam().refusals.find(file);
        const bool sound = row.kind == QLatin1String("biff8");
        if (refusal == GetParam().refusals.end() && !sound)
            continue; // not named for this backend either way
        const QString path = corpusFile(file);
        std::shared_ptr<automation::Workbook> wb;
        const Error e = contractError([&] { wb = app->workbooks().Open(path); });
        if (refusal != GetParam().refusals.end()) {
            EXPECT_EQ(e.number(), refusal->second) << file.toStdString() << ": " << e.description().toStdString();
            EXPECT_TRUE(e.description().contains(QFileInfo(path).fileName())) << e.description().toStdString();
            EXPECT_EQ(app->workbooks().Count(), 0) << file.toStdString();
            continue;
        }
        ASSERT_EQ(e.number(), 0) << file.toStdString() << ": " << e.description().toStdString();
        QStringList names;
        for (const auto& ws : wb->Worksheets())
            names << ws->Name();
        EXPECT_EQ(names, row.worksheets) << file.toStdString();
        wb->Close(false);
        ++opened;
    }
    EXPECT_GE(opened, 30);
    EXPECT_EQ(contractError([&] { app->workbooks().Open(corpusFile(QStringLiteral("xls/no-such-file.xls"))); }).number(),
              err::FileNotFound);
    // A FIFO under a workbook's name is refused at once, never waited on.
    TempDir dir;
    const QString fifo = dir.file(QStringLiteral("pipe.xls"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const Error e = contractError([&] { app->workbooks().Open(fifo); });
    EXPECT_EQ(e.number(), err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().contains(QStringLiteral("is a FIFO"))) << e.description().toStdString();
    app->Quit();
}

} // namespace bf::test
