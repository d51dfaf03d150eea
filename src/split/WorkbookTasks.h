#pragma once
// The workbooks of a task list as the units the jobs of a run take, in row order.
#include "tasklist/TaskRows.h"

#include <vector>

namespace bf::split::jobs {

// One workbook's rows, first to last (1-based).
struct WorkbookTask {
    int first = 0;
    int last = 0;
};

// The workbooks of the list in row order; none when a workbook's rows are not all together.
std::vector<WorkbookTask> workbookTasksOf(const tasklist::TaskRows& rows);

} // namespace bf::split::jobs
