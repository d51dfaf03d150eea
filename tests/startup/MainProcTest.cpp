// Main's start and shutdown order and the starts that fail, with fake seams, a recording
// spreadsheet application, the test backend plugins and a real Config.cfg in a private
// application folder.
#include "automation/BackendPlugin.h"
#include "automation/Switches.h"
#include "startup/MainProc.h"
#include "support/ConfigFixture.h"
#include "support/FakeSeams.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace bf;
using test::readFile;

namespace {

QStringList g_log; // what happened, in order, across the fakes
QString g_config;
QByteArray g_configAtStart;

class RecordingApplication : public automation::SwitchedApplication, automation::Workbooks {
    static void log(const char* what, bool on) { g_log << QStringLiteral("%1=%2").arg(what).arg(on); }
    automation::Switches& switches() const override { return switches_; }
    mutable automation::Switches switches_;

public:
    automation::Workbooks& workbooks() override { return *this; }
    std::shared_ptr<automation::Workbook> Open(const QString&, const QString&) override { return nullptr; }
    int Count() const override { return 0; }
    void Close() override { g_log << (readFile(g_config) == g_configAtStart ? "Close, config unwritten" : "Close"); }
    std::shared_ptr<automation::Workbook> ActiveWorkbook() override { return nullptr; }
    void setVisible(bool on) override { log("Visible", on); SwitchedApplication::setVisible(on); }
    void setDisplayAlerts(bool on) override { log("DisplayAlerts", on); SwitchedApplication::setDisplayAlerts(on); }
    void setScreenUpdating(bool on) override { log("ScreenUpdating", on); SwitchedApplication::setScreenUpdating(on); }
    void setAskToUpdateLinks(bool on) override { log("AskToUpdateLinks", on); SwitchedApplication::setAskToUpdateLinks(on); }
    void Quit() override { g_log << "Quit"; }
};

// While it is open, the window's commands reach the store and the application.
class FakeMainWindow : public MainWindowHandle {
public:
    explicit FakeMainWindow(AppContext& context) : context_(context) {}
    void showModal() override
    {
        g_log << (context_.application ? "window shown" : "window shown without application");
        context_.store().SetSetting("DisplayExcel", "0");
    }
    ~FakeMainWindow() override { g_log << "window released"; }

private:
    AppContext& context_;
};

struct MainTest : ::testing::Test {
    test::FakeSeams seams;
    test::TempDir dir;
    automation::Backends backends;

    void SetUp() override
    {
        backends.add("recording", [](const platform::Seams&) {
            g_log << "created";
            return std::make_unique<RecordingApplication>();
        });
        seams.appInfo.folder = dir.path();
        g_config = dir.file("Config/Config.cfg");
    }
    void runMain(const QString& config) // "": no Config.cfg
    {
        QFile::remove(g_config);
        g_configAtStart = config.isEmpty() ? QByteArray() : test::utf16le(config + "\r\n");
        if (!config.isEmpty())
            dir.write("Config/Config.cfg", g_configAtStart);
        g_log.clear();
        seams.messageBox.shown.clear();
        MainProc::Main(seams, backends, [](AppContext& c) { return std::make_unique<FakeMainWindow>(c); });
    }
};

} // namespace

TEST_F(MainTest, StartsConfiguresShowsTheWindowAndShutsDownInOrder)
{
    runMain("DisplayExcel=1\r\n\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording");
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(seams.appInfo.helpFile(), dir.path() + "/help/help.chm");
    // The store is written back before the workbooks are closed and the application quits.
    EXPECT_EQ(g_log, (QStringList{"created", "Visible=1", "DisplayAlerts=0", "ScreenUpdating=1", "AskToUpdateLinks=0",
                                  "window shown", "window released", "Close", "Quit"}));
    EXPECT_EQ(readFile(g_config), test::utf16le("DisplayExcel=0\r\n\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording\r\n"));

    runMain("DisplayExcel=0\r\nDisplayExcelAlerts=1"); // no backend named: the native engine
    EXPECT_TRUE(seams.messageBox.shown.empty()) << seams.messageBox.texts().join("|").toStdString();
    EXPECT_EQ(g_log, (QStringList{"window shown", "window released"}));
}

