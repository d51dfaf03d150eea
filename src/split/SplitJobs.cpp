#include "split/SplitJobs.h"

#include "split/SplitState.h"
#include "split/SplitSteps.h"
#include "automation/Keyring.h"
#include "startup/ErrorReports.h"

#include <QDir>
#include <QSet>

#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace bf::split {

using namespace steps;

namespace {

// One workbook's rows, first to last (1-based): the unit a job takes.
struct Task {
    int first = 0;
    int last = 0;
};

// The workbooks of the list in row order; none when a workbook's rows are not all together.
std::vector<Task> tasksOf(const tasklist::TaskRows& rows)
{
    std::vector<Task> tasks;
    QSet<QString> seen;
    QString current;
    for (int i = 1; i <= rows.rowCount(); ++i) {
        const QString path = rows.sourceFileName(i);
        if (!tasks.empty() && path == current) {
            tasks.back().last = i;
            continue;
        }
        if (seen.contains(path))
            return {};
        seen.insert(path);
        current = path;
        tasks.push_back({i, i});
    }
    return tasks;
}

// What a job met while it wrote one workbook, given on the main thread in row order.
struct Event {
    enum class Kind { Message, Macros, Failure } kind = Kind::Message;
    QString text; // the message, or the workbook path of Macros
    platform::MsgButtons buttons = platform::MsgButtons::Ok;
    platform::MsgIcon icon = platform::MsgIcon::None;
    platform::MsgDefault defaultButton = platform::MsgDefault::First;
    int row = 0;
    std::exception_ptr failure;
};

// A job's message boxes are kept for the main thread; a question gets its default answer.
class RecordingMessageBox : public platform::MessageBoxSeam {
public:
    std::vector<Event>* log = nullptr;
    platform::MsgResult show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                             platform::MsgDefault defaultButton) override
    {
        log->push_back({Event::Kind::Message, text, buttons, icon, defaultButton, 0, nullptr});
        if (buttons == platform::MsgButtons::Ok)
            return platform::MsgResult::Ok;
        return defaultButton == platform::MsgDefault::Second ? platform::MsgResult::No : platform::MsgResult::Yes;
    }
};

struct Job {
    RecordingMessageBox messageBox;
    platform::Seams seams;
    std::unique_ptr<automation::Keyring> keyring;
    std::unique_ptr<automation::SpreadsheetApplication> application;
    std::unique_ptr<AppContext> context;
    std::thread thread;
};

struct TaskState {
    std::vector<Event> log; // written by its job until done, then read by the main thread
    bool done = false;
    bool named = false; // its folder name is taken, or it will take none
    QString folder;     // the folder name it took
    book::ValuesDrops dropped; // with values: what its outputs left out
};

constexpr int kNoStop = INT_MAX;

class JobRun {
public:
    JobRun(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, const QString& procName,
           KeepGoing* keepGoing, std::vector<Task> tasks)
        : context_(context), rows_(rows), view_(view), procName_(procName), keepGoing_(keepGoing),
          tasks_(std::move(tasks)), states_(tasks_.size())
    {
    }
    ~JobRun() { stopAndJoin(); }

    QStringList run(RunFolder& run, bool byDefault, int jobs, const JobMakers& makers);

private:
    void startJobs(int jobs, const JobMakers& makers);
    void work(Job& job);
    void runTask(Job& job, std::size_t k);
    QString nameFolder(std::size_t k, const QString& path, const QString& shortName);
    void rowDone(int row, bool stops, std::size_t k);
    void finishTask(std::size_t k);
    void advanceTurn();
    void waitFor(std::size_t k);
    void showProgress(int done, int row);
    void give(const Event& event, QStringList& failures, std::exception_ptr& stop);
    void stopAndJoin();

