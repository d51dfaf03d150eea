#include "split/JobWorker.h"

#include "automation/Keyring.h"

#include <QSet>

namespace bf::split::jobs {

JobWorker::JobWorker(const AppContext& runContext, const JobMakers& makers) : seams_(runContext.seams)
{
    seams_.messageBox = &messageBox_;
    application_ = makers.application(seams_);
    application_->setBreakLinks(runContext.spreadsheet().BreakLinks());
    if (makers.keyring)
        keyring_ = makers.keyring();
    context_ = std::make_unique<AppContext>(seams_);
    context_->application = application_.get();
    context_->keyring = keyring_.get();
    context_->clock = runContext.clock;
}

JobWorker::~JobWorker()
{
    join();
}

void JobWorker::start(const JobWork& work)
{
    thread_ = std::thread([this, &work] { this->work(work); });
}

void JobWorker::join()
{
    if (thread_.joinable())
        thread_.join();
}

void JobWorker::work(const JobWork& work)
{
    while (const std::optional<std::size_t> k = work.board.takeNext())
        splitWorkbook(work, *k);
    try {
        application_->Quit();
    } catch (...) {
    }
}

void JobWorker::splitWorkbook(const JobWork& work, std::size_t k)
{
    messageBox_.events = &work.reports[k].events;
    writeRows(work, k);
    closeWorkbooks();
    work.turns.pass(k);
    work.board.workbookDone(k);
}

// Until a worksheet fails in a run that does not go on, or the run stops for workbook k.
void JobWorker::writeRows(const JobWork& work, std::size_t k)
{
    WorkbookReport& report = work.reports[k];
    QSet<QString> macrosNoted;
    const steps::FolderNamer folderFor = [&work, k](const QString& path, const QString& shortName) {
        return work.turns.take(k, path, shortName);
    };
    const steps::MacrosNoter noteMacros = [&report](const QString& path) {
        report.events.push_back({JobEvent::Kind::Macros, path, {}, {}, {}, 0, nullptr});
    };
    for (int i = work.tasks[k].first; i <= work.tasks[k].last && work.board.goesOn(k); ++i) {
        bool failed = false;
        try {
            if (!work.run.leftOut.at(std::size_t(i - 1)))
                report.dropped += steps::splitRow(*context_, work.targets.at(std::size_t(i - 1)), work.run.path, folderFor,
                                                  macrosNoted, noteMacros, work.byDefault);
        } catch (...) {
            report.events.push_back({JobEvent::Kind::Failure, {}, {}, {}, {}, i, std::current_exception()});
            failed = true;
        }
        const bool stops = failed && !work.keepGoing;
        work.board.rowDone(k, i, stops);
        if (stops)
            break;
    }
}

void JobWorker::closeWorkbooks()
{
    try {
        if (application_->workbooks().Count() > 0)
            application_->workbooks().Close();
    } catch (...) {
    }
}

} // namespace bf::split::jobs
