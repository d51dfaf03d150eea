#pragma once
// One job of a run in jobs: a spreadsheet application of its own on a thread of its own, taking
// workbook after workbook and writing their worksheets as the run row after row does.
#include "split/FolderNameTurns.h"
#include "split/JobBoard.h"
#include "split/JobEvents.h"
#include "split/SplitJobs.h"
#include "split/SplitSteps.h"
#include "split/WorkbookTasks.h"

#include <memory>
#include <thread>
#include <vector>

namespace bf::split::jobs {

// What every job works on, set before the jobs start.
struct JobWork {
    const std::vector<WorkbookTask>& tasks;
    const std::vector<steps::RowTarget>& targets; // per row
    const steps::RunFolder& run;
    JobBoard& board;
    FolderNameTurns& turns;
    std::vector<WorkbookReport>& reports; // per workbook
    bool byDefault = true;
    bool keepGoing = false;
};

class JobWorker {
public:
    // The job's application, asking through seams that keep its messages; its keyring; the run's
    // clock and choice of values.
    JobWorker(const AppContext& runContext, const JobMakers& makers);
    ~JobWorker();

    void start(const JobWork& work);
    void join();

private:
    void work(const JobWork& work);
    void splitWorkbook(const JobWork& work, std::size_t k);
    void writeRows(const JobWork& work, std::size_t k);
    void closeWorkbooks();

    RecordingMessageBox messageBox_;
    platform::Seams seams_;
    std::unique_ptr<automation::Keyring> keyring_;
    std::unique_ptr<automation::SpreadsheetApplication> application_;
    std::unique_ptr<AppContext> context_;
    std::thread thread_;
};

} // namespace bf::split::jobs
