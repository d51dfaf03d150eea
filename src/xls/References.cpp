#include "xls/References.h"

#include "xls/ByteIO.h"

#include <algorithm>

namespace bf::xls {

namespace {
// Relative parts in shared formulas and names are offsets from the cell that uses them: in a
// shared formula that is any cell of its range, in a name any cell at all.
void widenRelative(Rect& r, std::uint16_t c1, std::uint16_t c2, const Rect* shared, bool inName)
{
    const bool rowRel = (c1 & 0x8000) || (c2 & 0x8000);
    const bool colRel = (c1 & 0x4000) || (c2 & 0x4000);
    if (inName) {
        if (rowRel)
            r.r1 = 0, r.r2 = 0xFFFF;
        if (colRel)
            r.c1 = 0, r.c2 = 0xFF;
    } else if (shared) {
        if (rowRel) {
            const auto a = static_cast<std::int16_t>(r.r1), b = static_cast<std::int16_t>(r.r2);
            r.r1 = static_cast<std::uint32_t>(std::max<int>(0, int(shared->r1) + std::min(a, b)));
            r.r2 = static_cast<std::uint32_t>(std::min<int>(0xFFFF, int(shared->r2) + std::max(a, b)));
        }
        if (colRel) {
            const auto a = static_cast<std::int8_t>(r.c1), b = static_cast<std::int8_t>(r.c2);
            r.c1 = static_cast<std::uint32_t>(std::max<int>(0, int(shared->c1) + std::min(a, b)));
            r.c2 = static_cast<std::uint32_t>(std::min<int>(0xFF, int(shared->c2) + std::max(a, b)));
        }
    }
}
} // namespace

void References::collect(const std::uint8_t* rgce, std::size_t cce, const Rect* shared, bool inName, std::set<std::uint32_t>* names)
{
    const bool ok = walkFormula(rgce, cce, [&](TokenKind kind, const std::uint8_t* t, bool isErr) {
        if (kind == TokenKind::Name) {
            names->insert(rd32(t + 1));
            if (!inName)
                plainNames_.insert(rd32(t + 1));
            return;
        }
        const Xti* x = links_.xti(rd16(t + 1));
        if (x)
            usedXtis_.insert(rd16(t + 1));
        if (kind == TokenKind::NameX) {
            if (x && links_.isSelf(*x))
                names->insert(rd32(t + 3));
            return;
        }
        if (isErr || !x || !links_.isSelf(*x) || x->first >= kXtiWorkbook)
            return;
        if (x->first == src_.sheet() && x->last == src_.sheet())
            return; // stays a reference to this sheet
        addArea(kind, t, *x, shared, inName);
    });
    if (!ok)
        src_.fail(XlsStatus::CannotCopy, QStringLiteral("a formula holds a token this engine does not know"));
}

void References::addArea(TokenKind kind, const std::uint8_t* t, const Xti& x, const Rect* shared, bool inName)
{
    Rect r{};
    std::uint16_t c1, c2;
    if (kind == TokenKind::Ref3d) {
        r.r1 = r.r2 = rd16(t + 3);
        c1 = c2 = rd16(t + 5);
    } else {
        r.r1 = rd16(t + 3);
        r.r2 = rd16(t + 5);
        c1 = rd16(t + 7);
        c2 = rd16(t + 9);
    }
    r.c1 = c1 & 0xFF;
    r.c2 = c2 & 0xFF;
    widenRelative(r, c1, c2, shared, inName);
    if (r.r1 > r.r2)
        std::swap(r.r1, r.r2);
    if (r.c1 > r.c2)
        std::swap(r.c1, r.c2);
    const int n = static_cast<int>(src_.sheets().size());
    for (int s = x.first; s <= x.last && s < n; ++s)
        cacheRects_[s].push_back(r);
}

// Such a range can only point into the source workbook as an external 3-D reference, which
// LibreOffice cannot evaluate.
bool spansOtherSheets(const std::uint8_t* rgce, std::size_t cce, const LinkTable& links, int kept)
{
    bool spans = false;
    walkFormula(rgce, cce, [&](TokenKind kind, const std::uint8_t* t, bool) {
        const Xti* x = kind == TokenKind::Name ? nullptr : links.xti(rd16(t + 1));
        if (!x || !links.isSelf(*x) || x->first >= kXtiWorkbook || x->last >= kXtiWorkbook)
            return;
        if (x->first != x->last || (links.linkLeftOut() && links.reachesOtherSheets(*x, kept)))
            spans = true;
    });
    return spans;
}

} // namespace bf::xls
