#pragma once
// The window's state while a split runs: hourglass, the progress bar from 1 to 2 x rows, the row
// being written selected, the spreadsheet application's events off. Each routine reports its own
// failure under its own name, skips what is left of it and returns normally.
#include "split/SplitView.h"
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <cstdint>

namespace bf::split {

// Shows the bar, sets the hourglass, range 1 to 2 x rows, value at the minimum, events off.
void InitControlStateBeforeSplit(const AppContext& context, tasklist::TaskRows& rows, SplitView& view);

// Hides the bar, value back to its minimum (the maximum stays), default pointer, events on.
void RestoreControlStateAfterSplit(const AppContext& context, SplitView& view);

// Selects the 1-based row Index and scrolls it into view.
void SetCurrentListItem(const platform::Seams& seams, tasklist::TaskRows& rows, std::int16_t Index);

} // namespace bf::split
