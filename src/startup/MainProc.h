#pragma once
// The start-up routine: Main makes the program's context (configuration store, spreadsheet
// application, seams) and shows the main window with it.
#include "automation/ApplicationFactory.h"
#include "startup/AppContext.h"
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
using MainWindowMaker = std::function<std::unique_ptr<MainWindowHandle>(AppContext&)>;

namespace MainProc {

// Creates the spreadsheet application (the backend named by the configuration, native by
// default); on failure shows "Please install Microsoft Excel and try again." and returns nullptr.
std::unique_ptr<automation::SpreadsheetApplication> CreateExcelApplication(const AppContext& context,
                                                                          const automation::Backends& backends);

// The start-up routine: runs the program and returns when it ends. startPaths: the files and
// folders of the command line, handed to the instance already running when there is one.
void Main(platform::Seams& seams, const automation::Backends& backends, const MainWindowMaker& makeMainWindow,
          const QStringList& startPaths = {});

} // namespace MainProc
} // namespace bf
