#pragma once
// The contract of the spreadsheet application interface, written against
// automation/SpreadsheetApplication.h alone so that every backend runs the same checks. One .cpp
// of a test program includes it and instantiates SpreadsheetContract with the backend's
// ContractParams: its name and the corpus files it must refuse, with the error number.
#include "automation/ApplicationFactory.h"
#include "book/Cfb.h"
#include "book/WorkbookFile.h"
#include "core/Error.h"
#include "support/Corpus.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/Thrown.h"
#include "xlsx/PackageBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace bf::test {

struct ContractParams {
    const char* backend;
    std::map<QString, std::int32_t> refusals; // corpus file -> expected error number
    void (*addBackend)(automation::Backends&) = nullptr; // for a backend other than the native one
    // A workbook of the worksheets Visible, Hidden and VeryHidden, and another one, of the format tried.
    const char* sample = "xls/sheetjs--sheet_visibility.xls";
    const char* other = "xls/poi--simplewithcomments.xls";
};

inline void PrintTo(const ContractParams& p, std::ostream* os) { *os << p.backend; }

inline QStringList sheetNamesOf(automation::Workbook& book)
{
    QStringList names;
    for (const auto& ws : book.Worksheets())
        names << ws->Name();
    return names;
}

class SpreadsheetContract : public ::testing::TestWithParam<ContractParams> {
protected:
    std::unique_ptr<automation::SpreadsheetApplication> make(bool quiet = true)
    {
        automation::Backends backends;
        if (GetParam().addBackend)
            GetParam().addBackend(backends);
        auto app = backends.create(QString::fromLatin1(GetParam().backend), seams_);
        if (quiet) {
            app->setDisplayAlerts(false);
            app->setAskToUpdateLinks(false);
        }
        return app;
    }
    // Canonical, as the working folder a relative path is made absolute from is handed back.
    static QString sample() { return QFileInfo(corpusFile(QLatin1String(GetParam().sample))).canonicalFilePath(); }
    static QString other() { return corpusFile(QLatin1String(GetParam().other)); }
    static QString named(const char* stem) { return QLatin1String(stem) + '.' + QFileInfo(sample()).suffix(); }
    FakeSeams seams_;
};

// What the sample's worksheets are called by their names is what the workbook says of them; the
// Calc backend has one flag for both kinds of hidden.
TEST_P(SpreadsheetContract, EachWorksheetSaysWhetherTheWorkbookHidesIt)
{
    auto app = make();
    auto book = app->workbooks().Open(sample());
    QStringList seen;
    for (const auto& ws : book->Worksheets())
        seen << ws->Name() + '=' + QString::number(static_cast<int>(ws->Visibility()));
    const bool calc = QLatin1String(GetParam().backend) == QLatin1String("calc");
    EXPECT_EQ(seen, (QStringList{"Visible=0", "Hidden=1", calc ? "VeryHidden=1" : "VeryHidden=2"}));
    book->Close(false);
    app->Quit();
}

