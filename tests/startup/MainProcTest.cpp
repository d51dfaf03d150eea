// The start-up routine's order and its failure paths, with fake seams, a recording spreadsheet
// application and a real Config.cfg in a temporary application folder.
#include "automation/ApplicationFactory.h"
#include "automation/BackendPlugin.h"
#include "startup/MainProc.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace bf;

namespace {

QByteArray utf16(const QString& text)
{
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What happened, in order, across the fakes.
QStringList g_log;
QString g_configPath;
QByteArray g_configAtStart;
int g_created = 0;

class RecordingWorkbooks : public automation::Workbooks {
public:
    std::shared_ptr<automation::Workbook> Open(const QString&) override { return nullptr; }
    int Count() const override { return 0; }
    void Close() override
    {
        g_log << (readFile(g_configPath) == g_configAtStart ? "Workbooks.Close(config not yet written)"
                                                             : "Workbooks.Close(config written)");
    }
};

class RecordingApplication : public automation::SpreadsheetApplication {
public:
    automation::Workbooks& workbooks() override { return books_; }
    std::shared_ptr<automation::Workbook> ActiveWorkbook() override { return nullptr; }
    void setVisible(bool on) override { g_log << QStringLiteral("Visible=%1").arg(on); }
    bool Visible() const override { return false; }
    void setDisplayAlerts(bool on) override { g_log << QStringLiteral("DisplayAlerts=%1").arg(on); }
    bool DisplayAlerts() const override { return false; }
    void setScreenUpdating(bool on) override { g_log << QStringLiteral("ScreenUpdating=%1").arg(on); }
    bool ScreenUpdating() const override { return true; }
    void setAskToUpdateLinks(bool on) override { g_log << QStringLiteral("AskToUpdateLinks=%1").arg(on); }
    bool AskToUpdateLinks() const override { return false; }
    void setEnableEvents(bool) override {}
    bool EnableEvents() const override { return true; }
    void Quit() override { g_log << "Quit"; }

private:
    RecordingWorkbooks books_;
};

class FakeMainWindow : public MainWindowHandle {
public:
    explicit FakeMainWindow(AppContext& context) : context_(context) {}
    void showModal() override
    {
        g_log << "main window shown";
        // The window's commands reach the store and the application while it is open.
        EXPECT_NE(context_.application, nullptr);
        ASSERT_NE(context_.setting, nullptr);
        context_.setting->SetSetting("DisplayExcel", "0");
    }
    ~FakeMainWindow() override { g_log << "main window released"; }

private:
    AppContext& context_;
};

struct MainTest : ::testing::Test {
    test::FakeSeams seams;
    test::TempDir dir;
    automation::Backends backends;

    void SetUp() override
    {
        g_log.clear();
        g_created = 0;
        backends.add("recording", [](const platform::Seams&) {
            ++g_created;
            return std::make_unique<RecordingApplication>();
        });
        backends.add("broken", [](const platform::Seams&) -> std::unique_ptr<automation::SpreadsheetApplication> {
            throw std::runtime_error("cannot start");
        });
        seams.appInfo.folder = dir.path();
        g_configPath = dir.path() + "/Config/Config.cfg";
    }
    void writeConfig(const QString& text)
    {
        g_configAtStart = utf16(text);
        dir.write("Config/Config.cfg", g_configAtStart);
    }
    void runMain()
    {
        MainProc::Main(seams, backends, [](AppContext& context) { return std::make_unique<FakeMainWindow>(context); });
    }
};

} // namespace

TEST_F(MainTest, StartsConfiguresShowsTheWindowAndShutsDownInOrder)
{
    writeConfig("DisplayExcel=1\r\n\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording\r\n");
    runMain();
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(seams.appInfo.help, dir.path() + "/help/help.chm");
    EXPECT_EQ(g_log, (QStringList{"Visible=1", "DisplayAlerts=0", "ScreenUpdating=1", "AskToUpdateLinks=0",
                                  "main window shown", "main window released",
                                  "Workbooks.Close(config written)", "Quit"}));
    EXPECT_EQ(readFile(g_configPath),
              utf16("DisplayExcel=0\r\n\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording\r\n"));
}

TEST_F(MainTest, SecondInstanceIsRefusedBeforeAnythingIsCreated)
{
    writeConfig("DisplayExcel=1\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording\r\n");
    seams.instanceLock.otherInstanceRunning = true;
    runMain();
    EXPECT_EQ(seams.messageBox.texts(), QStringList{"Application already running!"});
    EXPECT_EQ(g_created, 0);
    EXPECT_TRUE(g_log.isEmpty());
    EXPECT_EQ(readFile(g_configPath), g_configAtStart);
}

TEST_F(MainTest, MissingConfigShowsTheStartupReportOnly)
{
    runMain();
    EXPECT_EQ(seams.messageBox.texts(),
              QStringList{"Err Number: 53\r\nErr Description: File not found: " + dir.path() + "/Config/Config.cfg"});
    EXPECT_EQ(g_created, 0);
    EXPECT_TRUE(g_log.isEmpty());
}

TEST_F(MainTest, ValuesThatAreNoBooleanEndStartupButQuitTheApplication)
{
    // Each report names the file and the key.
    const QString in = " in " + dir.path() + "/Config/Config.cfg";
    const std::pair<QString, QString> cases[] = {
        {"DisplayExcel=yes\r\nDisplayExcelAlerts=0\r\n", "the value \"yes\" of the key \"DisplayExcel\"" + in + " is no Boolean (1 or 0)"},
        {"DisplayExcelAlerts=0\r\n", "the key \"DisplayExcel\" is missing from " + dir.path() + "/Config/Config.cfg"},
        {"DisplayExcel=1\r\nDisplayExcelAlerts=\r\n", "the value \"\" of the key \"DisplayExcelAlerts\"" + in + " is no Boolean (1 or 0)"}};
    for (const auto& [config, why] : cases) {
        g_log.clear();
        seams.messageBox.shown.clear();
        writeConfig(config + "SpreadsheetApplication=recording\r\n");
        runMain();
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Err Number: 13\r\nErr Description: Type mismatch: " + why})
            << config.toStdString();
        EXPECT_FALSE(g_log.contains("main window shown"));
        // No spreadsheet process is left behind.
        EXPECT_TRUE(g_log.endsWith("Quit")) << g_log.join(",").toStdString();
    }
}

TEST_F(MainTest, BackendThatCannotStartShowsItsFixedMessageOnly)
{
    for (const char* backend : {"broken", "no-such-backend"}) {
        seams.messageBox.shown.clear();
        writeConfig(QStringLiteral("DisplayExcel=1\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=%1\r\n").arg(backend));
        runMain();
        EXPECT_EQ(seams.messageBox.texts(), QStringList{"Please install Microsoft Excel and try again."});
        EXPECT_TRUE(g_log.isEmpty());
    }
}

TEST_F(MainTest, CalcWithoutItsPluginNamesThePackageToInstall)
{
    automation::addPluginBackends(backends, dir.path()); // no plugins/ there
    writeConfig("DisplayExcel=1\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=calc\r\n");
    runMain();
    ASSERT_EQ(seams.messageBox.shown.size(), 1u);
    const QString text = seams.messageBox.texts().first();
    EXPECT_TRUE(text.contains("Install the package brakenfold-calc")) << text.toStdString();
    EXPECT_TRUE(text.contains(dir.path() + "/plugins/libbrakenfold-calc.so")) << text.toStdString();
    EXPECT_FALSE(g_log.contains("main window shown"));
}

TEST_F(MainTest, MissingBackendKeyMeansTheNativeEngine)
{
    writeConfig("DisplayExcel=0\r\nDisplayExcelAlerts=1\r\n");
    runMain();
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(g_created, 0);
    EXPECT_EQ(g_log, (QStringList{"main window shown", "main window released"}));
}