    const AppContext& context_;
    tasklist::TaskRows& rows_;
    SplitView& view_;
    const QString procName_;
    KeepGoing* keepGoing_;
    const std::vector<Task> tasks_;
    RunFolder* run_ = nullptr;
    bool byDefault_ = true;
    std::vector<RowTarget> targets_; // per row, read on the main thread
    std::vector<std::unique_ptr<Job>> jobs_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TaskState> states_;
    std::size_t next_ = 0;      // the next workbook a job takes
    std::size_t turn_ = 0;      // every workbook before it has its folder name, or takes none
    std::size_t stopAt_ = kNoStop; // the earliest workbook that ended the run; later ones stop
    bool abandoned_ = false;       // the main thread failed: every job stops
    int rowsDone_ = 0;
    int lastRow_ = 0;
};

QStringList JobRun::run(RunFolder& run, bool byDefault, int jobs, const JobMakers& makers)
{
    const std::int16_t count = rowCountOf(rows_);
    run_ = &run;
    byDefault_ = byDefault;
    for (int i = 1; i <= count; ++i)
        targets_.push_back({rows_.sourceFileName(i), rows_.worksheetName(i), run.names.at(i - 1)});
    // The listing's workbook is not kept open beside the jobs' own.
    automation::SpreadsheetApplication& app = context_.spreadsheet();
    if (app.workbooks().Count() > 0)
        app.workbooks().Close();
    startJobs(jobs, makers);

    QStringList failures;
    std::exception_ptr stop;
    std::size_t k = 0;
    try {
        for (; k < tasks_.size() && !stop; ++k) {
            waitFor(k);
            for (const Event& event : states_[k].log)
                give(event, failures, stop);
            run.dropped += states_[k].dropped;
        }
    } catch (...) {
        // The run's report comes next: every job ends after its current worksheet first.
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        stopAndJoin();
        throw;
    }
    stopAndJoin();
    // What the workbooks after the one that ended the run wrote is not part of its result.
    for (; k < tasks_.size(); ++k)
        if (!states_[k].folder.isEmpty())
            QDir(QDir(run.path).filePath(states_[k].folder)).removeRecursively();
    if (stop)
        std::rethrow_exception(stop);
    return failures;
}

void JobRun::startJobs(int jobs, const JobMakers& makers)
{
    const bool breakLinks = context_.spreadsheet().BreakLinks();
    for (std::size_t j = 0; j < std::min(std::size_t(jobs), tasks_.size()); ++j) {
        auto job = std::make_unique<Job>();
        job->seams = context_.seams;
        job->seams.messageBox = &job->messageBox;
        job->application = makers.application(job->seams);
        job->application->setBreakLinks(breakLinks);
        if (makers.keyring)
            job->keyring = makers.keyring();
        job->context = std::make_unique<AppContext>(job->seams);
        job->context->application = job->application.get();
        job->context->keyring = job->keyring.get();
        job->context->clock = context_.clock;
        jobs_.push_back(std::move(job));
    }
    for (auto& job : jobs_)
        job->thread = std::thread([this, &job = *job] { work(job); });
}

void JobRun::work(Job& job)
{
    for (;;) {
        std::size_t k = 0;
        {
            const std::lock_guard lock(mutex_);
            if (next_ >= tasks_.size() || stopAt_ != kNoStop)
                break;
            k = next_++;
        }
        runTask(job, k);
    }
    try {
        job.application->Quit();
    } catch (...) {
    }
}

void JobRun::runTask(Job& job, std::size_t k)
{
    TaskState& state = states_[k];
    job.messageBox.log = &state.log;
    QSet<QString> macrosNoted;
    const FolderNamer folderFor = [this, k](const QString& path, const QString& shortName) {
        return nameFolder(k, path, shortName);
    };
    const MacrosNoter noteMacros = [&state](const QString& path) { state.log.push_back({Event::Kind::Macros, path, {}, {}, {}, 0, nullptr});
    };
    for (int i = tasks_[k].first; i <= tasks_[k].last; ++i) {
        {
            const std::lock_guard lock(mutex_);
            if (stopAt_ < k || abandoned_)
                break;
        }
        bool failed = false;
        try {
            if (!run_->leftOut.at(std::size_t(i - 1)))
                state.dropped += splitRow(*job.context, targets_.at(std::size_t(i - 1)), run_->path, folderFor, macrosNoted,
                         noteMacros, byDefault_);
        } catch (...) {
            state.log.push_back({Event::Kind::Failure, {}, {}, {}, {}, i, std::current_exception()});
            failed = true;
        }
        rowDone(i, failed && !keepGoing_, k);
        if (failed && !keepGoing_)
            break;
    }
    try {
        automation::SpreadsheetApplication& app = *job.application;
        if (app.workbooks().Count() > 0)
            app.workbooks().Close();
    } catch (...) {
    }
    finishTask(k);
}