TEST_P(SpreadsheetContract, OpenCopySaveAsAndCloseFollowTheActiveWorkbookAndNeverReplaceAFileSilently)
{
    TempDir dir;
    const QString taken = dir.write(named("Taken"), "keep me");
    // A fresh application is hidden and asks before it replaces a file: the command-line tool
    // sets no more than the alerts.
    auto app = make(false);
    EXPECT_FALSE(app->Visible());
    EXPECT_TRUE(app->DisplayAlerts() && app->ScreenUpdating() && app->AskToUpdateLinks() && app->EnableEvents());
    app->setDisplayAlerts(false);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    auto source = app->workbooks().Open(sample());
    EXPECT_EQ(source->Name(), QFileInfo(sample()).fileName());
    EXPECT_EQ(sheetNamesOf(*source), (QStringList{"Visible", "Hidden", "VeryHidden"}));
    EXPECT_EQ(errorOf([&] { source->WorksheetByName(QStringLiteral("hidden ")); }).number(), err::SubscriptOutOfRange);
    auto second = app->workbooks().Open(other());
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), other());
    // The same file again, named relative to the working folder: no second copy, it is active.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QFileInfo(sample()).absolutePath());
    auto again = app->workbooks().Open(QFileInfo(sample()).fileName());
    QDir::setCurrent(cwd);
    EXPECT_EQ(again->FullName(), sample());
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), sample());
    EXPECT_EQ(app->workbooks().Count(), 2);

    source->WorksheetByName(QStringLiteral("VeryHidden"))->Copy();
    auto copy = app->ActiveWorkbook();
    EXPECT_EQ(app->workbooks().Count(), 3);
    EXPECT_NE(copy->FullName(), source->FullName());
    EXPECT_EQ(sheetNamesOf(*copy), QStringList{"VeryHidden"});
    // Alerts off: refused, nothing asked. Alerts on: asked Yes/No, No the default; No refuses.
    const Error e = errorOf([&] { copy->SaveAs(taken); });
    EXPECT_EQ(e.number(), err::SpreadsheetFailure);
    EXPECT_TRUE(e.description().contains(named("Taken"))) << e.description().toStdString();
    EXPECT_TRUE(seams_.messageBox.shown.empty());
    app->setDisplayAlerts(true);
    EXPECT_EQ(errorOf([&] { copy->SaveAs(taken); }).number(), err::SpreadsheetFailure);
    ASSERT_EQ(seams_.messageBox.shown.size(), 1u);
    const ShownMessage& asked = seams_.messageBox.shown[0];
    EXPECT_TRUE(asked.buttons == platform::MsgButtons::YesNo && asked.defaultButton == platform::MsgDefault::Second &&
                asked.text.contains(named("Taken")));
    EXPECT_EQ(QFileInfo(taken).size(), 7); // "keep me", untouched
    // Yes replaces it; the blanks that end a file name go; no temporary file is left.
    seams_.messageBox.answers = {platform::MsgResult::Yes};
    copy->SaveAs(taken + QStringLiteral("  "));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{named("Taken")});

    // Closing a workbook activates the one before it; a closed one's handles fail cleanly.
    copy->Close(false);
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), sample());
    source->Close(false);
    EXPECT_EQ(app->ActiveWorkbook()->FullName(), other());
    EXPECT_EQ(errorOf([&] { source->Worksheets(); }).number(), err::SpreadsheetFailure);
    app->workbooks().Close();
    EXPECT_EQ(app->workbooks().Count(), 0);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    EXPECT_EQ(sheetNamesOf(*app->workbooks().Open(taken)), QStringList{"VeryHidden"}); // what was saved
    app->Quit();
}

TEST_P(SpreadsheetContract, RefusesWhatTheTableSaysAndOpensSoundWorkbooks)
{
    auto app = make();
    // Sound workbooks with chart, macro and dialog sheets, and with names in other scripts.
    int listed = 0;
    for (const CorpusEntry& entry : corpusManifest())
        if (entry.file == "xls/sheetjs--blanksheettypes.xls" || entry.file == "xls/poi--57925.xls") {
            auto wb = app->workbooks().Open(corpusFile(entry.file));
            EXPECT_EQ(sheetNamesOf(*wb), entry.worksheets) << entry.file.toStdString();
            wb->Close(false);
            ++listed;
        }
    EXPECT_EQ(listed, 2) << "no corpus manifest at " << corpusDir().toStdString();
    for (const auto& [file, number] : GetParam().refusals) {
        const Error e = errorOf([&] { app->workbooks().Open(corpusFile(file)); });
        EXPECT_EQ(e.number(), number) << file.toStdString() << ": " << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(QFileInfo(file).fileName())) << e.description().toStdString();
    }
    EXPECT_EQ(app->workbooks().Count(), 0);
    app->Quit();
}

// Every kind of file, under this backend's workbook name: what each backend opens, and the one
// reason it gives for each kind it refuses at the door (the same for every backend).
enum class Door { Opens, Refuses, Passes }; // Passes: past the door, then opened or refused for damage

struct KindCase {
    const char* what;
    book::FileKind kind;
    std::function<QByteArray()> bytes;
    Door xls, xlsx, calc;
};

