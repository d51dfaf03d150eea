#pragma once
// The main thread's side of a run in jobs: what each workbook's job met, given workbook after
// workbook in list order as the run row after row gives it, and the progress of every job.
#include "split/JobEvents.h"
#include "split/SplitRun.h"

#include <QStringList>

#include <exception>

namespace bf::split::jobs {

class ReportsInOrder {
public:
    ReportsInOrder(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& procName,
                   KeepGoing* keepGoing);

    // Shows the messages, tells the view of .xlsm workbooks, and lists the failures of a run
    // that goes on or keeps the one that ends the run.
    void give(const WorkbookReport& report);
    // done worksheets written by every job, the last of them at row.
    void showProgress(int done, int row);

    QStringList failures;    // of a run that goes on, one line each
    std::exception_ptr stop; // the failure that ends the run

private:
    void give(const JobEvent& event);
    void giveFailure(const JobEvent& event);

    const AppContext& context_;
    tasklist::TaskRows& rows_;
    SplitView& view_;
    const QString procName_;
    KeepGoing* keepGoing_;
};

} // namespace bf::split::jobs
