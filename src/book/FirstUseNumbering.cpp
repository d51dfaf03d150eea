#include "book/FirstUseNumbering.h"

#include <algorithm>

namespace bf::book {

std::uint32_t FirstUseNumbering::map(std::uint32_t old)
{
    ++references_;
    const auto next = std::uint32_t(used_.size());
    if (old < kDense) {
        if (old >= dense_.size())
            dense_.resize(std::min<std::size_t>(kDense, std::max<std::size_t>(old + 1, 2 * dense_.size())), kUnused);
        if (dense_[old] == kUnused) {
            dense_[old] = next;
            used_.push_back(old);
        }
        return dense_[old];
    }
    const auto [it, inserted] = sparse_.emplace(old, next);
    if (inserted)
        used_.push_back(old);
    return it->second;
}

} // namespace bf::book