inline std::function<QByteArray()> corpusBytes(const char* file)
{
    return [file] {
        QFile f(corpusFile(QLatin1String(file)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
}

inline QByteArray compoundFileOf(const char* stream)
{
    const QByteArray data(600, 'x');
    QString reason;
    return book::writeCompoundFile({{QLatin1String(stream), reinterpret_cast<const std::uint8_t*>(data.constData()), 600}}, &reason);
}

TEST_P(SpreadsheetContract, EveryKindOfFileOpensOrIsRefusedWithItsOneReason)
{
    using K = book::FileKind;
    using D = Door;
    const KindCase cases[] = {
        {"BIFF8", K::Biff8, corpusBytes("xls/xlrd--ragged.xls"), D::Opens, D::Refuses, D::Opens},
        {"BIFF5", K::Biff5, corpusBytes("xls/sheetjs--sheet_visibility5.xls"), D::Refuses, D::Refuses, D::Opens},
        {"RC4 BIFF8", K::EncryptedXls, corpusBytes("xls/sheetjs--password_2002_40_972000.xls"), D::Refuses, D::Refuses, D::Refuses},
        {"XOR BIFF5", K::EncryptedXls, corpusBytes("xls/sheetjs--password_2002_40_xor.xls"), D::Refuses, D::Refuses, D::Refuses},
        {"encrypted package", K::EncryptedOpenXml, corpusBytes("xlsx/calamine--pass_protected.xlsx"), D::Refuses, D::Refuses, D::Refuses},
        {"Open XML", K::OpenXml, corpusBytes("xlsx/poi--commenttest.xlsx"), D::Refuses, D::Opens, D::Opens},
        {"xlsb", K::Xlsb, corpusBytes("xlsx/poi--simple.xlsb"), D::Refuses, D::Refuses, D::Passes},
        {"OpenDocument", K::OpenDocument, [] { return xlsx::zipOf({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", 0, true}}); },
         D::Refuses, D::Refuses, D::Passes}, // its type named in a first entry, stored
        {"BIFF2", K::OldBiff, corpusBytes("xls/exceldatareader--as3xls_biff2.xls"), D::Refuses, D::Refuses, D::Passes},
        {"HTML", K::Html, corpusBytes("xls/sheetjs--sized_boxen.htm.xls"), D::Refuses, D::Refuses, D::Opens},
        {"XML", K::Xml, corpusBytes("xls/sheetjs--autofilter.xml.xls"), D::Refuses, D::Refuses, D::Opens},
        {"text", K::Text, [] { return QByteArray("a\tb,c\n1,2,3\n"); }, D::Refuses, D::Refuses, D::Refuses},
        {"empty", K::Empty, [] { return QByteArray(); }, D::Refuses, D::Refuses, D::Refuses},
        {"no workbook stream", K::OtherCompound, [] { return compoundFileOf("Other"); }, D::Refuses, D::Refuses, D::Refuses},
        {"damaged container", K::DamagedCompound, [] { return QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1") + QByteArray(600, '\xff'); },
         D::Passes, D::Refuses, D::Passes},
        {"binary", K::Unknown, [] { return QByteArray("\x01\x02\x03\x00binary\x00", 11); }, D::Refuses, D::Refuses, D::Passes},
    };
    const bool calc = QLatin1String(GetParam().backend) == QLatin1String("calc");
    const bool openXml = QFileInfo(sample()).suffix() == QLatin1String("xlsx");
    auto app = make();
    TempDir dir;
    for (const KindCase& c : cases) {
        const QString path = dir.write(named(c.what), c.bytes());
        const Door door = calc ? c.calc : openXml ? c.xlsx : c.xls;
        std::shared_ptr<automation::Workbook> book;
        const Error e = errorOf([&] { book = app->workbooks().Open(path); });
        const std::string what = std::string(c.what) + ": " + e.description().toStdString();
        const QString refusal = book::refusalText(path, c.kind);
        if (door == Door::Opens) {
            EXPECT_TRUE(book && !book->Worksheets().empty()) << what;
        } else if (door == Door::Refuses) {
            EXPECT_EQ(e.description(), refusal) << what;
        } else {
            EXPECT_TRUE(book || e.description() != refusal) << what;
        }
        EXPECT_TRUE(book || e.number() == err::SpreadsheetFailure) << what;
        if (book)
            book->Close(false);
    }
    // What is no file at all, or no regular file, is refused at once, never waited on.
    const QString fifo = dir.file(named("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::pair<QString, QString> noFiles[] = {{dir.file(named("absent")), "File not found: " + dir.file(named("absent"))},
                                                   {fifo, "'" + fifo + "' is a FIFO, not a regular file"},
                                                   {dir.path(), "'" + dir.path() + "' is a folder, not a regular file"}};
    for (const auto& [path, says] : noFiles) {
        const Error e = errorOf([&] { app->workbooks().Open(path); });
        EXPECT_EQ(e.number(), path == noFiles[0].first ? err::FileNotFound : err::SpreadsheetFailure) << says.toStdString();
        EXPECT_EQ(e.description(), says);
    }
    // A file that cannot be read (nothing is mapped at its start) says so once.
    const QString unreadable = errorOf([&] { app->workbooks().Open(QStringLiteral("/proc/self/mem")); }).description();
    EXPECT_TRUE(unreadable.startsWith("'/proc/self/mem' cannot be read: ") && unreadable.count("/proc/self/mem") == 1)
        << unreadable.toStdString();
    EXPECT_EQ(app->workbooks().Count(), 0);
    app->Quit();
}

} // namespace bf::test
