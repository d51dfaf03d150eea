#pragma once
// With values in place of links: the constants that stand for what a defined name or a
// validation list reads on another sheet, taken from the cells' stored values.
#include "xls/ExtractSource.h"
#include "xls/Formula.h"
#include "xls/LinkTable.h"
#include "xls/Sst.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace bf::xls {

class ValueConstants {
public:
    ValueConstants(const ExtractSource& src, const LinkTable& links, std::function<const SstReader*()> sharedStrings)
        : src_(src), links_(links), sharedStrings_(std::move(sharedStrings))
    {
    }
    // The constant token (number, text, boolean or error) of the one cell a formula made of a
    // single absolute 3-D reference to another sheet reads; empty when the formula is of
    // another form or the cell holds no value a token can hold.
    std::vector<std::uint8_t> cellConstant(const std::uint8_t* rgce, std::size_t cce) const;
    // The cells' values, joined by '\0', of the range such a formula (a reference or a range)
    // reads: an explicit validation list; none when the list would be empty, longer than 255
    // characters, or a value holds '\0'.
    std::optional<QString> explicitList(const std::uint8_t* rgce, std::size_t cce) const;

private:
    bool otherSheetArea(const std::uint8_t* rgce, std::size_t cce, int* sheet, Rect* area) const;

    const ExtractSource& src_;
    const LinkTable& links_;
    std::function<const SstReader*()> sharedStrings_;
};

// A formula of one text token (PtgStr); empty when the text is longer than a token holds.
std::vector<std::uint8_t> textToken(const QString& text);

} // namespace bf::xls
