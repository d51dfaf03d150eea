#pragma once
// What the jobs of a run and the main thread share: the workbook a job takes next, where the run
// stops, the worksheets written so far and the workbooks done. Workbooks are counted from 0.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace bf::split::jobs {

class JobBoard {
public:
    explicit JobBoard(std::size_t workbooks) : done_(workbooks) {}

    // The next workbook for a job; none once every one is taken or one has ended the run.
    std::optional<std::size_t> takeNext();
    // Whether workbook k writes its next worksheet: not after an earlier one ended the run, nor
    // once the main thread has failed.
    bool goesOn(std::size_t k);
    // A worksheet of workbook k (the list's row) is written or has failed; stops: it ends the run.
    void rowDone(std::size_t k, int row, bool stops);
    // Workbook k is done: what it left for the main thread may be read.
    void workbookDone(std::size_t k);
    // No workbook is taken after this.
    void takeNoMore();
    // The main thread has failed: every job ends after its current worksheet.
    void abandon();

    // Told on the main thread how many worksheets are done and which row was the last.
    using ProgressShower = std::function<void(int done, int row)>;
    // Waits on the main thread for workbook k, showing the progress of every job meanwhile.
    void waitFor(std::size_t k, const ProgressShower& show);

private:
    static constexpr std::size_t kNoStop = std::size_t(-1);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bool> done_;
    std::size_t next_ = 0;
    std::size_t stopAt_ = kNoStop; // the earliest workbook that ended the run
    bool abandoned_ = false;
    int rowsDone_ = 0;
    int lastRow_ = 0;
};

} // namespace bf::split::jobs
