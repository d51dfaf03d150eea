#include "startup/MainProc.h"

#include "automation/BackendPlugin.h"
#include "core/Error.h"
#include "startup/ConfigLocation.h"
#include "startup/ErrorReports.h"

namespace bf::MainProc {

namespace {

// What Main owns while the program runs; the context points at it.
struct Running {
    std::unique_ptr<clsSetting> setting;
    std::unique_ptr<automation::SpreadsheetApplication> application;
    std::unique_ptr<MainWindowHandle> window;
};

// Closes what is still open and quits; failures here have nobody left to tell.
void closeAndQuit(automation::SpreadsheetApplication& app)
{
    app.workbooks().Close();
    app.Quit();
}

void applyDisplaySettings(const AppContext& context)
{
    automation::SpreadsheetApplication& app = context.spreadsheet();
    app.setVisible(settingBoolean(context.store(), QStringLiteral("DisplayExcel"), std::nullopt));
    app.setDisplayAlerts(settingBoolean(context.store(), QStringLiteral("DisplayExcelAlerts"), std::nullopt));
    app.setScreenUpdating(true);
    app.setAskToUpdateLinks(false);
    // Off when the key is missing (a configuration from before the option).
    QString decrypt;
    app.setDecryptOutputs(context.store().GetSetting(QStringLiteral("DecryptOutputs"), decrypt) == clsSetting::kDone &&
                          settingBoolean(context.store(), QStringLiteral("DecryptOutputs"), std::nullopt));
}

// After a failure: no spreadsheet application process is left behind, and the store is
// written back once the application has been told to quit.
void releaseAfterFailure(AppContext& context, Running& running)
{
    try {
        running.window.reset();
        if (running.application) {
            running.setting.reset();
            context.setting = nullptr;
            closeAndQuit(*running.application);
        }
    } catch (...) {
    }
    context.application = nullptr;
    running.application.reset();
    try {
        running.setting.reset();
    } catch (...) {
    }
    context.setting = nullptr;
}

} // namespace

std::unique_ptr<automation::SpreadsheetApplication> CreateExcelApplication(const AppContext& context,
                                                                          const automation::Backends& backends)
{
    try {
        return backends.create(context.configured(QStringLiteral("SpreadsheetApplication")), context.seams);
    } catch (const automation::BackendNotInstalled& missing) {
        // Which package brings the backend the configuration names.
        context.seams.msgBox(missing.description());
        return nullptr;
    } catch (...) {
        context.seams.msgBox(QStringLiteral("Please install Microsoft Excel and try again."));
        return nullptr;
    }
}

void Main(platform::Seams& seams, const automation::Backends& backends, const MainWindowMaker& makeMainWindow,
          const QStringList& startPaths)
{
    AppContext context(seams);
    Running running;
    try {
        if (!seams.instanceLock || !seams.instanceLock->tryAcquire()) {
            // Files opened while the program runs go to its window, which lists them.
            if (startPaths.isEmpty() || !seams.instanceLock || !seams.instanceLock->handToRunningInstance(startPaths))
                seams.msgBox(QStringLiteral("Application already running!"));
            return;
        }
        platform::AppInfoSeam& appInfo = seams.app();
        appInfo.setHelpFile(appInfo.path() + QStringLiteral("/help/help.chm"));

        const ConfigPaths config =
            ConfigPathsForThisUser(platform::resolveBesideProgram(seams, QStringLiteral("/Config/Config.cfg")));
        running.setting = std::make_unique<clsSetting>(config.readFrom, seams, config.writeTo);
        context.setting = running.setting.get();

        running.application = CreateExcelApplication(context, backends);
        if (!running.application) {
            context.setting = nullptr;
            running.setting.reset(); // writes Config.cfg back
            return;
        }
        context.application = running.application.get();
        applyDisplaySettings(context);

        running.window = makeMainWindow(context);
        running.window->showModal();

        // Shutdown: the window, the store (write-back), the workbooks, the application.
        running.window.reset();
        context.setting = nullptr;
        running.setting.reset();
        closeAndQuit(*running.application);
        context.application = nullptr;
        running.application.reset();
    } catch (...) {
        try {
            showStartupError(seams);
        } catch (...) {
        }
        releaseAfterFailure(context, running);
    }
}

} // namespace bf::MainProc