QString JobRun::nameFolder(std::size_t k, const QString& path, const QString& shortName)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return turn_ >= k; });
    const QString name = run_->folders.nameFor(path, shortName);
    if (!states_[k].named) {
        states_[k].named = true;
        states_[k].folder = name;
        advanceTurn();
        changed_.notify_all();
    }
    return name;
}

void JobRun::rowDone(int row, bool stops, std::size_t k)
{
    const std::lock_guard lock(mutex_);
    ++rowsDone_;
    lastRow_ = row;
    if (stops)
        stopAt_ = std::min(stopAt_, k);
    changed_.notify_all();
}

void JobRun::finishTask(std::size_t k)
{
    const std::lock_guard lock(mutex_);
    states_[k].named = true;
    states_[k].done = true;
    advanceTurn();
    changed_.notify_all();
}

void JobRun::advanceTurn()
{
    while (turn_ < states_.size() && states_[turn_].named)
        ++turn_;
}

// Waits for workbook k, showing the count of worksheets written by every job meanwhile.
void JobRun::waitFor(std::size_t k)
{
    int shown = -1;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (rowsDone_ != shown) {
            const int done = rowsDone_, row = lastRow_;
            lock.unlock();
            showProgress(done, row);
            lock.lock();
            shown = done;
            continue;
        }
        if (states_[k].done)
            return;
        changed_.wait(lock);
    }
}

void JobRun::showProgress(int done, int row)
{
    if (done == 0)
        return;
    SetCurrentListItem(context_.seams, rows_, static_cast<std::int16_t>(row));
    view_.setProgressValue(2.0f * static_cast<float>(done));
    view_.repaintNow();
}

void JobRun::give(const Event& event, QStringList& failures, std::exception_ptr& stop)
{
    switch (event.kind) {
    case Event::Kind::Message:
        context_.seams.msgBox(event.text, event.buttons, event.icon, event.defaultButton);
        break;
    case Event::Kind::Macros:
        view_.macrosNotKept(event.text);
        break;
    case Event::Kind::Failure:
        if (!keepGoing_) {
            stop = event.failure;
            break;
        }
        showProcedureError(context_.seams, procName_, event.failure);
        failures << failureLine(rows_, event.row, event.failure);
        keepGoing_->failedRows = static_cast<int>(failures.size());
        break;
    }
}

// No workbook is started after this; those under way end after their current worksheet unless
// they come before the one that ended the run.
void JobRun::stopAndJoin()
{
    {
        const std::lock_guard lock(mutex_);
        next_ = tasks_.size();
    }
    for (auto& job : jobs_)
        if (job->thread.joinable())
            job->thread.join();
}

} // namespace

QString RunSplitInJobs(const AppContext& context, tasklist::TaskRows& rows, SplitView& view, int jobs,
                       const JobMakers& makers, KeepGoing* keepGoing, const SplitOptions* options,
                       const QString& procName)
{
    std::vector<Task> tasks = jobs > 1 ? tasksOf(rows) : std::vector<Task>{};
    if (tasks.size() < 2)
        return RunSplit(context, rows, view, procName, keepGoing, options);
    JobRun jobRun(context, rows, view, procName, keepGoing, std::move(tasks));
    const RowLoop inJobs = [&](RunFolder& run, bool byDefault) { return jobRun.run(run, byDefault, jobs, makers); };
    return steps::runSplitWith(context, rows, view, procName, options, inJobs);
}

} // namespace bf::split
