#include "split/SplitState.h"

#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "startup/MainProc.h"

#include <limits>

namespace bf::split {

namespace {
automation::SpreadsheetApplication& application()
{
    automation::SpreadsheetApplication* app = MainProc::ExcelApp();
    if (!app)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no spreadsheet application is running"));
    return *app;
}
} // namespace

void InitControlStateBeforeSplit(tasklist::TaskRows& rows, SplitView& view)
{
    trapProcedure(QStringLiteral("InitControlStateBeforeSplit"), [&] {
        view.setProgressVisible(true);
        view.setBusyPointer(true);
        view.setProgressMinimum(1.0f);
        // The product is a 32-bit integer before it becomes the bar's single-precision maximum.
        const std::int64_t maximum = std::int64_t{2} * rows.rowCount();
        if (maximum > std::numeric_limits<std::int32_t>::max())
            raise(err::Overflow);
        view.setProgressMaximum(static_cast<float>(static_cast<std::int32_t>(maximum)));
        view.setProgressValue(view.progressMinimum());
        application().setEnableEvents(false);
    });
}

void RestoreControlStateAfterSplit(SplitView& view)
{
    trapProcedure(QStringLiteral("RestoreControlStateAfterSplit"), [&] {
        view.setProgressVisible(false);
        view.setProgressValue(view.progressMinimum());
        view.setBusyPointer(false);
        application().setEnableEvents(true);
    });
}

void SetCurrentListItem(tasklist::TaskRows& rows, std::int16_t Index)
{
    trapProcedure(QStringLiteral("SetCurrentListItem"), [&] { rows.selectRow(Index); });
}

} // namespace bf::split
