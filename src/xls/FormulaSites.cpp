#include "xls/FormulaSites.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

namespace bf::xls {

namespace {
// The cce u16 at cceAt and the formula at rgceAt, when both lie inside the record.
void fixedSite(const std::uint8_t* d, std::size_t size, std::size_t cceAt, std::size_t rgceAt, const Rect* shared,
               const FormulaVisit& fn)
{
    if (cceAt + 2 > size)
        return;
    const std::size_t cce = rd16(d + cceAt);
    if (rgceAt + cce <= size)
        fn(d + rgceAt, cce, shared);
}

// Data validation: four strings, then two formulas each after its cce u16 and 2 unused bytes.
void validationSites(const std::uint8_t* d, std::size_t size, const FormulaVisit& fn)
{
    std::size_t p = 4;
    for (int s = 0; s < 4; ++s) {
        if (p + 3 > size)
            return;
        const std::size_t cch = rd16(d + p);
        p += 3 + cch * ((d[p + 2] & 1) ? 2 : 1);
    }
    for (int f = 0; f < 2; ++f) {
        if (p + 4 > size)
            return;
        const std::size_t cce = rd16(d + p);
        if (p + 4 + cce > size)
            return;
        fn(d + p + 4, cce, nullptr);
        p += 4 + cce;
    }
}

// Conditional format: the two formulas end the record, after formatting of variable size.
void conditionSites(const std::uint8_t* d, std::size_t size, const FormulaVisit& fn)
{
    if (size < 6)
        return;
    const std::size_t cce1 = rd16(d + 2), cce2 = rd16(d + 4);
    if (6 + cce1 + cce2 > size)
        return;
    // Only when both parse: a record laid out otherwise is left as it is.
    auto none = [](TokenKind, const std::uint8_t*, bool) {};
    if (!walkFormula(d + size - cce1 - cce2, cce1, none) || !walkFormula(d + size - cce2, cce2, none))
        return;
    fn(d + size - cce1 - cce2, cce1, nullptr);
    fn(d + size - cce2, cce2, nullptr);
}

// The formula of one Obj sub-record at p (ft, cb); false when no sub-record can follow it.
bool objectSite(const std::uint8_t* d, std::size_t size, std::size_t p, const FormulaVisit& fn)
{
    const std::uint16_t ft = rd16(d + p);
    const std::uint16_t cb = rd16(d + p + 2);
    if (ft == ft::Macro || ft == ft::SbsFmla || ft == ft::CblsFmla) {
        // ObjFmla in place of cb: cbFmla, cce (15 bits), 4 unused bytes, rgce.
        if (cb >= 6 && p + 4 + cb <= size) {
            const std::size_t cce = rd16(d + p + 4) & 0x7FFF;
            if (10 + cce <= std::size_t(cb) + 4)
                fn(d + p + 10, cce, nullptr);
        }
    } else if (ft == ft::PictFmla) {
        if (cb >= 8 && p + 4 + cb <= size) {
            const std::size_t cbFmla = rd16(d + p + 4);
            const std::size_t cce = rd16(d + p + 6) & 0x7FFF;
            if (cbFmla >= 6 && 12 + cce <= std::size_t(cb) + 4)
                fn(d + p + 12, cce, nullptr);
        }
    } else if (ft == ft::LbsData) {
        // List data: cbFContinued, then the ObjFmla; what follows has no stated size.
        if (p + 12 <= size) {
            const std::size_t cbFmla = rd16(d + p + 4);
            const std::size_t cce = rd16(d + p + 6) & 0x7FFF;
            if (cbFmla >= 6 && p + 12 + cce <= size)
                fn(d + p + 12, cce, nullptr);
        }
        return false;
    }
    return true;
}

void objectSites(const std::uint8_t* d, std::size_t size, const FormulaVisit& fn)
{
    std::size_t p = 0;
    while (p + 4 <= size && rd16(d + p) != ft::End) {
        if (!objectSite(d, size, p, fn))
            break;
        p += 4 + rd16(d + p + 2); // for the formula sub-records cb is cbFmla, the same extent
    }
}
} // namespace

void forEachFormula(const std::uint8_t* d, std::uint16_t type, std::uint16_t size, int depth, const FormulaVisit& fn)
{
    if (depth > 1) {
        if (type == rt::BRAI)
            fixedSite(d, size, 6, 8, nullptr, fn);
        return;
    }
    switch (type) {
    case rt::Formula: fixedSite(d, size, 20, 22, nullptr, fn); break;
    case rt::Array: fixedSite(d, size, 12, 14, nullptr, fn); break;
    case rt::ShrFmla: {
        if (size < 10)
            return;
        const Rect r{rd16(d), rd16(d + 2), d[4], d[5]};
        fixedSite(d, size, 8, 10, &r, fn);
        break;
    }
    case rt::DV: validationSites(d, size, fn); break;
    case rt::CF: conditionSites(d, size, fn); break;
    case rt::Obj: objectSites(d, size, fn); break;
    default: break;
    }
}

} // namespace bf::xls
