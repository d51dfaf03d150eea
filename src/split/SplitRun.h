#pragma once
// The split run: every row of the task list becomes one workbook in a fresh, time-stamped
// folder tree. Shared by the main window's Split command and the command-line tool.
#include "split/SplitOptions.h"
#include "split/SplitView.h"
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <QString>

namespace bf::split {

// Asked for by the command line: a failed row is reported and the run goes on with the next one;
// at the end every failure is listed in place of "Mission complete!" and counted here.
struct KeepGoing {
    int failedRows = 0;
};

// The Split command's run, from the caption refresh to opening the run folder. Traps every failure
// and shows the report naming procName ("mnuSplit_Click" from the window); without keepGoing the
// first failure ends the run. Returns the run folder when the run went through to its end, "" when
// it ended early (a message or a report was shown). Without options they are read from the
// context's store (splitOptionsFrom).
QString RunSplit(const AppContext& context, tasklist::TaskRows& rows, SplitView& view,
                 const QString& procName = QStringLiteral("mnuSplit_Click"), KeepGoing* keepGoing = nullptr,
                 const SplitOptions* options = nullptr);

} // namespace bf::split
