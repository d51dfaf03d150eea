#pragma once
// The shared-string table (`xl/sharedStrings.xml`): each item kept as its exact bytes, so that
// the table of a new workbook is rebuilt from the items its worksheet uses, formatting intact,
// each at its own position (the sheet's cells keep their indices), the others left empty.
// The part is streamed and parsed once: only the items are held, end to end, never the part
// whole, so a table is bounded by the streaming limit (a bomb), not by what is read whole.
#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bf::xlsx {

class PartDeflater;

// Which items of a table of `size` items a sheet's cells use, and how many cells use any. An
// index beyond the table names an empty item, which the copy's table then holds.
class StringUse {
public:
    explicit StringUse(std::size_t size = 0) : size_(size), bits_((size + 63) / 64, 0) {}
    void note(std::uint32_t index)
    {
        ++references_;
        if (index < size_)
            bits_[index / 64] |= std::uint64_t(1) << (index % 64);
        else
            end_ = std::max(end_, std::size_t(index) + 1);
    }
    bool uses(std::size_t index) const { return index < size_ && (bits_[index / 64] >> (index % 64)) & 1; }
    std::uint64_t references() const { return references_; }
    std::size_t size() const { return size_; }
    // The items the copy's table holds: the table's, and as far as the indices reach.
    std::size_t end() const { return std::max(size_, end_); }

private:
    std::size_t size_;
    std::vector<std::uint64_t> bits_;
    std::size_t end_ = 0;
    std::uint64_t references_ = 0;
};

class SharedStrings {
public:
    SharedStrings() = default;
    // Reads the part from `in` (chunks, empty at the end), checking it as it streams; detail
    // names it in failures; sizeHint is its declared size. Throws XlsxError.
    SharedStrings(const std::function<void(QByteArray&)>& in, const QString& detail, std::uint64_t sizeHint);

    std::size_t size() const { return starts_.empty() ? 0 : starts_.size() - 1; }
    // The exact bytes of item i (`<si>...</si>`); an empty item for an index beyond the table.
    std::string_view item(std::size_t i) const;
    // The plain text item i shows (its runs joined, phonetic text left out).
    std::string text(std::size_t i) const;
    // The table with every position kept, the items `use` names as they stand and the others
    // empty, written to `out`.
    void rebuild(const StringUse& use, PartDeflater& out) const;

private:
    std::string items_;                // every item's bytes, end to end
    std::vector<std::size_t> starts_;  // where each item starts in items_, and its end
    std::string rootTag_; // the table's start tag, namespace declarations included
    std::string rootName_;
};

} // namespace bf::xlsx
