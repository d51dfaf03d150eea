#include "startup/MainProc.h"

#include "automation/BackendPlugin.h"
#include "core/Conversions.h"
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

// A Boolean the start needs; Error 13 naming the key and the file when it is missing or no
// Boolean.
bool requiredBoolean(const clsSetting& store, const QString& key)
{
    QString text;
    if (store.GetSetting(key, text) != clsSetting::kDone)
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the key \"%1\" is missing from %2")
                                           .arg(key, store.filePath()));
    try {
        return CBool(text);
    } catch (const Error&) {
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the value \"%1\" of the key \"%2\" in %3 is no "
                                                      "Boolean (1 or 0)")
                                           .arg(text, key, store.filePath()));
    }
}

void applyDisplaySettings(const AppContext& context)
{
    automation::SpreadsheetApplication& app = context.spreadsheet();
    app.setVisible(requiredBoolean(context.store(), QStringLiteral("DisplayExcel")));
    app.setDisplayAlerts(requiredBoolean(context.store(), QStringLiteral("DisplayExcelAlerts")));
    app.setScreenUpdating(true);
    app.setAskToUpdateLinks(false);
    // Off when the key is missing (a configuration from before the option).
    QString decrypt;
    app.setDecryptOutputs(context.store().GetSetting(QStringLiteral("DecryptOutputs"), decrypt) == clsSetting::kDone &&
                          requiredBoolean(context.store(), QStringLiteral("DecryptOutputs")));
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
