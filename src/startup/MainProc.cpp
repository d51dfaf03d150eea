#include "startup/MainProc.h"

#include "platform/Seams.h"
#include "core/Error.h"
#include "core/Conversions.h"
#include "startup/ErrorReports.h"

namespace bf::MainProc {

namespace {
clsSetting* g_setting = nullptr;
automation::SpreadsheetApplication* g_excelApp = nullptr;
std::unique_ptr<automation::SpreadsheetApplication> g_ownedApp;

// Closes what is still open and quits; failures here have nobody left to tell.
void closeAndQuit(automation::SpreadsheetApplication& app)
{
    app.workbooks().Close();
    app.Quit();
}
} // namespace

clsSetting* Setting() { return g_setting; }
automation::SpreadsheetApplication* ExcelApp() { return g_excelApp; }
void setSetting(clsSetting* s) { g_setting = s; }
void setExcelApp(automation::SpreadsheetApplication* app) { g_excelApp = app; }

bool CreateExcelApplication()
{
    try {
        QString backend;
        if (g_setting)
            g_setting->GetSetting(QStringLiteral("SpreadsheetApplication"), backend);
        g_ownedApp = automation::createSpreadsheetApplication(backend);
        g_excelApp = g_ownedApp.get();
        return true;
    } catch (...) {
        g_ownedApp.reset();
        g_excelApp = nullptr;
        platform::msgBox(QStringLiteral("Please install Microsoft Excel and try again."));
        return false;
    }
}

void Main(const MainWindowMaker& makeMainWindow)
{
    std::unique_ptr<clsSetting> setting;
    std::unique_ptr<MainWindowHandle> window;
    auto release = [&] {
        window.reset();
        setting.reset(); // writes Config.cfg back
        g_setting = nullptr;
    };
    try {
        if (!platform::seams().instanceLock || !platform::seams().instanceLock->tryAcquire()) {
            platform::msgBox(QStringLiteral("Application already running!"));
            return;
        }
        platform::AppInfoSeam& appInfo = platform::app();
        appInfo.setHelpFile(appInfo.path() + QStringLiteral("/help/help.chm"));

        setting = std::make_unique<clsSetting>(platform::resolveBesideProgram(QStringLiteral("/Config/Config.cfg")));
        g_setting = setting.get();

        if (!CreateExcelApplication()) {
            release();
            return;
        }

        QString displayExcel;
        QString displayAlerts;
        g_setting->GetSetting(QStringLiteral("DisplayExcel"), displayExcel);
        g_excelApp->setVisible(CBool(displayExcel));
        g_setting->GetSetting(QStringLiteral("DisplayExcelAlerts"), displayAlerts);
        g_excelApp->setDisplayAlerts(CBool(displayAlerts));
        g_excelApp->setScreenUpdating(true);
        g_excelApp->setAskToUpdateLinks(false);

        window = makeMainWindow();
        window->showModal();

        // Shutdown: the window, the store (write-back), the workbooks, the application.
        release();
        closeAndQuit(*g_excelApp);
        g_excelApp = nullptr;
        g_ownedApp.reset();
    } catch (...) {
        try {
            showStartupError();
        } catch (...) {
        }
        // No spreadsheet application process is left behind on this path either.
        try {
            window.reset();
            if (g_excelApp) {
                setting.reset();
                g_setting = nullptr;
                closeAndQuit(*g_excelApp);
            }
        } catch (...) {
        }
        g_excelApp = nullptr;
        g_ownedApp.reset();
        try {
            setting.reset();
        } catch (...) {
        }
        g_setting = nullptr;
    }
}

} // namespace bf::MainProc
