#pragma once
// The folder names of a run in jobs, given in the order of the workbooks whichever job asks
// first: a workbook gets its name once every earlier one has its own or will take none, so the
// names ("book", "book (2)") fall as in the run row after row.
#include "split/SplitNaming.h"

#include <QString>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace bf::split::jobs {

class FolderNameTurns {
public:
    // Told that workbook k asks for its folder name, with the names held: it must not wait.
    using AskedHook = std::function<void(std::size_t k)>;

    FolderNameTurns(WorkbookFolders& folders, std::size_t workbooks, AskedHook asked);

    // The folder name of workbook k (0-based), once its turn has come; the first one it took
    // when it asks again.
    QString take(std::size_t k, const QString& workbookPath, const QString& shortName);
    // Workbook k takes no further folder name: later ones need not wait for it.
    void pass(std::size_t k);
    // Removes the folders that workbooks from k on took under runPath; once every job has ended.
    void removeFrom(std::size_t k, const QString& runPath) const;

private:
    // With the names held: workbook k is named; the turn passes every named workbook.
    void markNamed(std::size_t k);

    WorkbookFolders& folders_;
    const AskedHook asked_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> named_;     // per workbook: its name is taken, or it will take none
    std::vector<QString> taken_;  // per workbook: the name it took
    std::size_t turn_ = 0;        // every workbook before it is named
};

} // namespace bf::split::jobs
