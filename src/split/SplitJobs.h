#pragma once
// The split run in jobs: the workbooks of the task list are split several at once, each job
// with a spreadsheet application of its own, and the run writes the same folders, files and
// reports, ends with the same failure list and stops at the same failure as the run row after
// row (RunSplit). Folder names are taken in the order of the rows; reports are given in that
// order once every earlier workbook is done. When a run that does not go on fails, no new
// workbook is started, earlier ones are finished, later ones stop after their current
// worksheet and what they wrote is removed. For the command line: a question a job's
// application asks gets its default answer.
#include "automation/SpreadsheetApplication.h"
#include "split/SplitRun.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace bf::split {

// What one job works with, made for it before the run starts.
struct JobMakers {
    // A spreadsheet application set up as the run's own, asking through seams.
    std::function<std::unique_ptr<automation::SpreadsheetApplication>(const platform::Seams& seams)> application;
    // The passwords known to the run, for that application; may be empty (none).
    std::function<std::unique_ptr<automation::Keyring>()> keyring;
    // For tests: told that the workbook at this place of the list (from 0) asks for its folder
    // name, with the run's folder names held, so it must not wait.
    std::function<void(std::size_t workbook)> folderNameAsked = {};
};

// RunSplit with up to jobs workbooks at once. One job, or a list of one workbook, runs RunSplit
// itself; so does a list that names a workbook in two places apart.
QString RunSplitInJobs(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, int jobs,
                       const JobMakers& makers, KeepGoing* keepGoing = nullptr, const SplitOptions* options = nullptr,
                       const QString& procName = QStringLiteral("mnuSplit_Click"));

} // namespace bf::split
