#include "split/SplitState.h"

#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "automation/SpreadsheetApplication.h"

#include <limits>

namespace bf::split {

void InitControlStateBeforeSplit(const AppContext& context, tasklist::TaskRows& rows, SplitView& view)
{
    trapProcedure(context.seams, QStringLiteral("InitControlStateBeforeSplit"), [&] {
        view.setProgressVisible(true);
        view.setBusyPointer(true);
        view.setProgressMinimum(1.0f);
        // Two steps per row: a count beyond a 32-bit integer is an overflow, not a wrong maximum.
        const std::int64_t maximum = std::int64_t{2} * rows.rowCount();
        if (maximum > std::numeric_limits<std::int32_t>::max())
            raise(err::Overflow);
        view.setProgressMaximum(static_cast<float>(static_cast<std::int32_t>(maximum)));
        view.setProgressValue(view.progressMinimum());
        context.spreadsheet().setEnableEvents(false);
    });
}

void RestoreControlStateAfterSplit(const AppContext& context, SplitView& view)
{
    trapProcedure(context.seams, QStringLiteral("RestoreControlStateAfterSplit"), [&] {
        view.setProgressVisible(false);
        view.setProgressValue(view.progressMinimum());
        view.setBusyPointer(false);
        context.spreadsheet().setEnableEvents(true);
    });
}

void SetCurrentListItem(const platform::Seams& seams, tasklist::TaskRows& rows, std::int16_t Index)
{
    trapProcedure(seams, QStringLiteral("SetCurrentListItem"), [&] { rows.selectRow(Index); });
}

} // namespace bf::split