TEST_F(MainTest, FailingStartShowsOneMessageAndLeavesNoApplicationRunning)
{
    const QString start = "DisplayExcel=1\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=";
    const QString mismatch = "Err Number: 13\r\nErr Description: Type mismatch: ";
    const QString cannotStart = "Please install Microsoft Excel and try again.";
    const QString plugins = QStringLiteral(TEST_PLUGINS_DIR);
    const struct {
        QString config;
        bool otherInstance;
        QString programFolder; // where the calc plugin is looked for
        QString message;       // the message, or a part of it
        bool created;          // whether the spreadsheet application was created (and must quit)
    } cases[] = {
        {start + "recording", true, {}, "Application already running!", false},
        {"", false, {}, "Err Number: 53\r\nErr Description: File not found: " + g_config, false},
        {"DisplayExcel=yes\r\nDisplayExcelAlerts=0\r\nSpreadsheetApplication=recording", false, {},
         mismatch + "the value \"yes\" of the key \"DisplayExcel\" in " + g_config + " is no Boolean (1 or 0)", true},
        {"DisplayExcelAlerts=0\r\nSpreadsheetApplication=recording", false, {},
         mismatch + "the key \"DisplayExcel\" is missing from " + g_config, true},
        {"DisplayExcel=1\r\nDisplayExcelAlerts=\r\nSpreadsheetApplication=recording", false, {},
         mismatch + "the value \"\" of the key \"DisplayExcelAlerts\"", true},
        {start + "no-such-backend", false, {}, cannotStart, false},
        {start + "calc", false, dir.path(),
         dir.path() + "/plugins/libbrakenfold-calc.so is missing. Install the package brakenfold-calc", false},
        {start + "calc", false, plugins + "/interface+1", "belongs to another version of the program", false},
        // Built for this program: loaded and asked for its application, which cannot start.
        {start + "calc", false, plugins + "/interface+0", cannotStart, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        seams.instanceLock.otherInstanceRunning = c.otherInstance;
        if (!c.programFolder.isEmpty())
            automation::addPluginBackends(backends, c.programFolder);
        runMain(c.config);
        ASSERT_EQ(seams.messageBox.shown.size(), 1u);
        EXPECT_TRUE(seams.messageBox.texts()[0].contains(c.message)) << seams.messageBox.texts()[0].toStdString();
        EXPECT_EQ(g_log.contains("created"), c.created);
        EXPECT_EQ(g_log.isEmpty() ? QString() : g_log.last(), c.created ? "Quit" : QString());
        EXPECT_EQ(readFile(g_config), g_configAtStart);
    }
}

TEST_F(MainTest, ASecondStartHandsItsFilesToTheRunningInstanceAndElseSaysItIsRunning)
{
    seams.instanceLock.otherInstanceRunning = true;
    const QString running = "Application already running!";
    const struct {
        QStringList paths;
        bool taken; // by the running instance
        QStringList said;
    } cases[] = {
        {{"/d/a.xls", "/d/folder"}, true, {}},
        {{"/d/a.xls"}, false, {running}}, // the running instance did not take them
        {{}, true, {running}},            // nothing to hand over
    };
    for (const auto& c : cases) {
        seams.instanceLock.handed.clear();
        seams.instanceLock.runningInstanceTakesPaths = c.taken;
        seams.messageBox.shown.clear();
        g_log.clear();
        MainProc::Main(seams, backends, [](AppContext& context) { return std::make_unique<FakeMainWindow>(context); },
                       c.paths);
        EXPECT_EQ(seams.instanceLock.handed, c.paths);
        EXPECT_EQ(seams.messageBox.texts(), c.said);
        EXPECT_TRUE(g_log.isEmpty()); // nothing started, no window
    }
}
