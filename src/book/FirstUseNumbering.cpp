#include "book/FirstUseNumbering.h"

namespace bf::book {

std::uint32_t FirstUseNumbering::map(std::uint32_t old)
{
    ++references_;
    const auto [it, inserted] = newIndex_.emplace(old, std::uint32_t(used_.size()));
    if (inserted)
        used_.push_back(old);
    return it->second;
}

} // namespace bf::book
