#pragma once
// The shared-string table (`xl/sharedStrings.xml`): each item kept as its exact bytes, so that
// the table of a new workbook is rebuilt from the items its worksheet uses, formatting intact.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bf::xlsx {

class SharedStrings {
public:
    SharedStrings() = default;
    // Scans the part; detail names it in failures. Throws XlsxError.
    SharedStrings(QByteArray part, const QString& detail);

    std::size_t size() const { return items_.size(); }
    // The exact bytes of item i (`<si>...</si>`); an empty item for an index beyond the table.
    std::string_view item(std::size_t i) const;
    // The plain text item i shows (its runs joined, phonetic text left out).
    std::string text(std::size_t i) const;
    // A table of the given items, in that order; `references` is the count of cells using them.
    QByteArray rebuild(const std::vector<std::uint32_t>& items, std::uint64_t references) const;

private:
    QByteArray part_;
    std::string rootTag_; // the table's start tag, namespace declarations included
    std::string rootName_;
    std::vector<std::pair<std::size_t, std::size_t>> items_; // offset, length in part_
};

} // namespace bf::xlsx
