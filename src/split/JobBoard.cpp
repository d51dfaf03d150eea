#include "split/JobBoard.h"

#include <algorithm>

namespace bf::split::jobs {

std::optional<std::size_t> JobBoard::takeNext()
{
    const std::lock_guard lock(mutex_);
    if (next_ >= done_.size() || stopAt_ != kNoStop)
        return std::nullopt;
    return next_++;
}

bool JobBoard::goesOn(std::size_t k)
{
    const std::lock_guard lock(mutex_);
    return stopAt_ >= k && !abandoned_;
}

void JobBoard::rowDone(std::size_t k, int row, bool stops)
{
    const std::lock_guard lock(mutex_);
    ++rowsDone_;
    lastRow_ = row;
    if (stops)
        stopAt_ = std::min(stopAt_, k);
    changed_.notify_all();
}

void JobBoard::workbookDone(std::size_t k)
{
    const std::lock_guard lock(mutex_);
    done_[k] = true;
    changed_.notify_all();
}

void JobBoard::takeNoMore()
{
    const std::lock_guard lock(mutex_);
    next_ = done_.size();
}

void JobBoard::abandon()
{
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
}

void JobBoard::waitFor(std::size_t k, const ProgressShower& show)
{
    int shown = -1;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (rowsDone_ != shown) {
            const int done = rowsDone_, row = lastRow_;
            lock.unlock();
            show(done, row);
            lock.lock();
            shown = done;
            continue;
        }
        if (done_[k])
            return;
        changed_.wait(lock);
    }
}

} // namespace bf::split::jobs
