#include "xls/ValueConstants.h"

#include "xls/BiffString.h"
#include "xls/ByteIO.h"
#include "xls/ExternalCache.h"
#include "xls/RecordIds.h"

#include <QStringList>
#include <cstring>

namespace bf::xls {

namespace {
constexpr std::size_t kMaxTokenText = 255; // a text token's count is one byte
constexpr std::uint16_t kRelativeBits = 0xC000; // column word: row and column relative

QString errorText(std::uint8_t code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    default: return QStringLiteral("#N/A");
    }
}

QString shownText(const CachedValue& v)
{
    switch (v.kind) {
    case kNumber: return QString::number(v.number, 'g', 15);
    case kBool: return v.code ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case kError: return errorText(v.code);
    default: return v.text;
    }
}
} // namespace

std::vector<std::uint8_t> textToken(const QString& text)
{
    if (static_cast<std::size_t>(text.size()) > kMaxTokenText)
        return {};
    std::vector<std::uint8_t> t{ptg::Str, static_cast<std::uint8_t>(text.size())};
    appendUnicodeString(t, text, false);
    return t;
}

// The sheet and the cells an absolute 3-D reference or range to one other sheet reads.
bool ValueConstants::otherSheetArea(const std::uint8_t* rgce, std::size_t cce, int* sheet, Rect* area) const
{
    if (cce < 7)
        return false;
    const std::uint8_t id = ptg::base(rgce[0]);
    const bool ref = id == ptg::Ref3d && cce == 7;
    if (!ref && !(id == ptg::Area3d && cce == 11))
        return false;
    const Xti* x = links_.xti(rd16(rgce + 1));
    if (!x || !links_.isSelf(*x) || x->first != x->last || !links_.reachesOtherSheets(*x, src_.sheet())
        || x->first >= src_.sheets().size())
        return false;
    *sheet = x->first;
    if (ref) {
        if (rd16(rgce + 5) & kRelativeBits)
            return false;
        *area = {rd16(rgce + 3), rd16(rgce + 3), rd16(rgce + 5) & 0x3FFFu, rd16(rgce + 5) & 0x3FFFu};
        return true;
    }
    if ((rd16(rgce + 7) | rd16(rgce + 9)) & kRelativeBits)
        return false;
    *area = {rd16(rgce + 3), rd16(rgce + 5), rd16(rgce + 7) & 0x3FFFu, rd16(rgce + 9) & 0x3FFFu};
    return area->r1 <= area->r2 && area->c1 <= area->c2;
}

std::vector<std::uint8_t> ValueConstants::cellConstant(const std::uint8_t* rgce, std::size_t cce) const
{
    int sheet = 0;
    Rect area{};
    if (cce != 7 || !otherSheetArea(rgce, cce, &sheet, &area))
        return {};
    const auto cells = readCachedValues(src_, src_.sheets()[static_cast<std::size_t>(sheet)], {area}, sharedStrings_);
    if (cells.empty())
        return {};
    const CachedValue& v = cells.front().value;
    switch (v.kind) {
    case kNumber: {
        std::vector<std::uint8_t> t(9, ptg::Num);
        std::memcpy(t.data() + 1, &v.number, 8);
        return t;
    }
    case kBool: return {ptg::Bool, static_cast<std::uint8_t>(v.code ? 1 : 0)};
    case kError: return {ptg::Err, v.code};
    default: return textToken(v.text);
    }
}

std::optional<QString> ValueConstants::explicitList(const std::uint8_t* rgce, std::size_t cce) const
{
    int sheet = 0;
    Rect area{};
    if (!otherSheetArea(rgce, cce, &sheet, &area))
        return std::nullopt;
    QStringList items;
    for (const CachedCell& c : readCachedValues(src_, src_.sheets()[static_cast<std::size_t>(sheet)], {area}, sharedStrings_)) {
        const QString text = shownText(c.value);
        if (text.contains(QChar(0)))
            return std::nullopt;
        if (!text.isEmpty())
            items << text;
    }
    const QString list = items.join(QChar(0));
    if (items.isEmpty() || static_cast<std::size_t>(list.size()) > kMaxTokenText)
        return std::nullopt;
    return list;
}

} // namespace bf::xls
