#include "split/FolderNameTurns.h"

#include <QDir>

#include <utility>

namespace bf::split::jobs {

FolderNameTurns::FolderNameTurns(WorkbookFolders& folders, std::size_t workbooks, AskedHook asked)
    : folders_(folders), asked_(std::move(asked)), named_(workbooks), taken_(workbooks)
{
}

QString FolderNameTurns::take(std::size_t k, const QString& workbookPath, const QString& shortName)
{
    std::unique_lock lock(mutex_);
    if (asked_)
        asked_(k);
    changed_.wait(lock, [&] { return turn_ >= k; });
    const QString name = folders_.nameFor(workbookPath, shortName);
    if (!named_[k]) {
        taken_[k] = name;
        markNamed(k);
    }
    return name;
}

void FolderNameTurns::pass(std::size_t k)
{
    const std::lock_guard lock(mutex_);
    markNamed(k);
}

void FolderNameTurns::markNamed(std::size_t k)
{
    named_[k] = true;
    while (turn_ < named_.size() && named_[turn_])
        ++turn_;
    changed_.notify_all();
}

void FolderNameTurns::removeFrom(std::size_t k, const QString& runPath) const
{
    for (; k < taken_.size(); ++k)
        if (!taken_[k].isEmpty())
            QDir(QDir(runPath).filePath(taken_[k])).removeRecursively();
}

} // namespace bf::split::jobs
