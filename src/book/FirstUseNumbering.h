#pragma once
// The new numbering of a table's entries that one sheet uses, first use first: how a sheet's
// copy (.xls) renumbers the shared strings it keeps.
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace bf::book {

class FirstUseNumbering {
public:
    // The new number of entry `old`, given at its first use; every call counts one use.
    std::uint32_t map(std::uint32_t old);
    // The new number of an entry used before.
    std::uint32_t newIndex(std::uint32_t old) const { return old < dense_.size() ? dense_[old] : sparse_.at(old); }
    // The entries used, in their new order.
    const std::vector<std::uint32_t>& used() const { return used_; }
    bool empty() const { return used_.empty(); }
    // The number of uses.
    std::uint64_t references() const { return references_; }

private:
    // Entries below kDense are looked up in a table (text cells are many), the rest in a map
    // (an index is read from the file and may be anything).
    static constexpr std::uint32_t kDense = 1u << 20;
    static constexpr std::uint32_t kUnused = 0xFFFFFFFFu;
    std::vector<std::uint32_t> dense_;
    std::unordered_map<std::uint32_t, std::uint32_t> sparse_;
    std::vector<std::uint32_t> used_;
    std::uint64_t references_ = 0;
};

} // namespace bf::book
