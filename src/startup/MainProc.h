#pragma once
// The start-up module: Main, CreateExcelApplication and the three long-lived objects.
#include "automation/SpreadsheetApplication.h"
#include "startup/clsSetting.h"

#include <functional>
#include <memory>

namespace bf {

// The main window as Main sees it: made by the program's entry point, shown modally.
class MainWindowHandle {
public:
    virtual ~MainWindowHandle() = default;
    // Shows the window and returns when it has been unloaded.
    virtual void showModal() = 0;
};
using MainWindowMaker = std::function<std::unique_ptr<MainWindowHandle>()>;

namespace MainProc {

// The configuration store and the spreadsheet application while the program runs; nullptr
// outside that time. Tests install their own with the setters.
clsSetting* Setting();
automation::SpreadsheetApplication* ExcelApp();
void setSetting(clsSetting* s);
void setExcelApp(automation::SpreadsheetApplication* app);

// Creates the spreadsheet application (backend named by the configuration, native by
// default); on failure shows "Please install Microsoft Excel and try again." and returns false.
bool CreateExcelApplication();

// The start-up routine: runs the program and returns when it ends.
void Main(const MainWindowMaker& makeMainWindow);

} // namespace MainProc
} // namespace bf
