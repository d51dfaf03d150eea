#include "xls/Formula.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

namespace bf::xls {

namespace {
// The size of a token below the classed ones; 0 when unknown or cut off by `left`.
std::size_t plainTokenSize(const std::uint8_t* t, std::size_t left)
{
    switch (t[0]) {
    case ptg::Exp: case ptg::Tbl: return 5;
    case ptg::Str: return left < 3 ? 0 : 3 + std::size_t(t[1]) * ((t[2] & 1) ? 2 : 1);
    case ptg::Extended: return 6;
    case ptg::Attr: return left < 4 ? 0 : (t[1] & 0x04) ? 4 + 2 * (std::size_t(rd16(t + 2)) + 1) : 4; // PtgAttrChoose has a jump table
    case ptg::Err: case ptg::Bool: return 2;
    case ptg::Int: return 3;
    case ptg::Num: return 9;
    default: return t[0] >= ptg::FirstOperator && t[0] <= ptg::LastOperator ? 1 : 0;
    }
}

// The size of a classed token; 0 when unknown.
std::size_t classedTokenSize(std::uint8_t id)
{
    switch (ptg::base(id)) {
    case ptg::Array: return 8; // the values follow the formula
    case ptg::Func: return 3;
    case ptg::FuncVar: return 4;
    case ptg::Name: return 5;
    case ptg::Ref: case ptg::RefErr: case ptg::RefN: return 5;
    case ptg::Area: case ptg::AreaErr: case ptg::AreaN: return 9;
    case ptg::MemArea: case ptg::MemErr: case ptg::MemNoMem: return 7; // the sub-expression follows
    case ptg::MemFunc: return 3;
    case ptg::NameX: return 7;
    case ptg::Ref3d: case ptg::RefErr3d: return 7;
    case ptg::Area3d: case ptg::AreaErr3d: return 11;
    default: return 0;
    }
}

void report(const std::uint8_t* t, const std::function<void(TokenKind, const std::uint8_t*, bool)>& visit)
{
    switch (ptg::base(t[0])) {
    case ptg::Name: visit(TokenKind::Name, t, false); break;
    case ptg::NameX: visit(TokenKind::NameX, t, false); break;
    case ptg::Ref3d: visit(TokenKind::Ref3d, t, false); break;
    case ptg::RefErr3d: visit(TokenKind::Ref3d, t, true); break;
    case ptg::Area3d: visit(TokenKind::Area3d, t, false); break;
    case ptg::AreaErr3d: visit(TokenKind::Area3d, t, true); break;
    default: break;
    }
}
} // namespace

bool walkFormula(const std::uint8_t* rgce, std::size_t cce,
                 const std::function<void(TokenKind, const std::uint8_t*, bool)>& visit)
{
    std::size_t i = 0;
    while (i < cce) {
        const std::uint8_t* t = rgce + i;
        const bool classed = t[0] >= ptg::FirstClassed;
        const std::size_t size = classed ? classedTokenSize(t[0]) : plainTokenSize(t, cce - i);
        if (size == 0 || size > cce - i)
            return false;
        if (classed)
            report(t, visit);
        i += size;
    }
    return true;
}

} // namespace bf::xls
