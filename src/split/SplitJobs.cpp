#include "split/SplitJobs.h"

#include "split/JobWorker.h"
#include "split/ReportsInOrder.h"

#include <algorithm>

namespace bf::split {

namespace {

using namespace jobs;

// The rows of a prepared run written by up to jobs workers, a workbook at a time each.
class JobRun {
public:
    JobRun(const AppContext& context, tasklist::TaskRows& rows, const std::vector<WorkbookTask>& tasks,
           steps::RunFolder& run, const JobMakers& makers, bool byDefault, bool keepGoing)
        : context_(context), tasks_(tasks), run_(run), board_(tasks.size()),
          turns_(run.folders, tasks.size(), makers.folderNameAsked), reports_(tasks.size()),
          work_{tasks_, targets_, run_, board_, turns_, reports_, byDefault, keepGoing}
    {
        for (int i = 1; i <= steps::rowCountOf(rows); ++i)
            targets_.push_back({rows.sourceFileName(i), rows.worksheetName(i), run.names.at(i - 1)});
    }
    ~JobRun() { stopAndJoin(); }

    // The failures of a run that goes on; throws the failure that ends the run.
    QStringList run(ReportsInOrder& out, int jobs, const JobMakers& makers);

private:
    void startJobs(int jobs, const JobMakers& makers);
    std::size_t giveInOrder(ReportsInOrder& out);
    void stopAndJoin();

    const AppContext& context_;
    const std::vector<WorkbookTask>& tasks_;
    steps::RunFolder& run_;
    std::vector<steps::RowTarget> targets_; // per row, read on the main thread
    JobBoard board_;
    FolderNameTurns turns_;
    std::vector<WorkbookReport> reports_;
    const JobWork work_;
    std::vector<std::unique_ptr<JobWorker>> workers_;
};

QStringList JobRun::run(ReportsInOrder& out, int jobs, const JobMakers& makers)
{
    // The listing's workbook is not kept open beside the jobs' own.
    automation::SpreadsheetApplication& app = context_.spreadsheet();
    if (app.workbooks().Count() > 0)
        app.workbooks().Close();
    startJobs(jobs, makers);
    std::size_t given = 0;
    try {
        given = giveInOrder(out);
    } catch (...) {
        // The run's report comes next: every job ends after its current worksheet first.
        board_.abandon();
        stopAndJoin();
        throw;
    }
    stopAndJoin();
    // What the workbooks after the one that ended the run wrote is not part of its result.
    turns_.removeFrom(given, run_.path);
    if (out.stop)
        std::rethrow_exception(out.stop);
    return out.failures;
}

void JobRun::startJobs(int jobs, const JobMakers& makers)
{
    for (std::size_t j = 0; j < std::min(std::size_t(jobs), tasks_.size()); ++j)
        workers_.push_back(std::make_unique<JobWorker>(context_, makers));
    for (auto& worker : workers_)
        worker->start(work_);
}

// Gives each workbook's report once it is done, in list order, up to the one that ends the run;
// returns how many were given.
std::size_t JobRun::giveInOrder(ReportsInOrder& out)
{
    const JobBoard::ProgressShower show = [&out](int done, int row) { out.showProgress(done, row); };
    std::size_t k = 0;
    for (; k < tasks_.size() && !out.stop; ++k) {
        board_.waitFor(k, show);
        out.give(reports_[k]);
        run_.dropped += reports_[k].dropped;
    }
    return k;
}

// No workbook is started after this; those under way end after their current worksheet unless
// they come before the one that ended the run.
void JobRun::stopAndJoin()
{
    board_.takeNoMore();
    for (auto& worker : workers_)
        worker->join();
}

} // namespace

QString RunSplitInJobs(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, int jobs,
                       const JobMakers& makers, KeepGoing* keepGoing, const SplitOptions* options,
                       const QString& procName)
{
    const std::vector<WorkbookTask> tasks = jobs > 1 ? workbookTasksOf(rows) : std::vector<WorkbookTask>{};
    if (tasks.size() < 2)
        return RunSplit(context, rows, view, procName, keepGoing, options);
    const steps::RowLoop inJobs = [&](steps::RunFolder& run, bool byDefault) {
        ReportsInOrder reports(context, rows, view, procName, keepGoing);
        JobRun jobRun(context, rows, tasks, run, makers, byDefault, keepGoing != nullptr);
        return jobRun.run(reports, jobs, makers);
    };
    return steps::runSplitWith(context, rows, view, procName, options, inJobs);
}

} // namespace bf::split
