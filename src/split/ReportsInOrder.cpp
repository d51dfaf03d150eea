#include "split/ReportsInOrder.h"

#include "split/SplitState.h"
#include "split/SplitSteps.h"
#include "startup/ErrorReports.h"

namespace bf::split::jobs {

ReportsInOrder::ReportsInOrder(const AppContext& context, tasklist::TaskRows& rows, SplitView& view,
                               const QString& procName, KeepGoing* keepGoing)
    : context_(context), rows_(rows), view_(view), procName_(procName), keepGoing_(keepGoing)
{
}

void ReportsInOrder::give(const WorkbookReport& report)
{
    for (const JobEvent& event : report.events)
        give(event);
}

void ReportsInOrder::showProgress(int done, int row)
{
    if (done == 0)
        return;
    SetCurrentListItem(context_.seams, rows_, static_cast<std::int16_t>(row));
    view_.setProgressValue(2.0f * static_cast<float>(done));
    view_.repaintNow();
}

void ReportsInOrder::give(const JobEvent& event)
{
    switch (event.kind) {
    case JobEvent::Kind::Message:
        context_.seams.msgBox(event.text, event.buttons, event.icon, event.defaultButton);
        break;
    case JobEvent::Kind::Macros:
        view_.macrosNotKept(event.text);
        break;
    case JobEvent::Kind::Failure:
        giveFailure(event);
        break;
    }
}

void ReportsInOrder::giveFailure(const JobEvent& event)
{
    if (!keepGoing_) {
        stop = event.failure;
        return;
    }
    showProcedureError(context_.seams, procName_, event.failure);
    failures << steps::failureLine(rows_, event.row, event.failure);
    keepGoing_->failedRows = static_cast<int>(failures.size());
}

} // namespace bf::split::jobs
